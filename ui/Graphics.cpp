#include "ui/Graphics.h"

#include <vector>

#include "rtl/SysUtils.h"

namespace rtl {

TBitmap::TBitmap(int width, int height, COLORREF background) : width_(width), height_(height) {
    if (width <= 0 || height <= 0) throw Exception(Format("Invalid picture size %dx%d", width, height));
    BITMAPINFO info{};
    info.bmiHeader.biSize = sizeof info.bmiHeader;
    info.bmiHeader.biWidth = width;
    info.bmiHeader.biHeight = -height;  // top-down: row 0 is the top row
    info.bmiHeader.biPlanes = 1;
    info.bmiHeader.biBitCount = 24;
    info.bmiHeader.biCompression = BI_RGB;
    bitmap_.reset(CreateDIBSection(nullptr, &info, DIB_RGB_COLORS, &bits_, nullptr, 0));
    dc_.reset(CreateCompatibleDC(nullptr));
    if (!bitmap_ || !dc_) throw Exception("Unable to create a picture");
    oldBitmap_ = SelectObject(dc_.get(), bitmap_.get());
    draw::Fill(dc_.get(), RECT{0, 0, width, height}, background);
}

TBitmap::~TBitmap() {
    // The bitmap can only be deleted once no DC holds it.
    SelectObject(dc_.get(), oldBitmap_);
}

COLORREF TBitmap::Pixel(int x, int y) const noexcept {
    if (x < 0 || y < 0 || x >= width_ || y >= height_) return 0;
    GdiFlush();
    const int stride = (width_ * 3 + 3) & ~3;  // DIB rows are DWORD-aligned
    const auto* p = static_cast<const BYTE*>(bits_) + y * stride + x * 3;
    return RGB(p[2], p[1], p[0]);  // stored as blue, green, red
}

namespace draw {

void Fill(HDC dc, const RECT& r, COLORREF colour) {
    const UniqueHBrush brush(CreateSolidBrush(colour));
    FillRect(dc, &r, brush.get());
}

void Frame(HDC dc, const RECT& r, COLORREF colour) {
    const UniqueHBrush brush(CreateSolidBrush(colour));
    FrameRect(dc, &r, brush.get());
}

void FilledPolygon(HDC dc, std::initializer_list<POINT> points, COLORREF colour) {
    const UniqueHPen pen(CreatePen(PS_SOLID, 1, colour));
    const UniqueHBrush brush(CreateSolidBrush(colour));
    const SelectedObject selectedPen(dc, pen.get());
    const SelectedObject selectedBrush(dc, brush.get());
    const std::vector<POINT> copy(points);
    Polygon(dc, copy.data(), static_cast<int>(copy.size()));
}

}  // namespace draw

UniqueHFont MakeFont(const std::string& name, int size, FontUnit unit, int dpi) {
    if (dpi <= 0) {
        const ScreenDC screen;
        dpi = GetDeviceCaps(screen.get(), LOGPIXELSY);
    }
    // Negative: the character height, without internal leading.
    const int height = -MulDiv(size, dpi, unit == FontUnit::Points ? 72 : 96);
    UniqueHFont font(CreateFontA(height, 0, 0, 0, FW_NORMAL, FALSE, FALSE, FALSE, DEFAULT_CHARSET, OUT_DEFAULT_PRECIS,
                                 CLIP_DEFAULT_PRECIS, DEFAULT_QUALITY, DEFAULT_PITCH | FF_DONTCARE, name.c_str()));
    if (!font) throw Exception("Unable to create the font " + name);
    return font;
}

UniqueHFont MessageFont(int dpi) {
    // Built for Windows XP: the structure without the newer last field,
    // which Windows XP would refuse.
    NONCLIENTMETRICSW metrics{};
    metrics.cbSize = sizeof metrics;
    if (!SystemParametersInfoW(SPI_GETNONCLIENTMETRICS, metrics.cbSize, &metrics, 0)) return {};
    LOGFONTW font = metrics.lfMessageFont;
    const ScreenDC screen;
    const int screenDpi = screen.get() ? GetDeviceCaps(screen.get(), LOGPIXELSY) : 0;
    if (dpi > 0 && screenDpi > 0) font.lfHeight = MulDiv(font.lfHeight, dpi, screenDpi);
    return UniqueHFont(CreateFontIndirectW(&font));
}

UniqueHFont FontOf(const FontDesign& font, int dpi) {
    return *font.name ? MakeFont(font.name, font.size, font.unit, dpi) : MessageFont(dpi);
}

}  // namespace rtl
