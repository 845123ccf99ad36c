#pragma once
// Names that are in no ministry file: people, towns, 小字, buildings and rooms. Whether a made-up
// town or 小字 is really absent from a city is for the reader to tell; these only make it likely.

#include <string>

#include "dice.h"

namespace kompa::books {

std::string PersonName(Dice& dice);
std::string MadeUpTown(Dice& dice);
std::string MadeUpPart(Dice& dice);
// A building of no listed name, with a room or floor after it ("グリーンハイツ203号室").
std::string MadeUpBuilding(Dice& dice, bool fullWidthDigits);
// Its name alone, for the reader.
std::string MadeUpBuildingName(const std::string& written);

} // namespace kompa::books
