// Whether the decoder's trace of a swipe agrees with the swipe and with its status, for
// card_tests (every kind of damage) and the decoder's fuzz target (any bits): plain C++17
// over the portable core, built with mingw-w64 and natively with clang.
#ifndef STRIPEWELL_TESTS_SUPPORT_TRACE_CHECK_H
#define STRIPEWELL_TESTS_SUPPORT_TRACE_CHECK_H

#include <string>

#include "tracks.h"

namespace trace_check {

// Empty when the trace covers what the decoder read, stretch after stretch from the
// start, each holding the bits of the swipe at its place in the order read (clocking
// zeros only first; then the start sentinel, data up to the end sentinel, the LRC),
// stops where it says, and its deciding character is one that can decide that status
// (a good read's data being its traced data characters). Otherwise the first thing
// that does not hold, and where.
std::string TraceMismatch(const mcrsim::TrackFormat &format, const mcrsim::Bits &bits,
                          const mcrsim::Decoded &decoded);

}  // namespace trace_check

#endif  // STRIPEWELL_TESTS_SUPPORT_TRACE_CHECK_H
