#pragma once
// Shift-JIS bytes to and from the text the widgets show.

#include <QString>
#include <string>
#include <string_view>

namespace kompa {

QString UiText(std::string_view sjis);
std::string SjisText(const QString& text);

} // namespace kompa
