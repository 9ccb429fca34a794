// track-pictures DIR [FONT_FILE FACE]: the pictures of docs/cards.md, one track per error
// code drawn with the panel's track strip (build target track_pictures; DocsPictures
// compares them with docs/tracks/).
#include <windows.h>

#include <cstdio>
#include <string>

#include "../../mcrsim/core/default_deck.h"
#include "../../mcrsim/core/trace_view.h"
#include "../../mcrsim/draw/trackstrip.h"
#include "../capture/capture.h"

namespace {

constexpr int kWidth = 640;

bool Save(const std::wstring &dir, const mcrsim::Card &card, mcrsim::Track track, std::uint32_t code,
          HFONT font) {
    const mcrsim::TrackView view = mcrsim::ViewTrack(card, track);
    trackstrip::Style style;
    style.font = font;
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

// Draws, for each error code, the first track of the built-in deck that reads as it,
// and saves it as DIR/error-NN.png (NN the code in hexadecimal). With a font file (the
// bitmap font Wine ships, sserife.fon, "MS Sans Serif"), the text is drawn in that font's
// 8-point face, so that the pictures do not depend on the fonts of the machine or of the
// Wine version: Wine 10's default GUI font is taller than Wine 8's.
int wmain(int argc, wchar_t **argv) {
    if (argc != 2 && argc != 4) {
        std::fprintf(stderr, "usage: track-pictures DIR [FONT_FILE FACE]\n");
        return 2;
    }
    HFONT font = nullptr;
    if (argc == 4) {
        if (AddFontResourceExW(argv[2], FR_PRIVATE, nullptr) == 0) {
            std::fprintf(stderr, "track-pictures: cannot load the font %ls\n", argv[2]);
            return 1;
        }
        // 8 points at 96 dots per inch.
        font = CreateFontW(-11, 0, 0, 0, FW_NORMAL, FALSE, FALSE, FALSE, DEFAULT_CHARSET, OUT_RASTER_PRECIS,
                           CLIP_DEFAULT_PRECIS, NONANTIALIASED_QUALITY, DEFAULT_PITCH, argv[3]);
        wchar_t face[LF_FACESIZE] = L"";
        HDC screen = GetDC(nullptr);
        HGDIOBJ old = SelectObject(screen, font);
        GetTextFaceW(screen, LF_FACESIZE, face);
        SelectObject(screen, old);
        ReleaseDC(nullptr, screen);
        if (font == nullptr || lstrcmpiW(face, argv[3]) != 0) {
            std::fprintf(stderr, "track-pictures: %ls has no face %ls (got %ls)\n", argv[2], argv[3], face);
            return 1;
        }
    }
    CreateDirectoryW(argv[1], nullptr);
    int missing = 0;
    for (const mcrsim::TrackErrorInfo &error : mcrsim::kTrackErrors) {
        bool found = false;
        for (const mcrsim::Card &card : mcrsim::DefaultDeck())
            for (mcrsim::Track t : mcrsim::kTracks)
                if (!found && mcrsim::ReadTrack(card, t).status == error.code) {
                    if (!Save(argv[1], card, t, error.code, font)) return 1;
                    found = true;
                }
        if (!found) {
            std::fprintf(stderr, "track-pictures: no card of the built-in deck gives %s\n", error.name);
            ++missing;
        }
    }
    return missing == 0 ? 0 : 1;
}
