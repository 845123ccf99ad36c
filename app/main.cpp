// The program's entry: the application object, its title and help file, the windows in their
// order, and the message loop until the frame closes.

#include <QLibraryInfo>
#include <QLocale>
#include <QTranslator>

#include <optional>

#include "app/command_line.h"
#include "app/main_form.h"
#include "convui/conv_form.h"
#include "find/find_form.h"
#include "ui/error_display.h"
#include "ui/help.h"

int main(int argc, char** argv)
{
    if (const std::optional<int> status = kompa::ui::AnswerWithoutWindows(argc, argv))
        return *status;
    kompa::ui::TApplication application(argc, argv);
    const kompa::ui::TCommandLine commandLine =
        kompa::ui::ReadCommandLine(QCoreApplication::arguments());
    if (commandLine.exitStatus)
        return *commandLine.exitStatus;
    // The whole interface is Japanese, the platform's own dialogs and buttons included.
    QTranslator platformTexts;
    if (platformTexts.load(QLocale(QLocale::Japanese, QLocale::Japan), QStringLiteral("qtbase"),
                           QStringLiteral("_"), QLibraryInfo::path(QLibraryInfo::TranslationsPath)))
        QCoreApplication::installTranslator(&platformTexts);
    QApplication::setApplicationName(QString::fromLatin1(kompa::ui::kAppTitle));
    // Lets the desktop match the running windows to the installed entry and its icon.
    QGuiApplication::setDesktopFileName(QStringLiteral("jp.kompa.Kompa"));
    kompa::ui::SetHelpFile(QStringLiteral("KOMPA.HLP"));

    // The frame first: it finds the directory that the children open the dictionaries from, and
    // makes the conversion window's dialogs.
    new TMainForm;
    MainForm->AddChild(new TFindForm(MainForm->PostCode1, MainForm->CodeAddress1, MainForm->Offices,
                                     MainForm->DictDir));
    MainForm->AddChild(
        new TConvForm(MainForm->PostCode1, MainForm->DictDir, MainForm->ConvDialogs()));

    MainForm->show();
    if (!commandLine.fileName.empty())
        kompa::ui::OpenFileFromCommandLine(commandLine.fileName);
    const int exitCode = application.exec();
    delete MainForm;
    return exitCode;
}
