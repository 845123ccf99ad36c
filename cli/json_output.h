#pragma once
// --format json: each answer one JSON object on a line of its own (JSON Lines), always UTF-8
// whatever --sjis says, for jq and the like.

#include <string>
#include <string_view>

#include "engine/dictionary/result_list.h"

namespace kompa::cli {

struct Reply;

// The answer to one query (Shift-JIS, as searched): the query, the key, the level by name, the
// lines as objects and, when asked for, the precise answer. The lines must hold their
// prefecture's name (the query ran with it) to give it a field of its own.
std::string ReplyJson(std::string_view query, const Reply& reply, const TTextResultList& lines);
// A query that failed; message is UTF-8.
std::string FailureJson(std::string_view query, std::string_view message);

} // namespace kompa::cli
