// Pictures of what a display shows: capture from the screen, drawing in memory, PNG
// files, and a test for a picture that shows nothing. Shared by the screenshot test, the
// demo driver, the track pictures of the docs and the track strip's test.
#pragma once

#include <windows.h>

#include <functional>
#include <string>
#include <vector>

namespace screen_capture {

struct Picture {
    int width = 0, height = 0;
    std::vector<COLORREF> pixels;  // row by row, top first
    COLORREF At(int x, int y) const { return pixels[y * width + x]; }
};

// What the screen shows in `wanted` (screen coordinates), cut to the screen.
Picture Grab(const RECT &wanted);

// What `paint` draws on a white bitmap of this size.
Picture Paint(int width, int height, const std::function<void(HDC)> &paint);

// The window's rectangle and its client area, in screen coordinates.
RECT WindowRect(HWND hwnd);
RECT ClientRectOnScreen(HWND hwnd);

// The picture as a compressed PNG file, written by the platform's encoder (the Windows
// Imaging Component). False, leaving no file, when it cannot be written.
bool WritePng(const std::wstring &path, const Picture &pic);

// A picture with fewer than two colours that each cover 1% of it, or a strip four rows
// high across it, shows nothing.
bool Blank(const Picture &pic);

// How many pixels have exactly this colour.
size_t CountColour(const Picture &pic, COLORREF colour);

}  // namespace screen_capture
