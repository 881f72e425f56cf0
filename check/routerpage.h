#pragma once
// Why the router's page gave no WAN address, in words the window and the
// command both show.

#include <QString>

#include <optional>

namespace parlowen {

// What is known of the router's page once its load has ended.
struct RouterPageResult {
    int httpStatus = 0;     // 0 when no HTTP answer came
    QString loadErrorWords; // why the load failed, for the user; empty when a page arrived
    QString text;           // the page text the address is looked for in
};

// The reason, as a clause to follow "no address: "; nothing when the page
// does give an address.
std::optional<QString> whyNoAddress(const RouterPageResult& page);

// The window's sentence for a check that ends without an address.
QString noAddressMessage(const QString& reason);

} // namespace parlowen
