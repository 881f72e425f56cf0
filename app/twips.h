#pragma once
// Window geometry is designed in twips (1/1440 inch). At 96 dpi a twip is
// 1/15 of a pixel; Qt's own high-DPI scaling takes care of other screens, so
// the conversion works in Qt's device-independent pixels.

#include <QRect>
#include <cmath>

namespace parlowen {

inline constexpr double TwipsPerPixel = 15.0;

inline int twipsToPixels(double twips)
{
    return static_cast<int>(std::lround(twips / TwipsPerPixel));
}

inline double pixelsToTwips(int pixels)
{
    return pixels * TwipsPerPixel;
}

inline QRect twipsRect(int left, int top, int width, int height)
{
    return {twipsToPixels(left), twipsToPixels(top), twipsToPixels(width), twipsToPixels(height)};
}

} // namespace parlowen
