#pragma once
// What the desktop program does with its command line: `kompa FILE` opens FILE in the
// conversion window, as a file manager's "Open with" asks.

namespace kompa::ui {

// Once the message loop runs, opens the first argument (left over after Qt took its own
// options) as if it had been chosen in the conversion window's file-open dialog.
void OpenFileFromCommandLine(int argc, char** argv);

} // namespace kompa::ui
