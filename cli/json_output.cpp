#include "json_output.h"

#include <nlohmann/json.hpp>

#include "codec.h"
#include "engine/dictionary/office_dictionary.h"
#include "engine/source/ken.h"
#include "query_session.h"

namespace kompa::cli {
namespace {

// Keys in the order written: query and key first, the lines after.
using json = nlohmann::ordered_json;

const char* LevelName(TAddressLevel level)
{
    switch (level) {
    case TAddressLevel::TooShort:
        return "too-short";
    case TAddressLevel::Found:
        return "found";
    case TAddressLevel::FoundKeExchanged:
        return "found-ke-exchanged";
    case TAddressLevel::None:
        return "none";
    case TAddressLevel::Shortened:
        break;
    }
    return "shortened";
}

// The prefecture name text begins with, or empty. No name begins another.
std::string_view LeadingKen(std::string_view text)
{
    for (std::string_view ken : KenNames)
        if (text.starts_with(ken))
            return ken;
    return {};
}

// A result line with its prefecture: "CODE KEN+ADDRESS", or for an office
// "CODE MARK+NAME KEN+CITY+TOWN+STREET". A blank is never a trail byte, so the blank before the
// prefecture is found byte by byte; the last one before a prefecture's name ends the office's.
json LineJson(std::string_view line)
{
    const std::size_t blank = line.find(' ');
    std::string_view rest =
        blank == std::string_view::npos ? std::string_view() : line.substr(blank + 1);
    json object;
    object["code"] = SjisToUtf8(line.substr(0, blank));
    json officeObject;
    const bool office = rest.starts_with(kOfficeMark);
    if (office || rest.starts_with(kBoxMark)) {
        rest.remove_prefix((office ? kOfficeMark : kBoxMark).size());
        std::size_t nameEnd = rest.size();
        for (std::size_t at = rest.find(' '); at != std::string_view::npos;
             at = rest.find(' ', at + 1))
            if (!LeadingKen(rest.substr(at + 1)).empty())
                nameEnd = at;
        officeObject = {{"kind", office ? "office" : "post-office-box"},
                        {"name", SjisToUtf8(rest.substr(0, nameEnd))}};
        rest.remove_prefix(std::min(rest.size(), nameEnd + 1));
    }
    const std::string_view ken = LeadingKen(rest);
    object["prefecture"] = SjisToUtf8(ken);
    object["address"] = SjisToUtf8(rest.substr(ken.size()));
    if (!officeObject.is_null())
        object["office"] = std::move(officeObject);
    return object;
}

json PreciseJson(const match::TPreciseAnswer& answer)
{
    if (answer.decided)
        return {{"code", answer.CodeText()},
                {"rule", match::RuleKey(answer.rule)},
                {"reason", nullptr},
                {"text", SjisToUtf8(match::RuleText(answer.rule))}};
    return {{"code", nullptr},
            {"rule", nullptr},
            {"reason", match::ReasonKey(answer.reason)},
            {"text", SjisToUtf8(match::ReasonText(answer.reason))}};
}

std::string Dump(const json& object)
{
    // The texts are converted from Shift-JIS, so valid UTF-8; a stray byte still never throws.
    return object.dump(-1, ' ', false, json::error_handler_t::replace);
}

} // namespace

std::string ReplyJson(std::string_view query, const Reply& reply, const TTextResultList& lines)
{
    json object;
    object["query"] = SjisToUtf8(query);
    if (reply.search)
        object["search"] = reply.search;
    object["key"] = SjisToUtf8(reply.key);
    object["level"] = reply.level ? json(LevelName(*reply.level)) : json(nullptr);
    json& array = object["lines"] = json::array();
    for (int i = 0; i < lines.Count(); ++i)
        array.push_back(LineJson(lines.Line(i)));
    if (reply.precise)
        object["precise"] = PreciseJson(*reply.precise);
    return Dump(object);
}

std::string FailureJson(std::string_view query, std::string_view message)
{
    return Dump({{"query", SjisToUtf8(query)}, {"error", message}});
}

} // namespace kompa::cli
