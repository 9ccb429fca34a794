// What the reader model read for a card (mcrsim::CardRead), as the simulated library's
// control interface takes a card (MCRSimCard): the one place the two meet.
#pragma once

#include <string>

#include "../core/card.h"
#include "mcrsim.h"

namespace mcrsim {

// Good tracks hand over their whole MCRRead buffer (the data, then zeros up to 76, 37
// or 69 bytes) with status 1; failed tracks hand over nothing and their error code.
MCRSimCard ToSimCard(const CardRead &read);

// Why no reader hands over this card ("iso2: ..."), as CheckReaderTrack says of its
// first wrong track; empty when a reader could. What ToSimCard makes always passes.
std::string CheckSimCard(const MCRSimCard &card);

}  // namespace mcrsim
