#pragma once
// What the desktop program does with its command line: `kompa FILE` opens FILE in the
// conversion window, as a file manager's "Open with" asks; --help and --version answer on
// standard output without opening a window.

#include <QStringList>

#include <optional>
#include <string>

namespace kompa::ui {

// Answers --help and --version from the raw arguments, before the application object exists:
// they need no display. The exit status when the program ends here.
std::optional<int> AnswerWithoutWindows(int argc, char** argv);

// What the arguments left after Qt took its own options (QCoreApplication::arguments()) ask:
// the exit status when they are wrong (told on standard error), else the file to open, if any.
// Files after the first are left unopened, as before.
struct TCommandLine {
    std::optional<int> exitStatus;
    std::string fileName; // in full, as the file-open dialog gives it
};
TCommandLine ReadCommandLine(const QStringList& arguments);

// Once the message loop runs, opens fileName as if it had been chosen in the conversion window's
// file-open dialog.
void OpenFileFromCommandLine(const std::string& fileName);

} // namespace kompa::ui
