#include "capture.h"

#include <algorithm>

namespace screen_capture {

namespace {

DWORD Crc(const std::string &bytes) {
    static DWORD table[256];
    if (table[1] == 0)
        for (DWORD n = 0; n < 256; ++n) {
            DWORD c = n;
            for (int k = 0; k < 8; ++k) c = c & 1 ? 0xEDB88320u ^ (c >> 1) : c >> 1;
            table[n] = c;
        }
    DWORD c = 0xFFFFFFFFu;
    for (unsigned char b : bytes) c = table[(c ^ b) & 0xFF] ^ (c >> 8);
    return c ^ 0xFFFFFFFFu;
}

void PutBig(std::string &out, DWORD v) {
    for (int shift = 24; shift >= 0; shift -= 8) out += static_cast<char>((v >> shift) & 0xFF);
}

void Chunk(std::string &png, const char *type, const std::string &data) {
    PutBig(png, static_cast<DWORD>(data.size()));
    const std::string body = std::string(type, 4) + data;
    png += body;
    PutBig(png, Crc(body));
}

}  // namespace

bool WritePng(const std::wstring &path, const Picture &pic) {
    const int width = pic.width, height = pic.height;
    if (width <= 0 || height <= 0) return false;
    // A picture of at most 256 colours (a drawing, most screenshots) is stored as
    // indices into a palette: a third of the size, as the blocks are not compressed.
    std::vector<COLORREF> palette;
    for (COLORREF c : pic.pixels) {
        if (palette.size() > 256) break;
        if (std::find(palette.begin(), palette.end(), c) == palette.end()) palette.push_back(c);
    }
    const bool indexed = palette.size() <= 256;
    std::string raw;
    for (int y = 0; y < height; ++y) {
        raw += '\0';  // no filter
        for (int x = 0; x < width; ++x) {
            const COLORREF c = pic.At(x, y);
            if (indexed) {
                raw += static_cast<char>(std::find(palette.begin(), palette.end(), c) - palette.begin());
                continue;
            }
            raw += static_cast<char>(GetRValue(c));
            raw += static_cast<char>(GetGValue(c));
            raw += static_cast<char>(GetBValue(c));
        }
    }
    std::string zlib("\x78\x01", 2);
    for (size_t at = 0; at < raw.size(); at += 65535) {
        const size_t n = std::min<size_t>(65535, raw.size() - at);
        zlib += static_cast<char>(at + n >= raw.size() ? 1 : 0);
        zlib += static_cast<char>(n & 0xFF);
        zlib += static_cast<char>(n >> 8);
        zlib += static_cast<char>(~n & 0xFF);
        zlib += static_cast<char>((~n >> 8) & 0xFF);
        zlib.append(raw, at, n);
    }
    DWORD a = 1, b = 0;
    for (unsigned char ch : raw) {
        a = (a + ch) % 65521;
        b = (b + a) % 65521;
    }
    PutBig(zlib, (b << 16) | a);

    std::string header;
    PutBig(header, width);
    PutBig(header, height);
    header += std::string(indexed ? "\x08\x03\x00\x00\x00" : "\x08\x02\x00\x00\x00", 5);  // 8-bit indexed or RGB
    std::string png("\x89PNG\r\n\x1a\n", 8);
    Chunk(png, "IHDR", header);
    if (indexed) {
        std::string colours;
        for (COLORREF c : palette) {
            colours += static_cast<char>(GetRValue(c));
            colours += static_cast<char>(GetGValue(c));
            colours += static_cast<char>(GetBValue(c));
        }
        Chunk(png, "PLTE", colours);
    }
    Chunk(png, "IDAT", zlib);
    Chunk(png, "IEND", "");

    HANDLE file = CreateFileW(path.c_str(), GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS, 0, nullptr);
    if (file == INVALID_HANDLE_VALUE) return false;
    DWORD written = 0;
    const BOOL ok = WriteFile(file, png.data(), static_cast<DWORD>(png.size()), &written, nullptr);
    CloseHandle(file);
    return ok && written == png.size();
}

Picture Paint(int width, int height, const std::function<void(HDC)> &paint) {
    Picture pic;
    if (width <= 0 || height <= 0) return pic;
    pic.width = width;
    pic.height = height;
    BITMAPINFO info{};
    info.bmiHeader.biSize = sizeof(info.bmiHeader);
    info.bmiHeader.biWidth = pic.width;
    info.bmiHeader.biHeight = -pic.height;  // top-down
    info.bmiHeader.biPlanes = 1;
    info.bmiHeader.biBitCount = 32;
    void *bits = nullptr;
    HDC screen = GetDC(nullptr);
    HDC memory = CreateCompatibleDC(screen);
    HBITMAP bitmap = CreateDIBSection(screen, &info, DIB_RGB_COLORS, &bits, nullptr, 0);
    HGDIOBJ old = SelectObject(memory, bitmap);
    PatBlt(memory, 0, 0, width, height, WHITENESS);
    paint(memory);
    GdiFlush();
    const DWORD *p = static_cast<const DWORD *>(bits);
    for (int i = 0; i < pic.width * pic.height; ++i) {
        const DWORD v = p[i];  // 0x00RRGGBB
        pic.pixels.push_back(RGB((v >> 16) & 0xFF, (v >> 8) & 0xFF, v & 0xFF));
    }
    SelectObject(memory, old);
    DeleteObject(bitmap);
    DeleteDC(memory);
    ReleaseDC(nullptr, screen);
    return pic;
}

Picture Grab(const RECT &wanted) {
    const RECT display{0, 0, GetSystemMetrics(SM_CXSCREEN), GetSystemMetrics(SM_CYSCREEN)};
    RECT rect{};
    IntersectRect(&rect, &wanted, &display);
    HDC screen = GetDC(nullptr);
    Picture pic = Paint(rect.right - rect.left, rect.bottom - rect.top, [&](HDC memory) {
        BitBlt(memory, 0, 0, rect.right - rect.left, rect.bottom - rect.top, screen, rect.left, rect.top, SRCCOPY);
    });
    ReleaseDC(nullptr, screen);
    return pic;
}

RECT WindowRect(HWND hwnd) {
    RECT rc{};
    GetWindowRect(hwnd, &rc);
    return rc;
}

RECT ClientRectOnScreen(HWND hwnd) {
    RECT rc{};
    GetClientRect(hwnd, &rc);
    MapWindowPoints(hwnd, nullptr, reinterpret_cast<POINT *>(&rc), 2);
    return rc;
}

bool Blank(const Picture &pic) {
    std::vector<std::pair<COLORREF, size_t>> counts;
    for (COLORREF c : pic.pixels) {
        auto it = std::find_if(counts.begin(), counts.end(), [&](const auto &e) { return e.first == c; });
        if (it == counts.end())
            counts.push_back({c, 1});
        else
            ++it->second;
        if (counts.size() > 64) return false;
    }
    // A window's chrome (caption, command bar) has a fixed height, so on a large window
    // it covers less than 1%: a 3072 x 3072 main window's command bar is 0.9% of it. A
    // strip four rows high across the picture is drawn as well.
    const size_t enough = std::min(pic.pixels.size() / 100, static_cast<size_t>(4 * pic.width));
    return std::count_if(counts.begin(), counts.end(), [&](const auto &e) { return e.second >= enough; }) < 2;
}

size_t CountColour(const Picture &pic, COLORREF colour) {
    return static_cast<size_t>(std::count(pic.pixels.begin(), pic.pixels.end(), colour));
}

}  // namespace screen_capture
