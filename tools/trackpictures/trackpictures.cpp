// Draws, for each error code, the first track of the built-in deck that reads as it,
// with the track strip the panel uses, and saves it as DIR/error-NN.png (NN the code in
// hexadecimal) for docs/cards.md. Run by the build target track_pictures.
//   track-pictures DIR
#include <windows.h>

#include <cstdio>
#include <string>

#include "../../mcrsim/core/trackview.h"
#include "../../mcrsim/draw/trackstrip.h"
#include "../capture/capture.h"

namespace {

constexpr int kWidth = 640;

bool Save(const std::wstring &dir, const mcrsim::Card &card, mcrsim::Track track, std::uint32_t code) {
    const mcrsim::TrackView view = mcrsim::ViewTrack(card, track);
    const trackstrip::Style style;
    HDC screen = GetDC(nullptr);
    const trackstrip::Layout layout = trackstrip::LayOut(screen, view, kWidth, style);
    ReleaseDC(nullptr, screen);
    const screen_capture::Picture pic = screen_capture::Paint(
        kWidth, layout.height, [&](HDC dc) { trackstrip::Draw(dc, 0, 0, view, layout, style); });
    wchar_t name[32];
    wsprintfW(name, L"\\error-%02x.png", code);
    if (!screen_capture::WritePng(dir + name, pic)) {
        std::fprintf(stderr, "track-pictures: cannot write %ls%ls\n", dir.c_str(), name);
        return false;
    }
    std::printf("error-%02x.png: %s, %s\n", static_cast<unsigned>(code), card.name.c_str(), view.format->name);
    return true;
}

}  // namespace

int wmain(int argc, wchar_t **argv) {
    if (argc != 2) {
        std::fprintf(stderr, "usage: track-pictures DIR\n");
        return 2;
    }
    CreateDirectoryW(argv[1], nullptr);
    int missing = 0;
    for (const mcrsim::TrackErrorInfo &error : mcrsim::kTrackErrors) {
        bool found = false;
        for (const mcrsim::Card &card : mcrsim::DefaultDeck())
            for (mcrsim::Track t : mcrsim::kTracks)
                if (!found && mcrsim::ReadTrack(card, t).status == error.code) {
                    if (!Save(argv[1], card, t, error.code)) return 1;
                    found = true;
                }
        if (!found) {
            std::fprintf(stderr, "track-pictures: no card of the built-in deck gives %s\n", error.name);
            ++missing;
        }
    }
    return missing == 0 ? 0 : 1;
}
