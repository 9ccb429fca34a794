// `mcrsim show`: a card's tracks as text a terminal shows, each as rows of bits under
// the characters the decoder read, with the damage and the decoder's stop marked.
#pragma once

#include <string>
#include <vector>

#include "../core/trace_view.h"

namespace mcrsim_tool {

// The glyphs of the marks; UTF-8 ones for a UTF-8 terminal, plain ASCII otherwise.
struct ShowGlyphs {
    const char *stop;     // between the last stretch read and the first one not read
    const char *flipped;  // under a bit the damage turned over
    const char *erased;   // under a bit the damage wore off
    const char *decided;  // under the bits of the character that stopped the read
};
const ShowGlyphs &GlyphsFor(bool utf8);

// One track: a line with its status and the direction read, a line saying why the
// decoder stopped, then rows of at most `columns` columns: a row's first bit number
// along the swipe, the characters (S: start sentinel, E: end sentinel, L: LRC), the
// bits, and the marks. (79: a console of 80 columns adds a blank line after a full one.)
std::vector<std::string> ShowTrack(const mcrsim::TrackView &view, bool utf8, std::size_t columns = 79);

// What the labels and the marks mean.
std::vector<std::string> ShowLegend(bool utf8);

}  // namespace mcrsim_tool
