#pragma once
// The names spreadsheets give the columns of an address book, as a heading line writes them:
// a short table of the usual Japanese and English names. Shift-JIS bytes.

#include <string_view>

namespace kompa {

enum class TColumnName {
    None,       // not a column name of the table
    PostalCode, // 郵便番号, 〒, zip, postal ...
    Address,    // 住所, 所在地, address ...
    Other,      // 氏名, 電話, name ...
};

// What field names, compared without blanks, underscores, hyphens and dots, with full-width
// letters and digits as ASCII, case folded, and without a trailing number or bracketed remark
// ("住所1", "ＡＤＤＲＥＳＳ", "Zip Code", "住所（自宅）").
TColumnName ColumnNameOf(std::string_view field);

} // namespace kompa
