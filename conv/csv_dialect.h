#pragma once
// The CSV dialect as the settings dialog holds it: the states of its controls, with the
// defaults, and the values derived from them. The dialog mirrors its controls here; kompa-cli
// builds one from its options.

#include <string>

#include "char_set.h"

namespace kompa {

struct TCsvDialect {
    // Reading: which bytes end a field.
    bool rcbComma = true;
    bool rcbTAb = true;
    bool rcbBlank = false;
    bool rcbOther = true; // every control code 0x00 .. 0x1F
    bool rcbDs = false;   // the user's own character in edRSep
    std::string edRSep;

    // Writing: rgSep item 0 comma, 1 TAB, 2 space, 3 the character in edWSep.
    int rgSep = 0;
    std::string edWSep;

    // Writing: which bytes make a field quoted (the delimiter and the double quote always do).
    bool wcbTab = true;
    bool wcbBlank = true;
    bool wcbOther = true;
    bool wcbAll = false;

    TCharSet GetReadDelimiters() const;
    TCharSet GetQuoteTargets() const;
    // Fills an empty edWSep with "," first, whichever item is chosen.
    char GetWriteDelimiter();
    // "標準値に戻す": back to the defaults above.
    void Reset();
};

} // namespace kompa
