#pragma once
// Splitting one line of a user's delimited file into fields and joining fields back into a line.
// Byte-wise over Shift-JIS text: none of the bytes looked at (delimiters, the double quote) can
// be the second byte of a double-byte character, unless the user picks such a delimiter.
//
// Two rules beyond the plain reading: a quoted field that is never closed keeps every byte after
// its opening quote (doubled quotes undoubled), and a 0x00 byte is an ordinary byte that
// separates fields only when it is in the delimiter set.

#include <cstddef>
#include <string>
#include <string_view>
#include <vector>

#include "char_set.h"

namespace kompa {

inline constexpr char kQuoteChar = '"';

// The fields of one record. A bad index raises "ﾘｽﾄのｲﾝﾃﾞｯｸｽが範囲を超えています", which is how a
// record lacking a chosen column stops a conversion pass.
class TFieldList {
public:
    int Count() const { return static_cast<int>(items_.size()); }
    void Clear() { items_.clear(); }
    void Add(std::string field) { items_.push_back(std::move(field)); }
    const std::string& Get(int index) const;
    void Put(int index, std::string field);
    const std::string& operator[](int index) const { return Get(index); }

    const std::vector<std::string>& Items() const { return items_; }
    std::vector<std::string>& Items() { return items_; }

private:
    void Check(int index) const;
    std::vector<std::string> items_;
};

// Clears fields and fills it with the fields of line. An empty line has no fields; n delimiters
// outside quotes always give n + 1 fields.
void SplitFields(TFieldList& fields, std::string_view line, const TCharSet& readDelimiters);

// Field index of line as SplitFields reads it, without reading the others whole; false when
// the line has no such field.
bool FieldAt(std::string_view line, int index, const TCharSet& readDelimiters, std::string& field);

// How many fields SplitFields would give for line, without reading them.
int CountFields(std::string_view line, const TCharSet& readDelimiters);

// The fields joined by writeDelimiter. A field holding a byte of quoteTargets, the delimiter or
// a double quote is quoted; an empty field never is.
std::string JoinFields(const TFieldList& fields, char writeDelimiter, const TCharSet& quoteTargets);
// The same into line, reusing its buffer.
void JoinFields(const TFieldList& fields, char writeDelimiter, const TCharSet& quoteTargets,
                std::string& line);

// The bytes that end a field of line (delimiters outside quotes), added to used.
void CollectDelimiters(std::string_view line, const TCharSet& readDelimiters, TCharSet& used);

// The plain field starting at cursor; cursor is left on the byte that ended it (a delimiter, or
// line.size() at the end of the line).
std::string ReadPlainField(std::string_view line, std::size_t& cursor, const TCharSet& delimiters);

// The quoted field whose opening quote is at cursor, unquoted; cursor is left on the byte that
// ended it.
std::string ReadQuotedField(std::string_view line, std::size_t& cursor, const TCharSet& delimiters);

// Encloses field in double quotes, doubling every inner double quote.
void QuoteField(std::string& field);

} // namespace kompa
