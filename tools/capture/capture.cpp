#include "capture.h"

#include <wincodec.h>

#include <algorithm>

namespace screen_capture {

namespace {

// Releases a COM interface when it goes out of scope.
template <typename T>
struct ComPtr {
    T *p = nullptr;
    ~ComPtr() {
        if (p) p->Release();
    }
    T **operator&() { return &p; }
    T *operator->() const { return p; }
};

// The picture as 24-bit BGR rows, the layout the PNG encoder takes.
std::vector<BYTE> BgrRows(const Picture &pic, UINT stride) {
    std::vector<BYTE> rows(static_cast<size_t>(stride) * pic.height);
    for (int y = 0; y < pic.height; ++y)
        for (int x = 0; x < pic.width; ++x) {
            BYTE *px = &rows[static_cast<size_t>(y) * stride + x * 3];
            const COLORREF c = pic.At(x, y);
            px[0] = GetBValue(c);
            px[1] = GetGValue(c);
            px[2] = GetRValue(c);
        }
    return rows;
}

// Writes the picture through the encoder; *created once the file exists (it may then
// hold part of a picture).
bool EncodePng(const std::wstring &path, const Picture &pic, bool *created) {
    ComPtr<IWICImagingFactory> factory;
    ComPtr<IWICStream> stream;
    if (FAILED(CoCreateInstance(CLSID_WICImagingFactory, nullptr, CLSCTX_INPROC_SERVER, IID_IWICImagingFactory,
                                reinterpret_cast<void **>(&factory))) ||
        FAILED(factory->CreateStream(&stream)) || FAILED(stream->InitializeFromFilename(path.c_str(), GENERIC_WRITE)))
        return false;
    *created = true;
    ComPtr<IWICBitmapEncoder> encoder;
    ComPtr<IWICBitmapFrameEncode> frame;
    ComPtr<IPropertyBag2> options;
    if (FAILED(factory->CreateEncoder(GUID_ContainerFormatPng, nullptr, &encoder)) ||
        FAILED(encoder->Initialize(stream.p, WICBitmapEncoderNoCache)) ||
        FAILED(encoder->CreateNewFrame(&frame, &options)) || FAILED(frame->Initialize(options.p)) ||
        FAILED(frame->SetSize(pic.width, pic.height)))
        return false;
    // The encoder may answer with another format it would rather take: then nothing is written.
    WICPixelFormatGUID format = GUID_WICPixelFormat24bppBGR;
    if (FAILED(frame->SetPixelFormat(&format)) || !IsEqualGUID(format, GUID_WICPixelFormat24bppBGR)) return false;
    const UINT stride = (static_cast<UINT>(pic.width) * 3 + 3) & ~3u;
    std::vector<BYTE> rows = BgrRows(pic, stride);
    return SUCCEEDED(frame->WritePixels(pic.height, stride, static_cast<UINT>(rows.size()), rows.data())) &&
           SUCCEEDED(frame->Commit()) && SUCCEEDED(encoder->Commit());
}

}  // namespace

bool WritePng(const std::wstring &path, const Picture &pic) {
    if (pic.width <= 0 || pic.height <= 0 || pic.pixels.size() != static_cast<size_t>(pic.width) * pic.height)
        return false;
    // A caller that has COM in another mode keeps it; the encoder works in either.
    const HRESULT com = CoInitializeEx(nullptr, COINIT_MULTITHREADED);
    bool created = false;
    const bool ok = EncodePng(path, pic, &created);
    if (SUCCEEDED(com)) CoUninitialize();
    if (!ok && created) DeleteFileW(path.c_str());
    return ok;
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
