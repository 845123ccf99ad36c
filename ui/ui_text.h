#pragma once
// The one bridge between the engine's Shift-JIS bytes and Qt's text. Every window converts here
// and nowhere else, so a character with no CP932 form turns into "?" the same way everywhere.

#include <QFont>
#include <QString>

#include <string>
#include <string_view>

#include "engine/text/text_encoding.h"

namespace kompa::ui {

// Shift-JIS bytes to display text.
QString FromSjis(std::string_view sjis);
// Display text to Shift-JIS bytes; a character with no CP932 form becomes "?".
std::string ToSjis(const QString& text);

// A user's file text (an address book's fields) in that file's encoding.
QString FromFileText(std::string_view bytes, TTextEncoding encoding);

// File names are file-system bytes, not Shift-JIS: they are converted by the locale's rules.
QString FromFileName(const std::string& fileName);
std::string ToFileName(const QString& fileName);

// The fonts of the windows. The Windows proportional Gothic is not on Linux; IPAPGothic is the
// nearest match at the same pixel size.
QFont GothicFont(int pixelSize);

} // namespace kompa::ui
