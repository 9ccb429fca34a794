// The panel's track view; see track_window.h.
#include "track_window.h"

#include <algorithm>
#include <memory>
#include <vector>

#include "../core/trace_view.h"
#include "../draw/trackstrip.h"
#include "../text/utf8.h"

namespace {

// Pixels the view takes below the controls: room for the caption and the two ISO tracks
// of a standard card; longer tracks scroll.
constexpr int kViewHeight = 260;
constexpr int kTrackGap = 6;

struct ViewState {
    std::string caption;
    std::vector<mcrsim::TrackView> tracks;
    int scroll = 0;   // pixels scrolled down
    int content = 0;  // pixels the caption and the strips take, at the last paint
};

// Small bits without labels: the character values are in `mcrsim show`; here the roles,
// the marks and the stop are what a person looks for.
trackstrip::Style StyleFor(HWND view) {
    trackstrip::Style style;
    style.bitWidth = 2;
    style.barHeight = 10;
    style.charGap = 2;
    style.labels = false;
    style.font = reinterpret_cast<HFONT>(SendMessageW(GetParent(view), WM_GETFONT, 0, 0));
    return style;
}

ViewState *StateOf(HWND view) { return reinterpret_cast<ViewState *>(GetWindowLongPtrW(view, GWLP_USERDATA)); }

void UpdateScrollBar(HWND view, ViewState &state) {
    RECT client{};
    GetClientRect(view, &client);
    const int page = client.bottom;
    state.scroll = std::max(0, std::min(state.scroll, state.content - page));
    SCROLLINFO info{};
    info.cbSize = sizeof(info);
    info.fMask = SIF_RANGE | SIF_PAGE | SIF_POS;
    info.nMax = std::max(0, state.content - 1);
    info.nPage = static_cast<UINT>(page);
    info.nPos = state.scroll;
    SetScrollInfo(view, SB_VERT, &info, TRUE);
}

// Draws into a memory bitmap first, so that the strips do not flicker as they change.
void Paint(HWND view, ViewState &state) {
    PAINTSTRUCT ps;
    HDC dc = BeginPaint(view, &ps);
    RECT client{};
    GetClientRect(view, &client);
    HDC memory = CreateCompatibleDC(dc);
    HBITMAP bitmap = CreateCompatibleBitmap(dc, client.right, client.bottom);
    HGDIOBJ oldBitmap = SelectObject(memory, bitmap);
    FillRect(memory, &client, static_cast<HBRUSH>(GetStockObject(WHITE_BRUSH)));

    const trackstrip::Style style = StyleFor(view);
    HGDIOBJ oldFont = SelectObject(memory, style.font != nullptr ? style.font : GetStockObject(DEFAULT_GUI_FONT));
    SetBkMode(memory, TRANSPARENT);
    const int width = client.right - 8;
    int y = 4 - state.scroll;
    RECT caption{4, y, 4 + width, y + 100};
    const std::wstring text = mcrsim_text::Wide(state.caption);
    y += DrawTextW(memory, text.c_str(), static_cast<int>(text.size()), &caption,
                   DT_LEFT | DT_WORDBREAK | DT_NOPREFIX) + kTrackGap;
    SelectObject(memory, oldFont);
    for (const mcrsim::TrackView &track : state.tracks) {
        const trackstrip::Layout layout = trackstrip::LayOut(memory, track, width, style);
        trackstrip::Draw(memory, 4, y, track, layout, style);
        y += layout.height + kTrackGap;
    }
    const int content = y + state.scroll;
    BitBlt(dc, 0, 0, client.right, client.bottom, memory, 0, 0, SRCCOPY);
    SelectObject(memory, oldBitmap);
    DeleteObject(bitmap);
    DeleteDC(memory);
    EndPaint(view, &ps);
    if (content != state.content) {
        state.content = content;
        UpdateScrollBar(view, state);
    }
}

void Scroll(HWND view, ViewState &state, int to) {
    state.scroll = to;
    UpdateScrollBar(view, state);
    InvalidateRect(view, nullptr, FALSE);
}

int ScrollTarget(HWND view, const ViewState &state, WORD request) {
    RECT client{};
    GetClientRect(view, &client);
    SCROLLINFO info{};
    info.cbSize = sizeof(info);
    info.fMask = SIF_TRACKPOS;
    GetScrollInfo(view, SB_VERT, &info);
    switch (request) {
    case SB_LINEUP: return state.scroll - 20;
    case SB_LINEDOWN: return state.scroll + 20;
    case SB_PAGEUP: return state.scroll - client.bottom;
    case SB_PAGEDOWN: return state.scroll + client.bottom;
    case SB_THUMBTRACK:
    case SB_THUMBPOSITION: return info.nTrackPos;
    case SB_TOP: return 0;
    case SB_BOTTOM: return state.content;
    }
    return state.scroll;
}

LRESULT CALLBACK TrackViewProc(HWND view, UINT msg, WPARAM wParam, LPARAM lParam) {
    ViewState *state = StateOf(view);
    switch (msg) {
    case WM_NCCREATE:
        SetWindowLongPtrW(view, GWLP_USERDATA, reinterpret_cast<LONG_PTR>(new ViewState));
        break;
    case WM_NCDESTROY:
        delete state;
        SetWindowLongPtrW(view, GWLP_USERDATA, 0);
        break;
    case WM_ERASEBKGND:
        return 1;
    case WM_PAINT:
        if (state != nullptr) Paint(view, *state);
        return 0;
    case WM_SIZE:
        if (state != nullptr) UpdateScrollBar(view, *state);
        return 0;
    case WM_VSCROLL:
        if (state != nullptr) Scroll(view, *state, ScrollTarget(view, *state, LOWORD(wParam)));
        return 0;
    case WM_MOUSEWHEEL:
        if (state != nullptr) Scroll(view, *state, state->scroll - GET_WHEEL_DELTA_WPARAM(wParam) / 3);
        return 0;
    }
    return DefWindowProcW(view, msg, wParam, lParam);
}

}  // namespace

bool RegisterTrackView(HINSTANCE instance) {
    WNDCLASSEXW cls{};
    cls.cbSize = sizeof(cls);
    cls.lpfnWndProc = TrackViewProc;
    cls.hInstance = instance;
    cls.hCursor = LoadCursorW(nullptr, IDC_ARROW);
    cls.lpszClassName = MCRSIM_TRACKVIEW_CLASS;
    return RegisterClassExW(&cls) != 0;
}

HWND CreateTrackView(HWND dlg, int id) {
    // Below the lowest control, between the margins the controls keep.
    RECT client{}, margin{7, 4, 7, 0};
    GetClientRect(dlg, &client);
    MapDialogRect(dlg, &margin);
    int bottom = 0;
    for (HWND child = GetWindow(dlg, GW_CHILD); child != nullptr; child = GetWindow(child, GW_HWNDNEXT)) {
        RECT rect{};
        GetWindowRect(child, &rect);
        MapWindowPoints(nullptr, dlg, reinterpret_cast<POINT *>(&rect), 2);
        bottom = std::max<int>(bottom, rect.bottom);
    }
    const int top = bottom + margin.top;
    HWND view = CreateWindowExW(WS_EX_CLIENTEDGE, MCRSIM_TRACKVIEW_CLASS, L"", WS_CHILD | WS_VISIBLE | WS_VSCROLL,
                                margin.left, top, client.right - margin.left - margin.right, kViewHeight, dlg,
                                reinterpret_cast<HMENU>(static_cast<INT_PTR>(id)), GetModuleHandleW(nullptr), nullptr);
    if (view == nullptr) return nullptr;
    // Taller by as much, about the same centre, and inside the work area where it fits.
    RECT window{}, work{};
    GetWindowRect(dlg, &window);
    SystemParametersInfoW(SPI_GETWORKAREA, 0, &work, 0);
    const int height = window.bottom - window.top + top + kViewHeight + margin.top - client.bottom;
    const int y = std::max<int>(work.top, std::min<int>(window.top - (height - (window.bottom - window.top)) / 2,
                                                        work.bottom - height));
    SetWindowPos(dlg, nullptr, window.left, y, window.right - window.left, height, SWP_NOZORDER | SWP_NOACTIVATE);
    return view;
}

void ShowTrackViewCard(HWND view, const mcrsim::Card *card, const std::string &caption) {
    ViewState *state = StateOf(view);
    if (state == nullptr) return;
    state->caption = caption;
    state->tracks.clear();
    std::string text = caption;
    if (card != nullptr)
        for (mcrsim::Track t : mcrsim::kTracks) {
            state->tracks.push_back(mcrsim::ViewTrack(*card, t));
            text += "\r\n" + mcrsim::TrackHeadline(state->tracks.back());
        }
    SetWindowTextW(view, mcrsim_text::Wide(text).c_str());
    state->scroll = 0;
    state->content = 0;
    InvalidateRect(view, nullptr, FALSE);
}
