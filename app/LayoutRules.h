// How the windows' layouts grow with the screen's scale and the user's text
// size, and which rows of a list that does not fit are shown. Free of system
// calls so they can be tested.
#pragma once

#include <cstddef>

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

// A length at 96 dpi in the window's pixels, rounded to the nearest.
int Scaled(int length, LayoutScale scale);

// A length in the window's pixels back at 96 dpi, rounded down.
int Unscaled(int pixels, LayoutScale scale);

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
