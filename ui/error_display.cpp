#include "ui/error_display.h"

#include <QMessageBox>

#include <exception>
#include <new>

#include "engine/io/errors.h"
#include "engine/io/messages.h"
#include "ui/ui_text.h"

namespace kompa::ui {

namespace {

ErrorSink& Sink()
{
    static ErrorSink sink;
    return sink;
}

QString CurrentExceptionText()
{
    try {
        throw;
    } catch (const kompa::LineError& e) {
        // A build source's line, as the command line names it.
        return FromSjis(kompa::FormatMessage(kompa::msg::kLinePrefix, e.Line()) + e.Message());
    } catch (const kompa::Exception& e) {
        return FromSjis(e.Message());
    } catch (const std::bad_alloc&) {
        return QStringLiteral("メモリが足りません");
    } catch (const std::exception& e) {
        return QString::fromLocal8Bit(e.what());
    } catch (...) {
        return QStringLiteral("?");
    }
}

} // namespace

ErrorSink SetErrorSink(ErrorSink sink)
{
    return std::exchange(Sink(), std::move(sink));
}

void ShowCurrentException() noexcept
{
    try {
        const QString text = CurrentExceptionText() + QLatin1Char('.');
        if (Sink()) {
            Sink()(text);
            return;
        }
        QMessageBox box(QMessageBox::Critical, QString::fromLatin1(kAppTitle), text,
                        QMessageBox::Ok, QApplication::activeWindow());
        box.exec();
    } catch (...) {
        // Nothing sensible is left to show; the action has ended either way.
    }
}

TApplication::TApplication(int& argc, char** argv) : QApplication(argc, argv) {}

bool TApplication::notify(QObject* receiver, QEvent* event)
{
    try {
        return QApplication::notify(receiver, event);
    } catch (...) {
        ShowCurrentException();
        return false;
    }
}

} // namespace kompa::ui
