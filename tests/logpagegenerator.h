#pragma once
// Router-like system-log pages for comparing our page text with a browser's:
// the same seed always gives the same page.

#include <QByteArray>
#include <QString>

#include <cstdint>

namespace parlowen::testing {

struct GeneratedPage {
    QString name;           // says what the page is built from
    QByteArray contentType; // as the server sends it
    QByteArray body;        // in the encoding the page declares
};

// Page number index of the corpus for seed; a styled page carries style
// sheets of random rules over its own markup.
GeneratedPage generateLogPage(uint32_t seed, int index, bool styled = false);

} // namespace parlowen::testing
