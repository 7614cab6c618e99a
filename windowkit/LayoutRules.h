// How the windows' layouts grow with the screen's scale and the user's text
// size, and which rows of a list that does not fit are shown. Free of system
// calls so they can be tested.
#pragma once

#include <cstddef>
#include <span>
#include <vector>

// Positions and sizes are designed at 96 dpi for the default text size; a
// window multiplies them by numerator / denominator.
struct LayoutScale {
    int numerator = 1;
    int denominator = 1;
};

// dpi / 96; and when the message font (its LOGFONT height) is taller than
// the default 9 points at that dpi, times how much taller it is than the
// 8-point dialog font.
LayoutScale LayoutScaleFor(int dpi, int messageFontHeight);

// Where a control lies in its window's client area, at 96 dpi.
struct ControlPlace {
    int id;
    int x;
    int y;
    int width;
    int height;
};

// A layout widened for its texts, and how much wider its window must be.
struct GrownLayout {
    std::vector<ControlPlace> places;
    int extraWidth = 0;
};

// Widens each control to needed[i] (same units, 0 or less for no need) and
// moves the controls to its right in its row along by as much as the ones
// before them grew, each gap kept. Two controls share a row when their
// first 26 units overlap: a combo box's height counts its dropped list.
// Controls that start at the same x stay a column: they move along by the
// same amount, and those of the same width grow to the same width. The
// window grows by as much as the rightmost edge moved. A layout whose texts
// fit comes back as it was.
GrownLayout GrowToFit(std::span<const ControlPlace> layout, std::span<const int> needed);

// GrowToFit, but the window grows by maxExtraWidth at most: where it would
// grow more, the shrinkable controls (combo boxes, whose dropped lists can
// be wider than they are) give up the rest of what they grew by, as far as
// they grew.
GrownLayout GrowToFitWithin(std::span<const ControlPlace> layout, std::vector<int> needed,
                            const std::vector<bool>& shrinkable, int maxExtraWidth);

// A length at 96 dpi in the window's pixels, rounded to the nearest.
int Scaled(int length, LayoutScale scale);

// A length in the window's pixels back at 96 dpi, rounded down.
int Unscaled(int pixels, LayoutScale scale);

// The same, rounded up: the room at 96 dpi that holds that many pixels.
int UnscaledUp(int pixels, LayoutScale scale);

// How many rows of rowHeight fit in height beside fixedHeight: at least
// one, at most count.
size_t RowsThatFit(size_t count, int height, int fixedHeight, int rowHeight);

// The first of `visible` rows shown, moved as little as possible so that
// row `focused` is among them.
size_t FirstRowShowing(size_t first, size_t focused, size_t visible);

// Where a window of `length` starts along one axis, centred on its owner's
// span and then moved inside the area; a window longer than the area starts
// at the area's start.
int CentredStart(int ownerStart, int ownerLength, int length, int areaStart, int areaLength);

// Rows one wheel message scrolls, up when positive. Deltas add up in
// `pending` until a notch (120) is reached, so that a touchpad's small ones
// count; each notch scrolls linesPerNotch rows, or `page` rows when the
// system asks for a page a notch (linesPerNotch of all ones).
int WheelRows(int& pending, int delta, unsigned linesPerNotch, size_t page);
