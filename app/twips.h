#pragma once
// Window geometry is designed in twips (1/1440 inch) for a 9 pt desktop font
// at 96 dpi, where a twip is 1/15 of a pixel. A larger desktop font converts
// them as a larger logical dpi would, so the window grows with its text.
// Qt's own high-DPI scaling works below this, in device pixels: the
// conversion stays in Qt's device-independent pixels and never sees it.

#include <QFont>
#include <QRect>

#include <algorithm>
#include <cmath>

namespace parlowen {

class Twips {
public:
    static constexpr double PerPixel = 15.0;
    static constexpr double DesignPointSize = 9.0;
    static constexpr double DesignPixelSize = 12.0; // 9 pt at 96 dpi
    // A smaller font is no wish for smaller controls: the captions would
    // drop below a readable size and the fields below a comfortable target.
    static constexpr double SmallestScale = 1.0;
    // The window cannot be resized or scrolled, so it has to fit the
    // narrowest screen still in use: twice the design is 968 px of 1024,
    // leaving room for the frame. That is an 18 pt desktop font.
    static constexpr double LargestScale = 2.0;

    constexpr Twips() = default;
    explicit constexpr Twips(double scale) : m_scale(std::clamp(scale, SmallestScale, LargestScale)) {}

    // The scale the desktop's font asks for, whether given in points or
    // (as some desktops do) in pixels.
    static Twips forDesktopFont(const QFont& font)
    {
        if (font.pointSizeF() > 0)
            return Twips(font.pointSizeF() / DesignPointSize);
        if (font.pixelSize() > 0)
            return Twips(font.pixelSize() / DesignPixelSize);
        return {};
    }

    constexpr double scale() const { return m_scale; }

    int toPixels(double twips) const { return static_cast<int>(std::lround(twips * m_scale / PerPixel)); }
    double fromPixels(int pixels) const { return pixels * PerPixel / m_scale; }
    QRect rect(int left, int top, int width, int height) const
    {
        return {toPixels(left), toPixels(top), toPixels(width), toPixels(height)};
    }

private:
    double m_scale = 1.0;
};

} // namespace parlowen
