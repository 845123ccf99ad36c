#include "errors.h"

namespace kompa {

namespace {
std::string Fill(std::string_view pattern, std::string_view placeholder, std::string_view value)
{
    std::string out(pattern);
    if (auto at = out.find(placeholder); at != std::string::npos)
        out.replace(at, placeholder.size(), value);
    return out;
}
} // namespace

std::string FormatMessage(std::string_view pattern, std::string_view arg)
{
    return Fill(pattern, "%s", arg);
}

std::string FormatMessage(std::string_view pattern, long long value)
{
    return Fill(pattern, "%d", std::to_string(value));
}

void Raise(std::string message)
{
    throw Exception(std::move(message));
}

} // namespace kompa
