#pragma once
// A pass with nobody at the keyboard: every record that would wait for the user is skipped and
// left as read. kompa-cli convert runs it; the window never does.

#include <functional>
#include <string>

#include "conv_pass.h"

namespace kompa {

// A record that waited and was skipped.
struct TSkippedRecord {
    int line;            // counted from 1
    TAddressLevel level; // the address search's
    int count;           // candidates found
    std::string key;     // what edKey would show
    std::string reason;  // why it waited, in precise mode (Shift-JIS); else empty
};

// Runs the prepared pass (ResetConversion(true) done) to its end. Failures raise as in the
// window's pass.
void RunUnattended(TConversionPass& pass,
                   const std::function<void(const TSkippedRecord&)>& onSkipped);

} // namespace kompa
