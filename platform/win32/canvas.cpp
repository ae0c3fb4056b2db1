// Canvases: child windows of a class of ours that keep a copy of the last
// DrawList they were given and paint it whenever the system asks.
// The hard part is flicker: neither the canvas nor its window erases what
// lies under it, the whole picture is painted into a bitmap of the client
// size and put on the screen with one BitBlt. The pointer is reported once per new point (the
// queue merges the moves not yet taken), and its leaving as -1, -1.

#include "platform/win32/internal.h"

#include <algorithm>

namespace win32 {
namespace {

const char CANVAS_CLASS[] = "VyxClientCanvas";
bool g_registered = false;

struct Canvas {
    HWND hwnd = nullptr;
    DrawList list;
    bool tracking = false;  // the system tells us when the pointer leaves
    POINT last{-1, -1};     // the point last reported
};
std::vector<Canvas> g_canvases;

Canvas* canvas_of(HWND hwnd) {
    for (auto& c : g_canvases)
        if (c.hwnd == hwnd) return &c;
    return nullptr;
}

COLORREF colour_of(std::uint32_t rgb) { return RGB((rgb >> 16) & 0xFF, (rgb >> 8) & 0xFF, rgb & 0xFF); }

// Pens made as operations ask for them: consecutive lines mostly share one.
class Pen {
   public:
    explicit Pen(HDC dc) : dc_(dc) {}
    ~Pen() { drop(); }
    Pen(const Pen&) = delete;
    Pen& operator=(const Pen&) = delete;

    void use(COLORREF colour, int width) {
        if (pen_ && colour == colour_ && width == width_) return;
        HPEN pen = CreatePen(PS_SOLID, width, colour);
        if (!pen) return;
        drop();
        pen_ = pen;
        colour_ = colour;
        width_ = width;
        original_ = SelectObject(dc_, pen_);
    }

   private:
    void drop() {
        if (!pen_) return;
        SelectObject(dc_, original_);
        DeleteObject(pen_);
        pen_ = nullptr;
    }

    HDC dc_;
    HPEN pen_ = nullptr;
    HGDIOBJ original_ = nullptr;
    COLORREF colour_ = 0;
    int width_ = 0;
};

UINT text_format(int align) {
    const UINT across = align == DRAW_ALIGN_RIGHT    ? DT_RIGHT
                        : align == DRAW_ALIGN_CENTRE ? DT_CENTER
                                                     : DT_LEFT;
    return across | DT_SINGLELINE | DT_VCENTER | DT_NOPREFIX | DT_NOCLIP;
}

// Paints the list over white; indexes out of the list's range draw nothing.
void paint_list(HDC dc, const DrawList& list, int w, int h) {
    const RECT all{0, 0, w, h};
    FillRect(dc, &all, static_cast<HBRUSH>(GetStockObject(WHITE_BRUSH)));
    SetBkMode(dc, TRANSPARENT);
    HFONT gui_font = static_cast<HFONT>(GetStockObject(DEFAULT_GUI_FONT));
    HGDIOBJ original_font = SelectObject(dc, gui_font);
    HBRUSH solid = static_cast<HBRUSH>(GetStockObject(DC_BRUSH));
    Pen pen(dc);
    std::vector<POINT> points;
    for (const DrawOp& op : list.ops) {
        switch (op.kind) {
            case DRAW_RECT: {
                const RECT r{op.x, op.y, op.x + op.w, op.y + op.h};
                SetDCBrushColor(dc, colour_of(op.colour));
                FillRect(dc, &r, solid);
                break;
            }
            case DRAW_POLYLINE: {
                if (op.first < 0 || op.count < 2 ||
                    static_cast<std::size_t>(op.first) + op.count > list.points.size())
                    break;
                const auto from = list.points.begin() + op.first;
                points.resize(static_cast<std::size_t>(op.count));
                std::transform(from, from + op.count, points.begin(), [](const DrawPoint& p) {
                    return POINT{p.x, p.y};
                });
                pen.use(colour_of(op.colour), std::max(op.width, 1));
                Polyline(dc, points.data(), op.count);
                break;
            }
            case DRAW_TEXT: {
                if (op.first < 0 || static_cast<std::size_t>(op.first) >= list.texts.size()) break;
                const std::string& text = list.texts[static_cast<std::size_t>(op.first)];
                HFONT font = op.font ? font_handle(op.font) : nullptr;
                SelectObject(dc, font ? font : gui_font);
                SetTextColor(dc, colour_of(op.colour));
                RECT box{op.x, op.y, op.x + op.w, op.y + op.h};
                DrawTextA(dc, text.data(), static_cast<int>(text.size()), &box, text_format(op.align));
                break;
            }
            case DRAW_CLIP:
                SelectClipRgn(dc, nullptr);
                if (op.w > 0) IntersectClipRect(dc, op.x, op.y, op.x + op.w, op.y + op.h);
                break;
        }
    }
    SelectClipRgn(dc, nullptr);
    SelectObject(dc, original_font);
}

void paint(HWND hwnd) {
    PAINTSTRUCT ps;
    HDC screen = BeginPaint(hwnd, &ps);
    if (!screen) return;
    RECT rc;
    GetClientRect(hwnd, &rc);
    static const DrawList nothing;
    const Canvas* canvas = canvas_of(hwnd);
    HDC dc = CreateCompatibleDC(screen);
    HBITMAP bitmap =
        rc.right > 0 && rc.bottom > 0 ? CreateCompatibleBitmap(screen, rc.right, rc.bottom) : nullptr;
    if (dc && bitmap) {
        HGDIOBJ original = SelectObject(dc, bitmap);
        paint_list(dc, canvas ? canvas->list : nothing, rc.right, rc.bottom);
        const RECT& r = ps.rcPaint;
        BitBlt(screen, r.left, r.top, r.right - r.left, r.bottom - r.top, dc, r.left, r.top, SRCCOPY);
        SelectObject(dc, original);
    } else {
        // Out of memory for the buffer: straight onto the screen, flicker and all.
        paint_list(screen, canvas ? canvas->list : nothing, rc.right, rc.bottom);
    }
    if (bitmap) DeleteObject(bitmap);
    if (dc) DeleteDC(dc);
    EndPaint(hwnd, &ps);
}

void report_pointer(Canvas& canvas, int x, int y) {
    if (canvas.last.x == x && canvas.last.y == y) return;  // the system repeats moves that were none
    canvas.last = POINT{x, y};
    if (const Control* c = find_control(canvas.hwnd))
        event_queue::push(EVENT_POINTER, c->window, c->id, x, y);
}

LRESULT CALLBACK canvas_proc(HWND hwnd, UINT msg, WPARAM wparam, LPARAM lparam) {
    switch (msg) {
        case WM_NCCREATE:
            g_canvases.push_back(Canvas{});
            g_canvases.back().hwnd = hwnd;
            break;
        case WM_NCDESTROY:
            std::erase_if(g_canvases, [hwnd](const Canvas& c) { return c.hwnd == hwnd; });
            break;
        case WM_ERASEBKGND:
            return 1;  // the paint covers every pixel
        case WM_PAINT:
            paint(hwnd);
            return 0;
        case WM_MOUSEMOVE:
            if (Canvas* c = canvas_of(hwnd)) {
                if (!c->tracking) {
                    TRACKMOUSEEVENT track{};
                    track.cbSize = sizeof track;
                    track.dwFlags = TME_LEAVE;
                    track.hwndTrack = hwnd;
                    c->tracking = TrackMouseEvent(&track) != 0;
                }
                report_pointer(*c, static_cast<short>(LOWORD(lparam)), static_cast<short>(HIWORD(lparam)));
            }
            return 0;
        case WM_MOUSELEAVE:
            if (Canvas* c = canvas_of(hwnd)) {
                c->tracking = false;
                report_pointer(*c, -1, -1);
            }
            return 0;
        default:
            break;
    }
    return DefWindowProcA(hwnd, msg, wparam, lparam);
}

}  // namespace

const char* canvas_class() {
    if (!g_registered) {
        WNDCLASSEXA wc{};
        wc.cbSize = sizeof wc;
        wc.style = CS_HREDRAW | CS_VREDRAW;  // a new size is a new picture
        wc.lpfnWndProc = canvas_proc;
        wc.hInstance = instance();
        wc.hCursor = LoadCursorA(nullptr, reinterpret_cast<LPCSTR>(IDC_ARROW));
        wc.lpszClassName = CANVAS_CLASS;
        g_registered = RegisterClassExA(&wc) != 0;
    }
    return g_registered ? CANVAS_CLASS : nullptr;
}

void exclude_canvases(int window, HDC dc) {
    for (const Control& c : controls()) {
        if (c.window != window || c.kind != KIND_CANVAS || !IsWindowVisible(c.hwnd)) continue;
        RECT r;
        GetWindowRect(c.hwnd, &r);
        MapWindowPoints(nullptr, GetParent(c.hwnd), reinterpret_cast<POINT*>(&r), 2);
        ExcludeClipRect(dc, r.left, r.top, r.right, r.bottom);
    }
}

}  // namespace win32

using namespace win32;

void canvas_draw(int id, const DrawList& list) {
    const Control* c = find_control(id);
    Canvas* canvas = c ? canvas_of(c->hwnd) : nullptr;
    if (!canvas) return;
    canvas->list = list;  // reuses the storage of the copy before
    InvalidateRect(c->hwnd, nullptr, FALSE);
}
