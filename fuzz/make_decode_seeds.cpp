// Writes seeds for fuzz_decode: real recordings of the built-in deck's tracks, in both
// swipe directions, in the fuzz target's input format.
//   make_decode_seeds DIR
#include <cstdio>
#include <fstream>
#include <string>

#include "default_deck.h"

int main(int argc, char **argv) {
    if (argc != 2) {
        std::fprintf(stderr, "usage: make_decode_seeds DIR\n");
        return 2;
    }
    int written = 0;
    for (const mcrsim::Card &card : mcrsim::DefaultDeck()) {
        for (int t = 0; t < mcrsim::kTrackCount; ++t) {
            const mcrsim::Bits bits = mcrsim::SwipeTrackBits(card, mcrsim::kTracks[t]);
            std::string input(1, static_cast<char>(t | 4));
            for (std::size_t i = 0; i < bits.size(); i += 8) {
                unsigned char byte = 0;
                for (std::size_t b = 0; b < 8 && i + b < bits.size(); ++b) byte |= bits[i + b] << b;
                input += static_cast<char>(byte);
            }
            std::ofstream(std::string(argv[1]) + "/" + card.name + "-" + std::to_string(t), std::ios::binary) << input;
            ++written;
        }
    }
    std::printf("%d seeds written to %s\n", written, argv[1]);
    return 0;
}
