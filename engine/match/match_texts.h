#pragma once
// How a precise answer came about: the rule that decided a code, or the reason a record
// waits. Each has a short ASCII key for reports and a Japanese text (Shift-JIS) for the window.

#include <cstdint>
#include <string>

namespace kompa::match {

enum class TMatchRule : std::uint8_t {
    Town,         // the town has one code
    OneCode,      // every reading leads to one code
    Chome,        // the 丁目 picked the code
    Lot,          // the 番地 picked it
    Jiwari,       // the 地割 picked it
    Part,         // a 小字 or part name picked it
    Street,       // a street description (Kyoto) picked it
    Floor,        // a listed building's floor
    UnknownFloor, // a listed building without a floor, or below ground
    NotBuilding,  // the town's code for all but its listed buildings
    Other,        // the town's code for what its other lines do not cover
    CityDefault,  // no listed town named: the city's own code
    WholeCity,    // the city has one code
    CityLots,     // the city's lots with no town (〜の次に番地がくる場合)
    PresentCode,  // the code the record holds is one of those left
};

enum class TWaitReason : std::uint8_t {
    None,
    NoCity,        // no city found
    NoTown,        // no town found
    NoChome,       // the 丁目 decides, and none is written
    NoLot,         // the 番地 decides, and none (or too little) is written
    NoJiwari,      // the 地割 decides
    NoPart,        // a 小字 or part name decides
    NoStreet,      // a street description decides
    TwoCities,     // the address reads as towns of two cities
    TwiceInCity,   // the town is listed twice in its city with different codes
    NoSuchLot,     // the town's lines cover none of the numbers written
    Unreadable,    // a note of the town could not be read
    AfterTown,     // text after the town name that could be another town
    NoSuchFloor,   // a floor the building does not list
    Unconvertible, // a character the dictionary cannot hold
};

const char* RuleKey(TMatchRule rule);
const char* ReasonKey(TWaitReason reason);
// Shift-JIS, e.g. "丁目がありません".
const std::string& ReasonText(TWaitReason reason);
const std::string& RuleText(TMatchRule rule);

} // namespace kompa::match
