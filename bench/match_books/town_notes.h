#pragma once
// The ministry's notes on a town, read: which 丁目, 番地, 地割, 小字, building floor or street
// a line stands for. A note shape this reader does not know leaves the line unreadable: it is
// then never a source of a generated address, and as a candidate it can never be ruled out.

#include <array>
#include <string>
#include <string_view>
#include <vector>

namespace kompa::books {

enum class NoteShape {
    Plain,
    CityDefault,     // 以下に掲載がない場合 (an empty town in the bundled file)
    WholeCity,       // 〇〇村一円
    ChomeRange,      // （１～１９丁目）, （１丁目、３丁目）
    ChomeWritten,    // （丁目）: the addresses written with a 丁目
    ChomeNotWritten, // （番地）: the addresses written without one
    Banchi,   // （１２３～４５６番地）, （４００－２番地）, （２３０９）
    Chiwari,  // 種市第２２地割～第２３地割, 川井（第９地割～第１１地割）
    Parts,    // （坊ケ谷）, （内金矢、内山、岡沼）: 小字 and other named parts
    Others,   // （その他）
    Floor,    // 大手町ＪＡビル（１階）
    Basement, // 大手町ＪＡビル（地階・階層不明）
    ExceptBuildings, // 大手町（次のビルを除く）
    Street,          // 京都市: （寺町通今出川上る３丁目）
    Block,           // （１－１－８）: one 丁目, 番 and 号
    Unreadable,
};

// A short ASCII name for each shape (generated records and skip counts are tagged with it).
const char* ShapeName(NoteShape shape);

struct NumberRange {
    int lo = 0;
    int hi = 0; // kOpenEnd for 以上
};
inline constexpr int kOpenEnd = 1 << 30;

struct BanchiItem {
    int lo = 0;
    int hi = 0;
    int sub = -1; // （４００－２番地）: only 400-2, not the rest of 400
};

struct TownNote {
    std::string base; // the town before its notes, UTF-8 as the file has it
    NoteShape shape = NoteShape::Plain;
    std::vector<NumberRange> chome;
    int chomeWritten = -1; // 1 for （丁目）, 0 for （番地）
    std::vector<BanchiItem> banchi;
    std::vector<std::array<int, 3>> blocks; // 丁目, 番, 号
    std::vector<NumberRange> chiwari;
    std::vector<std::string> parts;
    bool others = false;
    // （番地） beside lines of named parts: the addresses that name none; those lines then
    // need their part written.
    bool withoutPart = false;
    bool partRequired = false;
    int floor = -1;       // Floor: the floor; Basement: 0
    std::string building; // Floor and Basement: the building's name, set once the town is known
    bool exceptBuildings = false;
    std::string street;
    std::string unreadable; // Unreadable: which shape was not read
};

// Reads one joined town field of the city city.
TownNote ReadTownNote(std::string_view town, std::string_view city);

// The city without its 郡 (児玉郡神川町 -> 神川町); empty when the city has none.
std::string CityWithoutGun(std::string_view city);

// Whether n lies in one of ranges.
bool InRanges(const std::vector<NumberRange>& ranges, int n);

} // namespace kompa::books
