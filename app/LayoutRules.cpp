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
