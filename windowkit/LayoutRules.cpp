#include "windowkit/LayoutRules.h"

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
    const auto need = [&](size_t i) { return i < needed.size() ? needed[i] : 0; };
    // The controls that start at one x make a column: they move along
    // together, and those of one width grow to one width, so that the
    // column's edges stay straight.
    for (size_t first = 0, last = 0; first < order.size(); first = last) {
        const int x = layout[order[first]].x;
        while (last < order.size() && layout[order[last]].x == x)
            ++last;
        int shift = 0;
        for (size_t m = 0; m < first; ++m) {
            const ControlPlace& left = layout[order[m]];
            const ControlPlace& moved = grown.places[order[m]];
            for (size_t n = first; n < last; ++n)
                if (left.x + left.width <= x && sameRow(left, layout[order[n]]))
                    shift = std::max(shift, (moved.x + moved.width) - (left.x + left.width));
        }
        for (size_t n = first; n < last; ++n) {
            ControlPlace& place = grown.places[order[n]];
            place.x += shift;
            for (size_t k = first; k < last; ++k)
                if (layout[order[k]].width == layout[order[n]].width)
                    place.width = std::max(place.width, need(order[k]));
        }
    }
    int designRight = 0;
    int grownRight = 0;
    for (size_t i = 0; i < layout.size(); ++i) {
        designRight = std::max(designRight, layout[i].x + layout[i].width);
        grownRight = std::max(grownRight, grown.places[i].x + grown.places[i].width);
    }
    grown.extraWidth = std::max(0, grownRight - designRight);
    return grown;
}

GrownLayout GrowToFitWithin(std::span<const ControlPlace> layout, std::vector<int> needed,
                            const std::vector<bool>& shrinkable, int maxExtraWidth)
{
    GrownLayout grown = GrowToFit(layout, needed);
    const int excess = grown.extraWidth - std::max(0, maxExtraWidth);
    if (excess <= 0)
        return grown;
    for (size_t i = 0; i < needed.size() && i < shrinkable.size() && i < layout.size(); ++i)
        if (shrinkable[i] && needed[i] > layout[i].width)
            needed[i] = std::max(layout[i].width, needed[i] - excess);
    return GrowToFit(layout, needed);
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
