#pragma once
// The words of a check that keeps the AAAA record: the step that names this
// computer's IPv6 address or why there is none, and the paragraphs of the
// verdict that say what became of it. Both front ends show these.

#include "check/ipv6mode.h"

#include <QString>

#include <optional>

namespace parlowen {

// The step line: "IPv6 address: 2001:db8:1::10, this computer's own on eth0".
QString ipv6FoundStep(const QString& address, const QString& interfaceName);
// The step line when there is none: "IPv6 address: none: " and why.
QString ipv6MissingStep(const QString& why);

// The verdict's message when IPv6=only finds no address to send.
QString noIpv6Message(const QString& why);

// The paragraph of an accepted update about IPv6: the address that went
// with it (or alone), or why none did; nothing with IPv6=no.
std::optional<QString> ipv6VerdictNote(Ipv6Mode mode, const QString& address, const QString& interfaceName,
                                       const QString& why);

// What is wrong with the IPv6 key's value as written, as a sentence that
// says what to write instead; nothing for one of the three values or none.
std::optional<QString> ipv6ValueProblem(const QString& value);

} // namespace parlowen
