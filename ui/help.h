#pragma once
// The help engine: a small viewer over the help document shipped next to the program. The
// application's help file is a bare name, looked up in the program's directory.

#include <QString>

class QTextBrowser;

namespace kompa::ui {

// Topic numbers of the windows that open help at their own page.
inline constexpr int kHelpContextSearch = 4;
inline constexpr int kHelpContextConvert = 8;

void SetHelpFile(const QString& fileName);

void ShowHelpContents();
void ShowHelpContext(int context);

// The viewer, once help has been shown (tests look at it).
QTextBrowser* HelpViewer();

} // namespace kompa::ui
