#pragma once
// One address of a ministry line written as people write it, with what the writing says for
// the reader and a tag naming the form.

#include <string>

#include "address_reading.h"
#include "dice.h"
#include "place_index.h"

namespace kompa::books {

struct WrittenAddress {
    std::string text; // UTF-8
    WrittenParts parts;
    std::string kind;
};

// Writes line place of index. leaveOut asks for a form that drops what tells the line from its
// neighbours (the 丁目 of a town split by 丁目, the building of a floor, the 小字, the 地割, the
// prefecture of a city whose name is not unique), where the line has such a thing.
WrittenAddress WriteAddress(const PlaceIndex& index, int place, Dice& dice, bool leaveOut);

} // namespace kompa::books
