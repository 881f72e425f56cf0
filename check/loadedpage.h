#pragma once
// What the check steps know of a page, the router's or the provider's
// answer, once its load has ended.

#include "common/doubtfultext.h"

#include <QString>

namespace parlowen {

struct LoadedPage {
    int httpStatus = 0;     // 0 when no HTTP answer came
    QString loadErrorWords; // why the load failed, for the user; empty when a page arrived
    QString text;           // the page text
    QByteArray body{};      // the bytes as they came, where a verdict reads its markup
    DoubtfulText doubt{};   // where in the text a rule not read might hide what a browser shows
};

} // namespace parlowen
