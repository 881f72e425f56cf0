// Picks the window's font so that every caption fits its fixed box.
#include "app/captionfont.h"

#include <QFontDatabase>
#include <QFontMetrics>
#include <QStringList>

#include <algorithm>
#include <cmath>

namespace parlowen {

namespace {
// Largest first, at the design scale. 12 px is what a 9 pt desktop font
// gives at 96 dpi; below 9 px text stops being comfortable to read.
constexpr int LargestPixelSize = 12;
constexpr int SmallestPixelSize = 9;

// Narrower families commonly found on Linux desktops, tried when the
// desktop's own font is too wide for the boxes.
const char* const NarrowFamilies[] = {"Liberation Sans", "Arimo", "Nimbus Sans", "DejaVu Sans Condensed",
                                      "Noto Sans"};

std::vector<QString> candidateFamilies(const QFont& desktopFont)
{
    std::vector<QString> families{desktopFont.family()};
    const QStringList installed = QFontDatabase::families();
    for (const char* name : NarrowFamilies) {
        const QString family = QString::fromLatin1(name);
        if (installed.contains(family, Qt::CaseInsensitive) && family != desktopFont.family())
            families.push_back(family);
    }
    return families;
}
} // namespace

bool captionFits(const QFont& font, const CaptionBox& box)
{
    const QFontMetrics metrics(font);
    const int flags = box.wordWrap ? Qt::TextWordWrap : Qt::TextSingleLine;
    // Measure in a box as wide as allowed but unbounded in height, so that
    // the height that wrapping needs shows.
    const QRect needed = metrics.boundingRect(QRect(0, 0, box.size.width(), 10'000), flags, box.text);
    return needed.width() <= box.size.width() && needed.height() <= box.size.height();
}

QFont fontFittingCaptions(const QFont& desktopFont, const std::vector<CaptionBox>& boxes, double scale)
{
    const std::vector<QString> families = candidateFamilies(desktopFont);
    const int largest = static_cast<int>(std::lround(LargestPixelSize * scale));
    const int smallest = static_cast<int>(std::lround(SmallestPixelSize * scale));
    for (int pixelSize = largest; pixelSize >= smallest; --pixelSize) {
        for (const QString& family : families) {
            QFont font(desktopFont);
            font.setFamily(family);
            font.setPixelSize(pixelSize);
            if (std::all_of(boxes.begin(), boxes.end(),
                            [&](const CaptionBox& box) { return captionFits(font, box); }))
                return font;
        }
    }
    QFont fallback(desktopFont);
    fallback.setPixelSize(smallest);
    return fallback;
}

} // namespace parlowen
