#include "app/command_line.h"

#include <QCommandLineParser>
#include <QCoreApplication>
#include <QTimer>

#include <cstdio>
#include <filesystem>
#include <string>

#include "app/main_form.h"
#include "convui/conv_form.h"
#include "convui/conv_windows.h"
#include "ui/error_display.h"
#include "ui/ui_text.h"

namespace kompa::ui {
namespace {

// The options both readings know. Qt's own options are single-dash words (-platform, -reverse):
// read as long options, they are never taken for -h or -v.
void DefineArguments(QCommandLineParser& parser)
{
    parser.setSingleDashWordOptionMode(QCommandLineParser::ParseAsLongOptions);
    parser.setApplicationDescription(
        QStringLiteral("Japanese postal codes: the search window looks up the addresses of a\n"
                       "code and the codes of an address, the conversion window fills postal\n"
                       "codes into an address book. The windows are Japanese."));
    parser.addHelpOption();
    parser.addVersionOption();
    parser.addPositionalArgument(
        QStringLiteral("FILE"), QStringLiteral("An address book to open in the conversion window."),
        QStringLiteral("[FILE]"));
}

} // namespace

std::optional<int> AnswerWithoutWindows(int argc, char** argv)
{
    QStringList arguments;
    for (int i = 0; i < argc; ++i)
        arguments << QString::fromLocal8Bit(argv[i]);
    QCommandLineParser parser;
    DefineArguments(parser);
    // Qt's options are still among the arguments here: what is wrong is told once they are gone.
    parser.parse(arguments);
    const bool version = parser.isSet(QStringLiteral("version"));
    const bool helpAll = parser.isSet(QStringLiteral("help-all"));
    if (!version && !helpAll && !parser.isSet(QStringLiteral("help")))
        return std::nullopt;
    // The texts name the program; a core application needs no display. Each call below prints
    // and ends the process.
    QCoreApplication core(argc, argv);
    QCoreApplication::setApplicationName(QString::fromLatin1(kAppTitle));
    QCoreApplication::setApplicationVersion(QStringLiteral(KOMPA_VERSION));
    if (version)
        parser.showVersion();
    if (helpAll) // Qt's options listed too; those given are no error here
        parser.process(QStringList{arguments.front(), QStringLiteral("--help-all")});
    parser.showHelp(0);
}

TCommandLine ReadCommandLine(const QStringList& arguments)
{
    QCommandLineParser parser;
    DefineArguments(parser);
    if (!parser.parse(arguments)) {
        std::fprintf(stderr, "kompa: %s\n", parser.errorText().toLocal8Bit().constData());
        return {1, {}};
    }
    const QStringList files = parser.positionalArguments();
    if (files.isEmpty())
        return {};
    // The dialog gives a full name; so does this, for the status panel and the ".bak" name.
    const std::string given = ToFileName(files.front());
    std::error_code error;
    const std::filesystem::path path = std::filesystem::absolute(given, error);
    return {std::nullopt, error ? given : path.lexically_normal().string()};
}

void OpenFileFromCommandLine(const std::string& fileName)
{
    QTimer::singleShot(0, MainForm, [fileName] {
        Guarded([&] {
            if (!ConvForm)
                MainForm->KC1Click();
            ConvForm->OpenCsvFile(FromFileName(fileName));
        });
    });
}

} // namespace kompa::ui
