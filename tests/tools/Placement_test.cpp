// Where the queue window opens when the screen has changed since it closed:
// another DPI, a taskbar on another edge, a monitor unplugged.
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "tools/window/Placement.h"

using queuewindow::FitToMonitors;
using queuewindow::MonitorArea;

namespace {

LONG Width(const RECT& r) { return r.right - r.left; }
LONG Height(const RECT& r) { return r.bottom - r.top; }

bool Inside(const RECT& r, const RECT& area) {
    return r.left >= area.left && r.top >= area.top && r.right <= area.right && r.bottom <= area.bottom;
}

std::string Text(const RECT& r) {
    return std::to_string(r.left) + "," + std::to_string(r.top) + " " + std::to_string(Width(r)) + "x" +
           std::to_string(Height(r));
}

}  // namespace

// Saved at 96 DPI on a 1600 x 1200 screen, opened at 96, 144 and 192 with
// the taskbar on each edge and with the second monitor it was on gone: the
// whole window lies on the work area of the monitor it opens on; where it
// fits, it has the physical size it had and keeps its corner.
TEST(Placement, TheWindowOpensWholeOnAWorkAreaAtItsPhysicalSize) {
    const RECT screen{0, 0, 1600, 1200};
    const struct Area {
        const char* name;
        RECT work;
    } areas[] = {{"no taskbar", screen},
                 {"taskbar left", {62, 0, 1600, 1200}},
                 {"taskbar top", {0, 40, 1600, 1200}},
                 {"taskbar right", {0, 0, 1540, 1200}},
                 {"taskbar bottom", {0, 0, 1600, 1160}}};
    const struct Saved {
        const char* name;
        RECT bounds;  // at 96 DPI
        bool onGoneMonitor;
    } places[] = {{"top left", {10, 10, 930, 530}, false},
                  {"bottom right", {660, 660, 1580, 1180}, false},
                  {"as large as the screen", {0, 0, 1600, 1200}, false},
                  {"partly off the screen", {-300, 900, 620, 1420}, false},
                  {"on a monitor unplugged since", {1900, 100, 2820, 620}, true}};
    for (const int dpi : {96, 144, 192})
        for (const Area& area : areas)
            for (const Saved& saved : places) {
                SCOPED_TRACE(std::to_string(dpi) + " DPI, " + area.name + ", " + saved.name);
                const MonitorArea monitors[] = {{area.work, dpi}};
                const RECT opened = FitToMonitors(saved.bounds, 96, monitors);
                EXPECT_TRUE(Inside(opened, area.work)) << Text(opened);
                const LONG scaledWidth = MulDiv(Width(saved.bounds), dpi, 96);
                const LONG scaledHeight = MulDiv(Height(saved.bounds), dpi, 96);
                EXPECT_EQ(Width(opened), std::min(scaledWidth, Width(area.work)));
                EXPECT_EQ(Height(opened), std::min(scaledHeight, Height(area.work)));
                RECT wanted = saved.bounds;
                wanted.right = wanted.left + scaledWidth;
                wanted.bottom = wanted.top + scaledHeight;
                if (Inside(wanted, area.work)) {
                    EXPECT_EQ(Text(opened), Text(wanted));
                }
            }
}

// Of two monitors, the window opens on the one it lies most on, at that
// monitor's DPI; when it lies on neither, on the nearest.
TEST(Placement, TheWindowOpensOnTheMonitorItLiesMostOnAtThatMonitorsDpi) {
    const MonitorArea monitors[] = {{{0, 0, 1600, 1160}, 96}, {{1600, 0, 3520, 1080}, 144}};
    const struct {
        const char* name;
        RECT saved;
        int savedDpi;
        size_t monitor;
        LONG width;
    } cases[] = {
        {"mostly on the first", {1000, 100, 1800, 500}, 96, 0, 800},
        {"mostly on the second", {1500, 100, 2300, 500}, 96, 1, 1200},
        {"saved at 144 on the second", {1700, 100, 2900, 700}, 144, 1, 1200},
        {"saved at 144, opened on the first", {100, 100, 1300, 700}, 144, 0, 800},
        {"below the second", {2000, 1500, 2800, 1900}, 96, 1, 1200},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        const RECT opened = FitToMonitors(c.saved, c.savedDpi, monitors);
        EXPECT_TRUE(Inside(opened, monitors[c.monitor].work)) << Text(opened);
        EXPECT_EQ(Width(opened), c.width);
    }
}
