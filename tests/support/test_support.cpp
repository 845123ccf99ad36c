#include "support/test_support.h"

#include <fstream>
#include <iterator>
#include <random>
#include <stdexcept>

#include "engine/dictionary/dictionary_build.h"
#include "engine/text/cp932.h"

namespace kompa::test {

TempDir::TempDir()
{
    std::random_device rd;
    for (int attempt = 0; attempt < 100; ++attempt) {
        auto candidate = std::filesystem::temp_directory_path() /
                         ("kompa-test-" + std::to_string(rd()) + std::to_string(attempt));
        if (std::filesystem::create_directory(candidate)) {
            path_ = candidate;
            return;
        }
    }
    throw std::runtime_error("cannot create a temporary directory");
}

TempDir::~TempDir()
{
    std::error_code ignored;
    std::filesystem::remove_all(path_, ignored);
}

void BuildPair(const std::string& source, const std::string& dir)
{
    MakeDictionaryFiles({ReadBuildSource(source)}, dir);
}

void BuildOne(const std::string& source, const std::string& dictFile, std::string_view which)
{
    const TempDir scratch;
    BuildPair(source, scratch.Path().string());
    WriteFile(dictFile, ReadFile(scratch.File(which)));
}

std::string ReadFile(const std::string& fileName)
{
    std::ifstream in(fileName, std::ios::binary);
    if (!in)
        throw std::runtime_error("cannot read " + fileName);
    return {std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>()};
}

void WriteFile(const std::string& fileName, std::string_view bytes)
{
    std::ofstream out(fileName, std::ios::binary | std::ios::trunc);
    out.write(bytes.data(), static_cast<std::streamsize>(bytes.size()));
    if (!out)
        throw std::runtime_error("cannot write " + fileName);
}

std::string Sjis(std::string_view utf8)
{
    std::string out;
    std::string bad;
    if (!cp932::FromUtf8Strict(utf8, out, &bad))
        throw std::runtime_error("no CP932 form for " + bad);
    return out;
}

} // namespace kompa::test
