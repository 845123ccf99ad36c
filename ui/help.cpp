#include "ui/help.h"

#include <QApplication>
#include <QKeyEvent>
#include <QPointer>
#include <QScrollBar>
#include <QTextBrowser>

#include "engine/dictionary/data_dirs.h"
#include "engine/io/errors.h"
#include "engine/io/file_io.h"
#include "engine/io/messages.h"
#include "ui/ui_text.h"

#include <fcntl.h>
#include <unistd.h>

namespace kompa::ui {

namespace {

QString& HelpFileName()
{
    static QString name;
    return name;
}

// Esc closes the viewer, as it closes a dialog.
class EscapeCloses : public QObject {
public:
    using QObject::QObject;
    bool eventFilter(QObject* watched, QEvent* event) override
    {
        if (event->type() == QEvent::KeyPress &&
            static_cast<QKeyEvent*>(event)->key() == Qt::Key_Escape) {
            static_cast<QWidget*>(watched)->close();
            return true;
        }
        return false;
    }
};

QPointer<QTextBrowser>& Viewer()
{
    static QPointer<QTextBrowser> viewer;
    return viewer;
}

std::string ReadWholeFile(const std::string& fileName)
{
    const io::UniqueFd fd(::open(fileName.c_str(), O_RDONLY | O_CLOEXEC));
    if (!fd)
        Raise(FormatMessage(msg::kFileOpenError, fileName));
    std::string bytes;
    char buffer[8192];
    ssize_t n;
    while ((n = ::read(fd.Get(), buffer, sizeof buffer)) > 0)
        bytes.append(buffer, static_cast<std::size_t>(n));
    return bytes;
}

// The help document is Shift-JIS HTML like every other text of the program.
QTextBrowser* OpenViewer()
{
    QPointer<QTextBrowser>& viewer = Viewer();
    if (!viewer) {
        const std::string fileName = FindDataFile(ToFileName(HelpFileName()));
        const QString html = FromSjis(ReadWholeFile(fileName));
        viewer = new QTextBrowser;
        viewer->setObjectName(QStringLiteral("HelpViewer"));
        viewer->setAttribute(Qt::WA_DeleteOnClose);
        viewer->setWindowTitle(QStringLiteral("KOMPA ヘルプ"));
        viewer->setFont(GothicFont(14));
        viewer->resize(560, 480);
        viewer->setHtml(html);
        if (const QWidget* owner = QApplication::activeWindow())
            viewer->move(owner->geometry().center() - viewer->rect().center());
        viewer->installEventFilter(new EscapeCloses(viewer));
    }
    // A modal dialog blocks every window but its own: opened from one, the viewer becomes a
    // window of that dialog so that it can still be scrolled and clicked.
    if (QWidget* modal = QApplication::activeModalWidget();
        modal && modal != viewer && viewer->parentWidget() != modal) {
        const QRect where = viewer->geometry();
        viewer->setParent(modal, Qt::Window);
        viewer->setGeometry(where);
    }
    viewer->show();
    viewer->raise();
    viewer->activateWindow();
    return viewer;
}

} // namespace

void SetHelpFile(const QString& fileName)
{
    HelpFileName() = fileName;
}

void ShowHelpContents()
{
    QTextBrowser* viewer = OpenViewer();
    viewer->verticalScrollBar()->setValue(0);
    viewer->scrollToAnchor(QStringLiteral("contents"));
}

void ShowHelpContext(int context)
{
    OpenViewer()->scrollToAnchor(QStringLiteral("context%1").arg(context));
}

QTextBrowser* HelpViewer()
{
    return Viewer();
}

} // namespace kompa::ui
