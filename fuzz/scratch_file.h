#pragma once
// What the dictionary fuzz targets share: their input's layout (a flag byte, a query length
// byte, the query, then the file's bytes) and the one scratch file the file's bytes go to,
// removed when the process ends.

#include <unistd.h>

#include <algorithm>
#include <cstdint>
#include <cstdio>
#include <optional>
#include <string>

namespace kompa::fuzz {

inline const std::string& ScratchFile(const char* prefix)
{
    static const struct Scratch {
        std::string name;
        ~Scratch() { std::remove(name.c_str()); }
    } scratch{std::string("/tmp/") + prefix + std::to_string(::getpid()) + ".DIC"};
    return scratch.name;
}

inline void WriteScratch(const std::string& fileName, const std::string& bytes)
{
    std::FILE* f = std::fopen(fileName.c_str(), "wb");
    if (f == nullptr)
        __builtin_trap();
    std::fwrite(bytes.data(), 1, bytes.size(), f);
    std::fclose(f);
}

struct DictionaryInput {
    std::uint8_t flags;
    std::string query; // at most 31 bytes
    std::string image;
};

inline std::optional<DictionaryInput> SplitInput(const std::uint8_t* data, std::size_t size)
{
    if (size < 2)
        return std::nullopt;
    const std::size_t queryLength = std::min<std::size_t>(data[1] % 32, size - 2);
    const auto* bytes = reinterpret_cast<const char*>(data);
    return DictionaryInput{data[0], std::string(bytes + 2, queryLength),
                           std::string(bytes + 2 + queryLength, size - 2 - queryLength)};
}

} // namespace kompa::fuzz
