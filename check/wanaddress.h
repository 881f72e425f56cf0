#pragma once
// Finds the router's WAN address in the text of its system-log page.

#include <QString>

#include <optional>

namespace parlowen {

// The URL of a finished page decides whether it is the router's log page.
bool isRouterLogUrl(const QString& url);

// The text after the first "WAN IP is " (any letter case, its i also a
// Turkish dotted İ or dotless ı) up to the next
// "\r\n", as it stands. Nothing when the marker, or a line break after it,
// is missing.
std::optional<QString> extractWanAddress(const QString& pageText);

// Where that address is read from: the marker at start, the line break
// that ends the address at end.
struct WanLine {
    QString address;
    qsizetype start = 0;
    qsizetype end = 0;
};
std::optional<WanLine> findWanLine(const QString& pageText);

// Whether the text holds the marker at all, with or without a line break
// after it.
bool hasWanMarker(const QString& pageText);

} // namespace parlowen
