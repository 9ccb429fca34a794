// Deck files, text that docs/cards.md describes: a deck loads whole or not at all; the
// first mistake is reported with the file, the line and what is wrong.
#ifndef STRIPEWELL_MCRSIM_CORE_DECK_H
#define STRIPEWELL_MCRSIM_CORE_DECK_H

#include <cstddef>
#include <string>
#include <string_view>
#include <vector>

#include "card.h"

namespace mcrsim {

// The first mistake of a deck.
struct DeckError {
    std::string file;
    int line = 0;  // 1-based; 0 when the mistake is not on one line
    std::string message;

    // "file:line: message", or "file: message" without a line.
    std::string ToString() const;
};

struct DeckLoad {
    bool ok = false;
    std::vector<Card> cards;  // empty unless ok
    DeckError error;          // set unless ok
};

// Parses deck text; fileName is only used in the error.
DeckLoad ParseDeck(std::string_view text, const std::string &fileName);
// Reads and parses a deck file (at most kMaxDeckFileBytes) as ReadTextFile reads it: a
// file that is not there, or cannot be opened, is kCannotOpenFile (text_file.h), with why
// when the name tells it.
DeckLoad LoadDeckFile(const std::string &path);
constexpr std::size_t kMaxDeckFileBytes = 1 << 20;

// Deck text that ParseDeck reads back as the same cards.
std::string FormatDeck(const std::vector<Card> &cards);
// Track data as a deck file writes it: in double quotes, with \", \\ and \xHH.
std::string QuotedDeckData(std::string_view data);

// The card of that name; nullptr when the deck has none.
const Card *FindCard(const std::vector<Card> &deck, std::string_view name);

}  // namespace mcrsim

#endif  // STRIPEWELL_MCRSIM_CORE_DECK_H
