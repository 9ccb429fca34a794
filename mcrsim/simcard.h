// What the reader model read for a card (mcrsim::CardRead), as the simulated library's
// control interface takes a card (MCRSimCard): the one place the two meet.
#pragma once

#include "core/deck.h"
#include "mcrsim.h"

namespace mcrsim {

// Good tracks hand over their whole MCRRead buffer (the data, then zeros up to 76, 37
// or 69 bytes) with status 1; failed tracks hand over nothing and their error code.
MCRSimCard ToSimCard(const CardRead &read);

}  // namespace mcrsim
