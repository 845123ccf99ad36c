#pragma once
// The conversion window's help topic, shared by the window and the settings dialog.

class QWidget;

namespace kompa {

inline constexpr int kConversionHelpContext = 8;

void ShowConversionHelp(QWidget* from);

} // namespace kompa
