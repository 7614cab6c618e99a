#include "app/LayoutRules.h"

#include <algorithm>
#include <climits>
#include <cstdlib>

namespace {

constexpr int kDesignDpi = 96;
constexpr int kDefaultFontPoints = 9;
constexpr int kDialogFontPoints = 8;
constexpr int kPointsPerInch = 72;
constexpr int kWheelNotch = 120;
// The tallest control of a row, a push button; only a combo box is taller,
// by its dropped list.
constexpr int kRowHeight = 26;

int PointsToPixels(int points, int dpi)
{
    return std::max(1, (points * dpi + kPointsPerInch / 2) / kPointsPerInch);
}

} // namespace

LayoutScale LayoutScaleFor(int dpi, int messageFontHeight)
{
    if (dpi <= 0)
        dpi = kDesignDpi;
    // The layout holds the classic 8-point dialog font with room to spare,
    // and the default 9-point message font. Past 9 points it grows with the
    // text from 8 points on: so it keeps that room whichever of the two the
    // system's default is. A positive LOGFONT height counts the internal
    // leading too, which only rounds towards more room.
    const int height = std::abs(messageFontHeight);
    if (height <= PointsToPixels(kDefaultFontPoints, dpi))
        return {dpi, kDesignDpi};
    return {dpi * height, kDesignDpi * PointsToPixels(kDialogFontPoints, dpi)};
}

GrownLayout GrowToFit(std::span<const ControlPlace> layout, std::span<const int> needed)
{
    GrownLayout grown;
    grown.places.assign(layout.begin(), layout.end());
    // Left to right, so that a control has moved before those right of it look at it.
    std::vector<size_t> order(layout.size());
    for (size_t i = 0; i < order.size(); ++i)
        order[i] = i;
    std::stable_sort(order.begin(), order.end(), [&](size_t a, size_t b) { return layout[a].x < layout[b].x; });
    const auto sameRow = [](const ControlPlace& a, const ControlPlace& b) {
        return a.y < b.y + std::min(b.height, kRowHeight) && b.y < a.y + std::min(a.height, kRowHeight);
    };
    int designRight = 0;
    int grownRight = 0;
    for (size_t n = 0; n < order.size(); ++n) {
        const size_t j = order[n];
        const ControlPlace& design = layout[j];
        int shift = 0;
        for (size_t m = 0; m < n; ++m) {
            const size_t i = order[m];
            const ControlPlace& left = layout[i];
            if (left.x + left.width <= design.x && sameRow(left, design)) {
                const ControlPlace& moved = grown.places[i];
                shift = std::max(shift, (moved.x + moved.width) - (left.x + left.width));
            }
        }
        ControlPlace& place = grown.places[j];
        place.x += shift;
        if (j < needed.size())
            place.width = std::max(place.width, needed[j]);
        designRight = std::max(designRight, design.x + design.width);
        grownRight = std::max(grownRight, place.x + place.width);
    }
    grown.extraWidth = std::max(0, grownRight - designRight);
    return grown;
}

int Scaled(int length, LayoutScale scale)
{
    const long long product = static_cast<long long>(length) * scale.numerator;
    const long long half = scale.denominator / 2;
    return static_cast<int>(product >= 0 ? (product + half) / scale.denominator
                                         : -((-product + half) / scale.denominator));
}

int Unscaled(int pixels, LayoutScale scale)
{
    return static_cast<int>(static_cast<long long>(pixels) * scale.denominator / scale.numerator);
}

int UnscaledUp(int pixels, LayoutScale scale)
{
    const long long product = static_cast<long long>(pixels) * scale.denominator;
    return static_cast<int>((product + scale.numerator - 1) / scale.numerator);
}

size_t RowsThatFit(size_t count, int height, int fixedHeight, int rowHeight)
{
    const int room = rowHeight > 0 ? (height - fixedHeight) / rowHeight : 0;
    return std::min(count, static_cast<size_t>(std::max(1, room)));
}

size_t FirstRowShowing(size_t first, size_t focused, size_t visible)
{
    if (focused < first)
        return focused;
    if (visible > 0 && focused >= first + visible)
        return focused - visible + 1;
    return first;
}

int CentredStart(int ownerStart, int ownerLength, int length, int areaStart, int areaLength)
{
    const int centred = ownerStart + (ownerLength - length) / 2;
    return std::max(areaStart, std::min(centred, areaStart + areaLength - length));
}

int WheelRows(int& pending, int delta, unsigned linesPerNotch, size_t page)
{
    if ((pending > 0 && delta < 0) || (pending < 0 && delta > 0))
        pending = 0; // turned the other way: what was gathered no longer counts
    pending += delta;
    const int notches = pending / kWheelNotch;
    pending -= notches * kWheelNotch;
    const long long perNotch = linesPerNotch == UINT_MAX ? static_cast<long long>(page) : linesPerNotch;
    return static_cast<int>(
        std::clamp(notches * perNotch, static_cast<long long>(-INT_MAX), static_cast<long long>(INT_MAX)));
}
