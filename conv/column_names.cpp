#include "column_names.h"

#include <string>

#include "engine/text/sjis.h"

namespace kompa {
namespace {

struct TNamedColumn {
    std::string_view name; // folded
    TColumnName kind;
};

constexpr TNamedColumn kNames[] = {
    {"\x97\x58\x95\xD6\x94\xD4\x8D\x86", TColumnName::PostalCode}, // 郵便番号
    {"\x81\xA7", TColumnName::PostalCode},                         // 〒
    {"\x97\x58\x95\xD6", TColumnName::PostalCode},                 // 郵便
    {"\x97\x58\x94\xD4", TColumnName::PostalCode},                 // 郵番
    {"zip", TColumnName::PostalCode},
    {"zipcode", TColumnName::PostalCode},
    {"postal", TColumnName::PostalCode},
    {"postalcode", TColumnName::PostalCode},
    {"postcode", TColumnName::PostalCode},
    {"\x8F\x5A\x8F\x8A", TColumnName::Address},                         // 住所
    {"\x8F\x8A\x8D\xDD\x92\x6E", TColumnName::Address},                 // 所在地
    {"\x8C\xBB\x8F\x5A\x8F\x8A", TColumnName::Address},                 // 現住所
    {"\x8E\xA9\x91\xEE\x8F\x5A\x8F\x8A", TColumnName::Address},         // 自宅住所
    {"\x8B\xCE\x96\xB1\x90\xE6\x8F\x5A\x8F\x8A", TColumnName::Address}, // 勤務先住所
    {"\x89\xEF\x8E\xD0\x8F\x5A\x8F\x8A", TColumnName::Address},         // 会社住所
    {"\x91\x97\x95\x74\x90\xE6\x8F\x5A\x8F\x8A", TColumnName::Address}, // 送付先住所
    {"address", TColumnName::Address},
    {"addr", TColumnName::Address},
    {"\x8E\x81\x96\xBC", TColumnName::Other},                 // 氏名
    {"\x96\xBC\x91\x4F", TColumnName::Other},                 // 名前
    {"\x96\xBC\x8F\xCC", TColumnName::Other},                 // 名称
    {"\x89\xEF\x8E\xD0\x96\xBC", TColumnName::Other},         // 会社名
    {"\x93\x64\x98\x62", TColumnName::Other},                 // 電話
    {"\x93\x64\x98\x62\x94\xD4\x8D\x86", TColumnName::Other}, // 電話番号
    {"\x8C\x67\x91\xD1", TColumnName::Other},                 // 携帯
    {"\x8C\x67\x91\xD1\x93\x64\x98\x62", TColumnName::Other}, // 携帯電話
    {"\x83\x81\x81\x5B\x83\x8B", TColumnName::Other},         // メール
    {"\x94\xF5\x8D\x6C", TColumnName::Other},                 // 備考
    {"\x93\x73\x93\xB9\x95\x7B\x8C\xA7", TColumnName::Other}, // 都道府県
    {"\x8E\x73\x8B\xE6\x92\xAC\x91\xBA", TColumnName::Other}, // 市区町村
    {"\x92\xAC\x88\xE6", TColumnName::Other},                 // 町域
    {"\x94\xD4\x92\x6E", TColumnName::Other},                 // 番地
    {"\x8C\x9A\x95\xA8", TColumnName::Other},                 // 建物
    {"\x8C\x9A\x95\xA8\x96\xBC", TColumnName::Other},         // 建物名
    {"\x83\x74\x83\x8A\x83\x4B\x83\x69", TColumnName::Other}, // フリガナ
    {"\x82\xD3\x82\xE8\x82\xAA\x82\xC8", TColumnName::Other}, // ふりがな
    {"\x82\xA9\x82\xC8", TColumnName::Other},                 // かな
    {"name", TColumnName::Other},
    {"tel", TColumnName::Other},
    {"phone", TColumnName::Other},
    {"fax", TColumnName::Other},
    {"mail", TColumnName::Other},
    {"email", TColumnName::Other},
    {"company", TColumnName::Other},
    {"city", TColumnName::Other},
    {"memo", TColumnName::Other},
    {"note", TColumnName::Other},
};

// The folded form of a field: see ColumnNameOf.
std::string Folded(std::string_view field)
{
    std::string folded;
    for (std::size_t i = 0; i < field.size();) {
        const auto lead = static_cast<unsigned char>(field[i]);
        if (IsSjisLeadByte(lead) && i + 1 < field.size()) {
            const auto trail = static_cast<unsigned char>(field[i + 1]);
            i += 2;
            if (lead == 0x82 && trail >= 0x4F && trail <= 0x58)
                folded += static_cast<char>('0' + (trail - 0x4F)); // ０..９
            else if (lead == 0x82 && trail >= 0x60 && trail <= 0x79)
                folded += static_cast<char>('a' + (trail - 0x60)); // Ａ..Ｚ
            else if (lead == 0x82 && trail >= 0x81 && trail <= 0x9A)
                folded += static_cast<char>('a' + (trail - 0x81)); // ａ..ｚ
            else if (lead == 0x81 && trail == 0x69)
                break; // （: a remark follows
            else if (lead == 0x81 && (trail == 0x40 || trail == 0x51 || trail == 0x44 ||
                                      trail == 0x7C || trail == 0x5D))
                continue; // full-width space, ＿, ．, －, ‐
            else
                folded.append(field.substr(i - 2, 2));
            continue;
        }
        ++i;
        if (lead == '(')
            break;
        if (lead <= ' ' || lead == '_' || lead == '-' || lead == '.')
            continue;
        folded += lead >= 'A' && lead <= 'Z' ? static_cast<char>(lead - 'A' + 'a')
                                             : static_cast<char>(lead);
    }
    while (!folded.empty() && folded.back() >= '0' && folded.back() <= '9')
        folded.pop_back();
    return folded;
}

} // namespace

TColumnName ColumnNameOf(std::string_view field)
{
    const std::string folded = Folded(field);
    for (const TNamedColumn& named : kNames)
        if (folded == named.name)
            return named.kind;
    return TColumnName::None;
}

} // namespace kompa
