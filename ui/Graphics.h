// Pictures drawn in code and the fonts of windows.
//
// TBitmap is a 24-bit top-down DIB section with its own memory DC, so that a
// picture can be painted with ordinary GDI calls (through TCanvas) and its
// pixels read back by tests. Colours are COLORREF values (RGB()).
#pragma once
#include <windows.h>

#include <initializer_list>
#include <memory>
#include <string>

#include "rtl/WinHandles.h"

namespace rtl {

using UniqueHFont = UniqueHandle<HFONT, NullInvalidTraits<HFONT, DeleteObject>>;
using UniqueHBitmap = UniqueHandle<HBITMAP, NullInvalidTraits<HBITMAP, DeleteObject>>;
using UniqueHBrush = UniqueHandle<HBRUSH, NullInvalidTraits<HBRUSH, DeleteObject>>;
using UniqueHPen = UniqueHandle<HPEN, NullInvalidTraits<HPEN, DeleteObject>>;

// Puts a GDI object into a DC and the previous one back when it goes.
class SelectedObject {
public:
    SelectedObject(HDC dc, HGDIOBJ object) noexcept : dc_(dc), old_(SelectObject(dc, object)) {}
    ~SelectedObject() { SelectObject(dc_, old_); }
    SelectedObject(const SelectedObject&) = delete;
    SelectedObject& operator=(const SelectedObject&) = delete;

private:
    HDC dc_;
    HGDIOBJ old_;
};

// A window's DC, or the screen's for none, for measuring text and reading
// the resolution; null when Windows gave none.
class WindowDC {
public:
    explicit WindowDC(HWND window = nullptr) noexcept : window_(window), dc_(GetDC(window)) {}
    ~WindowDC() {
        if (dc_) ReleaseDC(window_, dc_);
    }
    WindowDC(const WindowDC&) = delete;
    WindowDC& operator=(const WindowDC&) = delete;
    HDC get() const noexcept { return dc_; }
    explicit operator bool() const noexcept { return dc_ != nullptr; }

private:
    HWND window_;
    HDC dc_;
};
using ScreenDC = WindowDC;

class TBitmap {
public:
    // A picture of the given size, filled with `background`.
    TBitmap(int width, int height, COLORREF background);
    ~TBitmap();
    TBitmap(const TBitmap&) = delete;
    TBitmap& operator=(const TBitmap&) = delete;

    int Width() const noexcept { return width_; }
    int Height() const noexcept { return height_; }
    HBITMAP Handle() const noexcept { return bitmap_.get(); }
    // A memory DC with the picture selected, for drawing into it or copying
    // from it; valid as long as the bitmap.
    HDC Canvas() const noexcept { return dc_.get(); }
    // Reads one pixel straight from the DIB's memory (0 outside the picture).
    COLORREF Pixel(int x, int y) const noexcept;

private:
    int width_;
    int height_;
    void* bits_ = nullptr;
    UniqueHBitmap bitmap_;
    UniqueHdc dc_;
    HGDIOBJ oldBitmap_ = nullptr;
};

// Small drawing helpers on a DC, each with its own pen or brush, so that a
// picture reads as a list of shapes.
namespace draw {
void Fill(HDC dc, const RECT& r, COLORREF colour);
void Frame(HDC dc, const RECT& r, COLORREF colour);
void FilledPolygon(HDC dc, std::initializer_list<POINT> points, COLORREF colour);
}  // namespace draw

enum class FontUnit { Pixels, Points };

// A font by name for `dpi` (the screen's when 0); Pixels gives the character
// height in pixels at 96 DPI, Points a size in points.
UniqueHFont MakeFont(const std::string& name, int size, FontUnit unit, int dpi = 0);

// The font of message boxes, for `dpi` where Windows can say (the system's
// own otherwise).
UniqueHFont MessageFont(int dpi = 0);

// A window's font as its design names it: "" is the font of message boxes.
struct FontDesign {
    const char* name = "";
    int size = 0;
    FontUnit unit = FontUnit::Pixels;
};
// The one rule of every window's font, forms and tool windows alike; throws
// Exception when a named font cannot be made.
UniqueHFont FontOf(const FontDesign& font, int dpi);

}  // namespace rtl
