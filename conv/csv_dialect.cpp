#include "csv_dialect.h"

namespace kompa {

TCharSet TCsvDialect::GetReadDelimiters() const
{
    TCharSet set = rcbOther ? TCharSet::ControlCodes() : TCharSet::Empty();
    if (rcbComma)
        set.Add(',');
    if (rcbTAb)
        set.Add('\t');
    if (rcbBlank)
        set.Add(' ');
    if (rcbDs && !edRSep.empty())
        set.Add(edRSep[0]);
    return set;
}

TCharSet TCsvDialect::GetQuoteTargets() const
{
    if (wcbAll)
        return TCharSet::Full();
    TCharSet set = wcbOther ? TCharSet::ControlCodes() : TCharSet::Empty();
    if (wcbTab)
        set.Add('\t');
    if (wcbBlank)
        set.Add(' ');
    return set;
}

char TCsvDialect::GetWriteDelimiter()
{
    if (edWSep.empty())
        edWSep.assign(1, ',');
    switch (rgSep) {
    case 0:
        return ',';
    case 1:
        return '\t';
    case 2:
        return ' ';
    default:
        return edWSep[0];
    }
}

void TCsvDialect::Reset()
{
    *this = TCsvDialect();
}

} // namespace kompa
