#pragma once
// Precise matching of one written address to one postal code. The prefecture, when written,
// limits the answer; the city is found with or without its 郡; the town is the longest listed
// town the address begins with (大字 and 字 written or not); then the town's notes decide by
// the 丁目, 番地, 地割, 小字, building and floor the address gives. Every reading these rules
// allow is followed, and a code is decided only when all of them lead to it. A record's
// present code that is one of the codes left decides between them.

#include <cstdint>
#include <functional>
#include <memory>
#include <string>
#include <string_view>
#include <vector>

#include "canonical.h"
#include "match_texts.h"
#include "note_conditions.h"
#include "town_index.h"

namespace kompa {
class TCodeAddress;
class TPostCode;
} // namespace kompa

namespace kompa::match {

struct TPreciseAnswer {
    bool decided = false;
    std::uint32_t code = 0;
    TMatchRule rule = TMatchRule::Town;
    TWaitReason reason = TWaitReason::None;
    // Entries (TTownIndex::Entries) still possible, best first; the decided code's first.
    std::vector<std::uint32_t> candidates;
    std::string CodeText() const;
};

class TPreciseMatcher {
public:
    // Reads the whole of the address dictionary file, through a reader of its own that it
    // keeps open (for the candidates' lines); a file that cannot be read gives an empty matcher.
    explicit TPreciseMatcher(const std::string& dictionaryFile);

    // sjisAddress as written; present: the record's code as seven digits, or empty.
    void Match(std::string_view sjisAddress, std::string_view present, TPreciseAnswer& out) const;
    // Whether a written address is that of an office: its prefecture (when written), its city
    // (with or without 郡), its town (大字 or 字 before it or not), and the 丁目 and lot numbers
    // of the office's street part, all as the office file gives them (Shift-JIS).
    static bool IsAddressOf(std::string_view sjisAddress, char ken, std::string_view city,
                            std::string_view town, std::string_view street);
    // Whether a written address is a prefecture's name and nothing else.
    static bool NamesOnlyAPrefecture(std::string_view sjisAddress);
    // A candidate as the dictionary's result line (code, blank, [prefecture,] address).
    std::string CandidateLine(std::uint32_t entry, bool withKen) const;
    // The seven digits of an entry's code.
    static std::string CodeText(std::uint32_t code);
    std::uint32_t EntryCode(std::uint32_t entry) const { return index_.Entries()[entry].code; }
    const TTownIndex& Index() const { return index_; }

private:
    struct Reading;
    // The street description of an address, made the first time a Kyoto town asks for it.
    class TLazyStreet {
    public:
        explicit TLazyStreet(std::string_view address) : address_(address) {}
        std::string_view operator()() const
        {
            if (!made_) {
                text_ = StreetForm(address_);
                made_ = true;
            }
            return text_;
        }

    private:
        std::string_view address_;
        mutable std::string text_;
        mutable bool made_ = false;
    };
    void ReadCity(const TCanonicalText& text, std::size_t at, std::uint32_t city,
                  Reading& out) const;
    struct TTownRead {
        bool trailing;     // text after the town could be more of a name
        bool unlistedPart; // the address names a part the town does not list
    };
    // Adds what one listed town leaves to out.
    TTownRead ReadTown(const TCanonicalText& text, std::size_t townAt, std::uint32_t group,
                       const TLazyStreet& streetOf, Reading& out) const;

    std::unique_ptr<TPostCode> dictionary_;
    TTownIndex index_;
    std::vector<std::string> kenNames_; // canonical, by prefecture character − '0'
};

// The matcher of an open dictionary, made at its first use and kept while the file stays the
// same (one process converts many records and passes over one file). Null when the
// dictionary is not open.
std::shared_ptr<const TPreciseMatcher> PreciseMatcherFor(const TCodeAddress& dictionary);
// Begins making the matcher of a dictionary file on a thread of its own, so that it is ready
// (or nearly) when PreciseMatcherFor asks: a caller that knows it will match starts it before
// reading the user's book. Does nothing when that file's matcher is made or being made.
void StartPreciseMatcher(const std::string& dictionaryFile);
// Waits for a matcher being made, then drops the kept one, so that the next is made anew.
void ForgetPreciseMatchers();

} // namespace kompa::match
