#include "app/LayoutRules.h"

#include <algorithm>
#include <cstdlib>

namespace {

constexpr int kDesignDpi = 96;
constexpr int kDefaultFontPoints = 9;
constexpr int kPointsPerInch = 72;

} // namespace

LayoutScale LayoutScaleFor(int dpi, int messageFontHeight)
{
    if (dpi <= 0)
        dpi = kDesignDpi;
    // A positive LOGFONT height counts the internal leading too; either way
    // the larger text is only ever rounded towards more room.
    const int defaultHeight = std::max(1, (kDefaultFontPoints * dpi + kPointsPerInch / 2) / kPointsPerInch);
    const int height = std::max(defaultHeight, std::abs(messageFontHeight));
    return {dpi * height, kDesignDpi * defaultHeight};
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
