#pragma once
// What --if-changed remembers between runs: the last address the provider
// accepted, when, and for which provider account and host.

#include <QByteArray>
#include <QDateTime>
#include <QString>

#include <chrono>
#include <optional>

namespace parlowen::cli {

// The file's name when it lies beside the settings file.
inline constexpr char16_t StateFileName[] = u"parlowen-check.state";

// Providers forget names that are not refreshed (some after 30 days), and
// block clients that repeat unchanged updates; an unchanged address is sent
// again once this much time has passed.
inline constexpr std::chrono::hours RefreshAfter = std::chrono::days{25};

struct LastAcceptance {
    QString address;
    QDateTime acceptedAt; // UTC
    QString host;         // for people reading the file; target decides
    QByteArray target;    // updateTarget() of the settings it was sent with
};

// Stands for the provider's script, the account and the host, so that the
// file tells them apart without holding the service URL, which may carry a
// token.
QByteArray updateTarget(const QString& serviceUrl, const QString& userName, const QString& host);

struct LastAcceptanceRead {
    std::optional<LastAcceptance> value; // nothing when there is no file or it is unusable
    QString problem;                     // why an existing file is unusable
};

LastAcceptanceRead readLastAcceptance(const QString& path);

// Atomically and readable by the owner only. An empty string on success,
// otherwise why not.
QString writeLastAcceptance(const QString& path, const LastAcceptance& last);

} // namespace parlowen::cli
