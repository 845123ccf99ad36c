#include "match_texts.h"

#include <array>

#include "canonical.h"

namespace kompa::match {

namespace {

struct RuleInfo {
    const char* key;
    const char* text;
};

constexpr RuleInfo kRules[] = {
    {"town", "町名"},
    {"one-code", "候補が一つの番号"},
    {"chome", "丁目"},
    {"lot", "番地"},
    {"jiwari", "地割"},
    {"part", "小字"},
    {"street", "通り名"},
    {"floor", "ビルの階"},
    {"unknown-floor", "ビルの地階・階層不明"},
    {"not-building", "ビル以外"},
    {"other", "その他"},
    {"city-default", "市区町村の番号"},
    {"whole-city", "市区町村一円"},
    {"city-lots", "市区町村の番地"},
    {"present-code", "記入済みの番号"},
};

constexpr RuleInfo kReasons[] = {
    {"", ""},
    {"no-city", "市区町村が見つかりません"},
    {"no-town", "町名が見つかりません"},
    {"no-chome", "丁目がありません"},
    {"no-lot", "番地がありません"},
    {"no-jiwari", "地割がありません"},
    {"no-part", "小字がありません"},
    {"no-street", "通り名がありません"},
    {"two-cities", "同じ町名が二つの市にあります"},
    {"twice-in-city", "同じ町名が市内に二つあります"},
    {"no-such-lot", "該当する番地がありません"},
    {"unreadable-note", "町名の注記を読めません"},
    {"after-town", "町名の後を読めません"},
    {"no-such-floor", "該当する階がありません"},
    {"unconvertible", "辞書にない文字があります"},
};

// The Shift-JIS texts of one table, converted at first use. One instance per table, not per
// table size: two tables of the same length must not share their texts.
template <const auto& Table> const std::string& Text(std::size_t i)
{
    constexpr std::size_t n = std::size(Table);
    static const std::array<std::string, n> texts = [] {
        std::array<std::string, n> out;
        for (std::size_t k = 0; k < n; ++k)
            out[k] = Sjis(Table[k].text);
        return out;
    }();
    return texts[i < n ? i : 0];
}

} // namespace

const char* RuleKey(TMatchRule rule)
{
    return kRules[static_cast<std::size_t>(rule)].key;
}

const char* ReasonKey(TWaitReason reason)
{
    return kReasons[static_cast<std::size_t>(reason)].key;
}

const std::string& ReasonText(TWaitReason reason)
{
    return Text<kReasons>(static_cast<std::size_t>(reason));
}

const std::string& RuleText(TMatchRule rule)
{
    return Text<kRules>(static_cast<std::size_t>(rule));
}

} // namespace kompa::match
