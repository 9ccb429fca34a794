// The built-in deck; see default_deck.h.
#include "default_deck.h"

#include "deck.h"

namespace mcrsim {

std::string_view DefaultDeckText() {
    static const char kText[] = R"DECK(# The built-in deck. Card numbers are the public test numbers of the card
# networks; every name is made up.

card full Full card: ISO tracks 1 and 2 and the JIS II track
  iso1 "B3530111333300000^SAMPLE/HANAKO^4912101000000000000000000"
  iso2 "3530111333300000=49121010000000000000"
  jis2 "STRIPEWELL TEST 3530111333300000 4912 SAMPLE HANAKO000000000000000000"

card iso ISO card with tracks 1 and 2
  iso1 "B5555555555554444^SAMPLE/TARO^49121010000000000000"
  iso2 "5555555555554444=49121010000000000000"

card iso-no-track1 ISO card without track 1
  iso2 "4111111111111111=49121010000000000000"

card jis2 JIS II card
  jis2 "61 STRIPEWELL JIS TEST 3530111333300000 4912 0001 SAMPLE TARO00000000"

card backwards Full card swiped backwards (the reader reads either direction)
  iso1 "B3530111333300000^SAMPLE/HANAKO^4912101000000000000000000"
  iso2 "3530111333300000=49121010000000000000"
  jis2 "STRIPEWELL TEST 3530111333300000 4912 SAMPLE HANAKO000000000000000000"
  damage iso1 reversed
  damage iso2 reversed
  damage jis2 reversed

card blank Blank card: nothing recorded

# Each of these fails on one track with one error; the other tracks read.

card err-no-data Full card without track 2 (no-data on ISO2)
  iso1 "B3530111333300000^SAMPLE/HANAKO^4912101000000000000000000"
  jis2 "STRIPEWELL TEST 3530111333300000 4912 SAMPLE HANAKO000000000000000000"

card err-no-start Start sentinel of track 1 erased (no-start on ISO1)
  iso1 "B3530111333300000^SAMPLE/HANAKO^4912101000000000000000000"
  iso2 "3530111333300000=49121010000000000000"
  jis2 "STRIPEWELL TEST 3530111333300000 4912 SAMPLE HANAKO000000000000000000"
  damage iso1 lose-start

# Bit 5 is the lowest bit of the first data character of track 2.
card err-parity One bit of track 2 flipped (parity on ISO2)
  iso1 "B3530111333300000^SAMPLE/HANAKO^4912101000000000000000000"
  iso2 "3530111333300000=49121010000000000000"
  jis2 "STRIPEWELL TEST 3530111333300000 4912 SAMPLE HANAKO000000000000000000"
  damage iso2 flip 5

card err-too-long Over-long track 1 of 80 characters (too-long on ISO1)
  iso1 "B4111111111111111^SAMPLE/TOOLONG^49121010000000000000000000000000000000000000000"
  iso2 "3530111333300000=49121010000000000000"
  jis2 "STRIPEWELL TEST 3530111333300000 4912 SAMPLE HANAKO000000000000000000"

card err-no-end Worn end of the JIS II track (no-end on JIS2)
  iso1 "B3530111333300000^SAMPLE/HANAKO^4912101000000000000000000"
  iso2 "3530111333300000=49121010000000000000"
  jis2 "STRIPEWELL TEST 3530111333300000 4912 SAMPLE HANAKO000000000000000000"
  damage jis2 lose-end

card err-truncated Swipe stopped halfway along track 2 (truncated on ISO2)
  iso1 "B3530111333300000^SAMPLE/HANAKO^4912101000000000000000000"
  iso2 "3530111333300000=49121010000000000000"
  jis2 "STRIPEWELL TEST 3530111333300000 4912 SAMPLE HANAKO000000000000000000"
  damage iso2 truncate 100

# Bits 26 and 31 are a data bit and the parity bit of the third JIS II data
# character: its parity still holds, only the LRC sees the change.
card err-lrc Two bits of one JIS II character flipped (lrc on JIS2)
  iso1 "B3530111333300000^SAMPLE/HANAKO^4912101000000000000000000"
  iso2 "3530111333300000=49121010000000000000"
  jis2 "STRIPEWELL TEST 3530111333300000 4912 SAMPLE HANAKO000000000000000000"
  damage jis2 flip 26 31
)DECK";
    return std::string_view(kText, sizeof kText - 1);
}

const std::vector<Card> &DefaultDeck() {
    // The text is fixed and card_tests loads it; an empty deck here would show there.
    static const std::vector<Card> deck = ParseDeck(DefaultDeckText(), "built-in deck").cards;
    return deck;
}

}  // namespace mcrsim
