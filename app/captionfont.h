#pragma once
// Picks the window's font so that every caption fits the fixed box it was
// designed for, whatever fonts this desktop happens to have.

#include <QFont>
#include <QSize>
#include <QString>

#include <vector>

namespace parlowen {

struct CaptionBox {
    QString text;
    QSize size;    // room for the text, in pixels
    bool wordWrap; // whether the caption may break onto more lines
};

bool captionFits(const QFont& font, const CaptionBox& box);

// The largest font, preferring the desktop's own family, in which all boxes
// fit; the smallest candidate when none does. The candidates grow by the
// scale the boxes were laid out at (see Twips).
QFont fontFittingCaptions(const QFont& desktopFont, const std::vector<CaptionBox>& boxes, double scale = 1.0);

} // namespace parlowen
