#pragma once
// Why the router's page gave no WAN address, in words the window and the
// command both show.

#include "check/loadedpage.h"

#include <QString>

#include <optional>

namespace parlowen {

// The address on the page's first "WAN IP is " line, unless a style rule
// Parlowen could not read might hide that line.
std::optional<QString> trustedWanAddress(const LoadedPage& page);

// The reason, as a clause to follow "no address: "; nothing when the page
// does give an address that may be trusted.
std::optional<QString> whyNoAddress(const LoadedPage& page);

// The window's sentence for a check that ends without an address.
QString noAddressMessage(const QString& reason);

} // namespace parlowen
