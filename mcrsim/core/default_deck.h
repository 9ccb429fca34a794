// The built-in deck, which the tool, the panel and scenarios use when given no deck file.
#ifndef STRIPEWELL_MCRSIM_CORE_DEFAULT_DECK_H
#define STRIPEWELL_MCRSIM_CORE_DEFAULT_DECK_H

#include <string_view>
#include <vector>

#include "card.h"

namespace mcrsim {

// The built-in deck: public test card numbers and made-up names only. Its text is a
// deck file like any other.
std::string_view DefaultDeckText();
const std::vector<Card> &DefaultDeck();

}  // namespace mcrsim

#endif  // STRIPEWELL_MCRSIM_CORE_DEFAULT_DECK_H
