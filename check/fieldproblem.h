#pragma once
// Settings that cannot make a check, found before anything is loaded.

#include <QString>

#include <optional>

namespace parlowen {

enum class FieldProblem {
    RouterAddressEmpty,
    RouterAddressNotAHost,
    ServiceUrlEmpty,
    ServiceUrlNotWebAddress,
    ServiceUrlHasFragment,
    ServiceUrlOfClosedProvider,
    ServiceUrlUnderExampleName,
};

// What is wrong, as a phrase to follow the setting's name: "is empty".
QString toString(FieldProblem problem);

// The router address must be a host and nothing more: a dotted IPv4
// address, an IPv6 address in brackets, or a host name. A port, a path, a
// query, a fragment, user-info or a space would send the router password
// somewhere else than the router's log page.
std::optional<FieldProblem> routerAddressProblem(const QString& address);

// The service URL must be an http:// or https:// address without a "#":
// everything after one stays in the browser, the update parameters included;
// and its host no name kept for examples (check/examplesettings).
std::optional<FieldProblem> serviceUrlProblem(const QString& serviceUrl);

// Only the fragment: the window loads any service URL but this one.
bool hasFragment(const QString& serviceUrl);

// A provider that has closed takes no update, whatever the window sends.
bool isClosedProvider(const QString& serviceUrl);

} // namespace parlowen
