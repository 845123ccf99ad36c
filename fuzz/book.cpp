// A user's address book as arbitrary bytes: read into its line list in any encoding choice (UTF-16
// and marked Shift-JIS included), every line split by a chosen dialect, a field written back,
// the book put out and read in again. Input: a flag byte (bits 0-1 encoding choice, bits 2-4
// read delimiters), then the book.

#include <cstdint>
#include <string>

#include "conv/book_lines.h"
#include "conv/char_set.h"
#include "conv/csv_fields.h"
#include "engine/io/errors.h"

namespace {

using namespace kompa;

TCharSet Delimiters(std::uint8_t flags)
{
    TCharSet set;
    if (flags & 1)
        set.Add(',');
    if (flags & 2)
        set.Add('\t');
    if (flags & 4)
        set |= TCharSet::ControlCodes();
    return set;
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size)
{
    if (size < 1)
        return 0;
    const std::uint8_t flags = data[0];
    const auto choice = static_cast<TEncodingChoice>((flags & 3) % 3);
    const TCharSet delimiters = Delimiters(static_cast<std::uint8_t>(flags >> 2));
    TBookLines lines;
    try {
        lines.SetBytes(std::string(reinterpret_cast<const char*>(data) + 1, size - 1), choice);
    } catch (const Exception&) {
        if (lines.Count() != 0) // a refused book holds nothing
            __builtin_trap();
        return 0;
    }

    // What is put out reads in again as the same lines in the same format.
    TBookLines again;
    try {
        again.SetBytes(lines.GetTextStr(), choice);
    } catch (const Exception&) {
        __builtin_trap();
    }
    if (again.Count() != lines.Count() || again.Format().utf16 != lines.Format().utf16 ||
        again.Format().encoding != lines.Format().encoding ||
        again.Format().bom != lines.Format().bom)
        __builtin_trap();
    for (int i = 0; i < lines.Count(); ++i)
        if (again[i] != std::string(lines[i]))
            __builtin_trap();

    TFieldList fields;
    TCharSet used;
    std::string joined;
    for (int i = 0; i < lines.Count(); ++i) {
        const std::string line(lines[i]);
        SplitFields(fields, line, delimiters);
        if (fields.Count() != CountFields(line, delimiters))
            __builtin_trap();
        CollectDelimiters(line, delimiters, used);
        // The conversion's write-back: the first field gets a code, the record is joined again.
        if (fields.Count() > 0 && i % 2 == 0) {
            fields.Put(0, "1000001");
            JoinFields(fields, ',', TCharSet::ControlCodes(), joined);
            lines.Put(i, joined);
            if (lines[i] != joined)
                __builtin_trap();
        }
    }
    // Written lines come out whole; a UTF-16 book stays UTF-16 that decodes.
    const std::string out = lines.GetTextStr();
    if (lines.Format().utf16 != TUtf16::None && DetectUtf16(out) != lines.Format().utf16)
        __builtin_trap();
    return 0;
}
