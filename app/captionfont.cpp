// Picks the window's font so that every caption fits its fixed box.
#include "app/captionfont.h"

#include <QFontDatabase>
#include <QFontMetrics>
#include <QStringList>

#include <algorithm>
#include <cmath>
#include <optional>

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

namespace {

// What is known of each family: smaller text never needs more room, so a
// family that fits at one size fits at every smaller one, and one that does
// not fit at a size fits at no larger one.
class FittingSizes {
public:
    FittingSizes(const QFont& desktopFont, const std::vector<CaptionBox>& boxes, int smallest, int largest)
        : m_desktopFont(desktopFont), m_boxes(boxes), m_families(candidateFamilies(desktopFont)),
          m_fitsUpTo(m_families.size(), smallest - 1), m_failsFrom(m_families.size(), largest + 1)
    {
    }

    // The first family, in order of preference, that fits at pixelSize.
    std::optional<QFont> firstThatFits(int pixelSize)
    {
        for (size_t i = 0; i < m_families.size(); ++i) {
            if (fits(i, pixelSize))
                return sized(i, pixelSize);
        }
        return std::nullopt;
    }

private:
    QFont sized(size_t family, int pixelSize) const
    {
        QFont font(m_desktopFont);
        font.setFamily(m_families[family]);
        font.setPixelSize(pixelSize);
        return font;
    }

    bool fits(size_t family, int pixelSize)
    {
        if (pixelSize <= m_fitsUpTo[family])
            return true;
        if (pixelSize >= m_failsFrom[family])
            return false;
        const QFont font = sized(family, pixelSize);
        const bool fit = std::all_of(m_boxes.begin(), m_boxes.end(),
                                     [&](const CaptionBox& box) { return captionFits(font, box); });
        (fit ? m_fitsUpTo[family] : m_failsFrom[family]) = pixelSize;
        return fit;
    }

    const QFont& m_desktopFont;
    const std::vector<CaptionBox>& m_boxes;
    const std::vector<QString> m_families;
    std::vector<int> m_fitsUpTo;
    std::vector<int> m_failsFrom;
};

} // namespace

QFont fontFittingCaptions(const QFont& desktopFont, const std::vector<CaptionBox>& boxes, double scale)
{
    const int largest = static_cast<int>(std::lround(LargestPixelSize * scale));
    const int smallest = static_cast<int>(std::lround(SmallestPixelSize * scale));
    // Each size of each family tried is a font loaded, most of the window's
    // start before it is mapped; so the largest size that fits is searched
    // by halves, after the desktop's own font at the largest, which is the
    // usual answer.
    FittingSizes sizes(desktopFont, boxes, smallest, largest);
    if (std::optional<QFont> font = sizes.firstThatFits(largest))
        return *font;
    if (!sizes.firstThatFits(smallest)) {
        QFont fallback(desktopFont);
        fallback.setPixelSize(smallest);
        return fallback;
    }
    int fitting = smallest, tooLarge = largest;
    while (tooLarge - fitting > 1) {
        const int middle = (fitting + tooLarge) / 2;
        (sizes.firstThatFits(middle) ? fitting : tooLarge) = middle;
    }
    return *sizes.firstThatFits(fitting);
}

} // namespace parlowen
