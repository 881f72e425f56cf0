#pragma once
// What the simulated router and provider answer: the router's system-log page
// at a chosen size, and the provider's verdict on an update request.

#include <QByteArray>
#include <QString>
#include <QUrlQuery>

#include <optional>

namespace parlowen::sim {

// Line n of a made-up router syslog: "Jan  1 hh:mm:ss daemon: message", where
// the messages cycle through the kinds a small router logs.
QByteArray syslogLine(int n);

// text with "&", "<" and ">" written as HTML character references.
QByteArray htmlEscaped(QByteArray text);

// A log page shaped like a small router's: a menu table, then the syslog in a
// <textarea> with CRLF lines and the "WAN IP is" line near its end. Padded with
// ordinary syslog lines until it is about targetSize bytes (never below the
// few hundred bytes the frame and the WAN line need). Without an address the
// page has no WAN line at all, as on routers that log none, where only UPnP
// can tell the address.
QByteArray syslogPage(qsizetype targetSize, const std::optional<QString>& wanAddress);

// "4096", "4K", "4KiB", "1M", "8MiB" (binary units, any letter case).
// Nothing for anything else, zero or negative included.
std::optional<qsizetype> parseByteSize(QString text);

// The account the provider knows. Empty fields accept any value, so that the
// simulator can stand in for a provider whatever a settings file holds.
struct ProviderAccount {
    QString user;
    QString password;
    QString hostname;
};

// The provider's answer in the words of the common dynamic DNS protocol:
// "badauth" for a wrong user or password, "nohost" for a host name it does not
// keep, "notfqdn" when no host name came, and otherwise the line
// "good <address>: <host name> updated successfully" -- or "abuse" when refusing is what
// was asked for. Plain text, as providers send it.
// The account comes from the query's username and password, as Parlowen
// sends it, or else from Basic authentication (basicUser and basicPassword,
// empty when none came), as clients of the dyndns2 protocol send it.
QByteArray providerAnswer(const QUrlQuery& query, const QString& basicUser, const QString& basicPassword,
                          const ProviderAccount& account, bool accepting);

// A request target fit for a log: the value of every password parameter is
// replaced by "***".
QByteArray maskedTarget(const QByteArray& target);

} // namespace parlowen::sim
