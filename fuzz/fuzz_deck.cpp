// Deck text: the parser never crashes; an accepted deck holds only cards that can be
// recorded, reads back from its own formatting and reads through the decoder with
// statuses from the error table; a refused deck loads nothing and names its line.
#include <cstdint>
#include <string_view>

#include "deck.h"
#include "fuzz_check.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t *data, std::size_t size) {
    const std::string_view text(reinterpret_cast<const char *>(data), size);
    const mcrsim::DeckLoad load = mcrsim::ParseDeck(text, "fuzz.deck");
    if (!load.ok) {
        FUZZ_CHECK(load.cards.empty());
        FUZZ_CHECK(!load.error.message.empty());
        FUZZ_CHECK(load.error.line >= 0);
        return 0;
    }
    for (const mcrsim::Card &card : load.cards) {
        FUZZ_CHECK(mcrsim::CheckCard(card).empty());
        const mcrsim::CardRead read = mcrsim::ReadCard(card);
        for (const mcrsim::TrackRead &track : read.tracks)
            FUZZ_CHECK(track.status == mcrsim::kTrackGood || mcrsim::FindTrackError(track.status) != nullptr);
    }
    const mcrsim::DeckLoad again = mcrsim::ParseDeck(mcrsim::FormatDeck(load.cards), "again.deck");
    FUZZ_CHECK(again.ok);
    FUZZ_CHECK(again.cards == load.cards);
    return 0;
}
