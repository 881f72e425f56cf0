#pragma once
// What --if-changed remembers between runs: the last address the provider
// accepted, when, and for which provider account and host.

#include "common/result.h"

#include <QByteArray>
#include <QDateTime>
#include <QString>

#include <chrono>
#include <optional>

namespace parlowen {

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

// The record of an update accepted at acceptedAt, with the settings it was sent with.
LastAcceptance acceptanceOf(const QString& address, const QDateTime& acceptedAt, const QString& serviceUrl,
                            const QString& userName, const QString& host);

// The state file that lies beside the settings file, where the window
// records its updates and parlowen-check looks by default.
QString stateFileBeside(const QString& settingsPath);

// Why the state file cannot be used. The detail names the file and, where
// there is one, the reason the system gave.
enum class StateFileError {
    IsTheSettingsFile, // the same file as the settings, by name or through a link
    NotAFile,          // a pipe, device, socket or folder, which would block or cannot be replaced
    Unreadable,
    Unwritable,
    NotOurs, // a file this program did not write
};

QString toString(StateFileError error);

// Whether statePath may serve as the state file beside the settings file:
// it must not lead to the settings file, and must be an ordinary file if it
// exists at all.
Result<void, StateFileError> checkStateFile(const QString& statePath, const QString& settingsPath);

// Nothing when there is no state file yet.
Result<std::optional<LastAcceptance>, StateFileError> readLastAcceptance(const QString& path);

// Atomically and readable by the owner only. The file is checked against the
// settings file once more just before, since either may have changed since
// the start.
Result<void, StateFileError> writeLastAcceptance(const QString& path, const QString& settingsPath,
                                                 const LastAcceptance& last);

// The words for an accepted update that could not be recorded.
QString notRememberedWarning(const Failure<StateFileError>& failure);

} // namespace parlowen
