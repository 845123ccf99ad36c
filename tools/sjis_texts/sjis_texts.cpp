// Build-time tool: turns a header template whose texts are written in UTF-8 into the header the
// code includes, with each text as its Shift-JIS (CP932) bytes. Every line is copied as it stands
// except the text lines,
//     KOMPA_TEXT(kName, "text")  // optional comment
// which become `inline constexpr char kName[] = "<CP932 bytes>";`. Inside the quotes only \" and
// \\ are escapes. The build fails on a character CP932 has no bytes for, and on one whose bytes
// read back as another character (〜 U+301C comes back as ～ U+FF5E): the source must spell each
// text the way the windows will show it.
#include <iconv.h>

#include <cstdio>
#include <fstream>
#include <iostream>
#include <optional>
#include <regex>
#include <sstream>
#include <stdexcept>
#include <string>

namespace {

std::string Convert(const std::string& text, const char* to, const char* from)
{
    iconv_t cd = iconv_open(to, from);
    // NOLINTNEXTLINE(performance-no-int-to-ptr): iconv_open's failure value
    if (cd == reinterpret_cast<iconv_t>(-1))
        throw std::runtime_error(std::string("iconv cannot convert ") + from + " to " + to);
    std::string out(text.size() * 4 + 4, '\0');
    char* in = const_cast<char*>(text.data());
    std::size_t inLeft = text.size();
    char* dst = out.data();
    std::size_t dstLeft = out.size();
    std::size_t rc = iconv(cd, &in, &inLeft, &dst, &dstLeft);
    iconv_close(cd);
    // rc > 0 counts characters iconv replaced rather than converted: as bad as none.
    if (rc != 0)
        throw std::runtime_error("no " + std::string(to) + " form for the text at \"" +
                                 std::string(in, inLeft).substr(0, 12) + "\"");
    out.resize(out.size() - dstLeft);
    return out;
}

std::string ToCp932(const std::string& utf8)
{
    std::string sjis = Convert(utf8, "CP932", "UTF-8");
    std::string back = Convert(sjis, "UTF-8", "CP932");
    if (back != utf8) {
        std::size_t at = 0;
        while (at < back.size() && at < utf8.size() && back[at] == utf8[at])
            ++at;
        while (at > 0 && (static_cast<unsigned char>(utf8[at]) & 0xC0) == 0x80)
            --at;
        throw std::runtime_error("\"" + utf8.substr(at, 3) + "\" reads back from CP932 as \"" +
                                 back.substr(at, 3) + "\": write that form instead");
    }
    return sjis;
}

std::string Unquote(const std::string& quoted)
{
    std::string text;
    for (std::size_t i = 0; i < quoted.size(); ++i) {
        if (quoted[i] == '\\') {
            if (++i == quoted.size() || (quoted[i] != '"' && quoted[i] != '\\'))
                throw std::runtime_error("only \\\" and \\\\ may be escaped");
        }
        text += quoted[i];
    }
    return text;
}

bool IsHexDigit(char c)
{
    return (c >= '0' && c <= '9') || (c >= 'a' && c <= 'f') || (c >= 'A' && c <= 'F');
}

// A C++ literal of the bytes: printable ASCII as it is, the rest as \x escapes, the literal split
// where a hex digit follows an escape so that the escape ends where it should.
std::string Literal(const std::string& bytes)
{
    std::string out = "\"";
    bool afterEscape = false;
    for (char c : bytes) {
        auto byte = static_cast<unsigned char>(c);
        if (byte >= 0x20 && byte < 0x7F && c != '"' && c != '\\') {
            if (afterEscape && IsHexDigit(c))
                out += "\"\"";
            out += c;
            afterEscape = false;
        } else {
            char hex[8];
            std::snprintf(hex, sizeof hex, "\\x%02X", byte);
            out += hex;
            afterEscape = true;
        }
    }
    return out + "\"";
}

std::string Generate(std::istream& in)
{
    static const std::regex textLine(
        R"re(^(\s*)KOMPA_TEXT\((\w+),\s*"((?:[^"\\]|\\.)*)"\)\s*(//.*)?$)re");
    std::ostringstream out;
    out << "// Made at build time from its UTF-8 template: edit that, not this.\n";
    std::string line;
    int number = 0;
    while (std::getline(in, line)) {
        ++number;
        std::smatch m;
        if (line.find("KOMPA_TEXT(") == std::string::npos) {
            out << line << '\n';
            continue;
        }
        if (!std::regex_match(line, m, textLine))
            throw std::runtime_error("line " + std::to_string(number) +
                                     ": not KOMPA_TEXT(kName, \"text\")");
        try {
            out << m[1] << "inline constexpr char " << m[2]
                << "[] = " << Literal(ToCp932(Unquote(m[3]))) << ';';
        } catch (const std::exception& e) {
            throw std::runtime_error("line " + std::to_string(number) + ": " + e.what());
        }
        if (m[4].matched)
            out << ' ' << m[4];
        out << '\n';
    }
    return out.str();
}

} // namespace

int main(int argc, char** argv)
{
    if (argc != 3) {
        std::cerr << "usage: sjis_texts TEMPLATE OUTPUT\n";
        return 2;
    }
    std::ifstream in(argv[1], std::ios::binary);
    if (!in) {
        std::cerr << argv[1] << ": cannot read\n";
        return 1;
    }
    std::string header;
    try {
        header = Generate(in);
    } catch (const std::exception& e) {
        std::cerr << argv[1] << ": " << e.what() << '\n';
        return 1;
    }
    std::ofstream out(argv[2], std::ios::binary | std::ios::trunc);
    out << header;
    out.close();
    if (!out) {
        std::cerr << argv[2] << ": cannot write\n";
        return 1;
    }
    return 0;
}
