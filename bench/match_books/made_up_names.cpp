#include "made_up_names.h"

#include <array>
#include <string_view>

#include "written_numbers.h"

namespace kompa::books {
namespace {

template <std::size_t N>
std::string_view PickOf(Dice& dice, const std::array<std::string_view, N>& items)
{
    return items[static_cast<std::size_t>(dice.Below(static_cast<int>(N)))];
}

constexpr std::array<std::string_view, 40> kFamilyNames = {
    "佐藤", "鈴木", "高橋",   "田中", "伊藤", "渡辺", "山本", "中村", "小林", "加藤",
    "吉田", "山田", "佐々木", "山口", "松本", "井上", "木村", "林",   "斎藤", "清水",
    "山崎", "森",   "池田",   "橋本", "阿部", "石川", "山下", "中島", "石井", "小川",
    "前田", "岡田", "長谷川", "藤田", "後藤", "近藤", "村上", "遠藤", "青木", "坂本"};
constexpr std::array<std::string_view, 20> kGivenNames = {
    "太郎", "花子", "一郎", "美咲", "健太", "陽子",   "翔", "愛",   "大輔", "由美",
    "誠",   "恵",   "拓也", "優子", "直樹", "真由美", "浩", "明美", "修",   "さくら"};
constexpr std::array<std::string_view, 16> kTownHeads = {
    "若葉", "希望", "白鳥", "緑風", "陽光",   "月見", "虹",   "紅葉",
    "楓",   "星見", "夢見", "萌黄", "瑞穂野", "銀河", "翠嵐", "鈴蘭"};
constexpr std::array<std::string_view, 8> kTownTails = {"台", "ケ丘",         "野", "の杜",
                                                        "平", "ニュータウン", "園", "坂上"};
constexpr std::array<std::string_view, 10> kPartHeads = {"東", "西", "南", "北", "上",
                                                         "下", "中", "前", "奥", "新"};
constexpr std::array<std::string_view, 10> kPartTails = {"鷺谷", "狐塚", "猿渡", "鶴巻", "亀甲",
                                                         "鹿追", "熊穴", "狸沢", "鴨下", "蛍池"};
constexpr std::array<std::string_view, 10> kBuildingHeads = {
    "グリーン", "サン",   "パーク", "リバー", "ロイヤル",
    "ＡＢＣ",   "メゾン", "プラザ", "さくら", "ひかり"};
constexpr std::array<std::string_view, 7> kBuildingTails = {
    "マンション", "ハイツ", "コーポ", "ビル", "レジデンス", "ハウス", "荘"};

} // namespace

std::string PersonName(Dice& dice)
{
    std::string name(PickOf(dice, kFamilyNames));
    const int gap = dice.Below(10);
    if (gap < 3)
        name += " ";
    else if (gap < 6)
        name += "\u3000";
    name += PickOf(dice, kGivenNames);
    return name;
}

std::string MadeUpTown(Dice& dice)
{
    return std::string(PickOf(dice, kTownHeads)) + std::string(PickOf(dice, kTownTails));
}

std::string MadeUpPart(Dice& dice)
{
    return std::string(PickOf(dice, kPartHeads)) + std::string(PickOf(dice, kPartTails));
}

std::string MadeUpBuilding(Dice& dice, bool fullWidthDigits)
{
    std::string name =
        std::string(PickOf(dice, kBuildingHeads)) + std::string(PickOf(dice, kBuildingTails));
    const int floor = dice.Between(1, 9);
    const int room = floor * 100 + dice.Between(1, 12);
    switch (dice.Below(5)) {
    case 0:
        return name + Digits(room, fullWidthDigits) + "号室";
    case 1:
        return name + " " + Digits(room, fullWidthDigits);
    case 2:
        return name + Digits(room, fullWidthDigits);
    case 3:
        return name + " " + Digits(floor, fullWidthDigits) + "F";
    default:
        return name + "\u3000" + Digits(room, fullWidthDigits) + "号";
    }
}

std::string MadeUpBuildingName(const std::string& written)
{
    for (std::string_view tail : kBuildingTails)
        if (const std::size_t at = written.find(tail); at != std::string::npos)
            return written.substr(0, at + tail.size());
    return written;
}

} // namespace kompa::books
