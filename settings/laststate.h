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

class StateRecordLock;

// The file's name when it lies beside the settings file.
inline constexpr char16_t StateFileName[] = u"parlowen-check.state";

// Providers forget names that are not refreshed (some after 30 days), and
// block clients that repeat unchanged updates; an unchanged address is sent
// again once this much time has passed.
inline constexpr std::chrono::hours RefreshAfter = std::chrono::days{25};

struct LastAcceptance {
    QString address; // the router's IPv4 address; empty where IPv6 went alone
    QDateTime acceptedAt; // UTC; not valid in a record that remembers a gateway alone
    QString host;         // for people reading the file; target decides
    QByteArray target;    // updateTarget() of the settings it was sent with
    // The router's UPnP gateway that answered last, asked directly next
    // time rather than searched for; never a secret.
    QString gatewayControlUrl{};
    QString gatewayServiceType{};
    // This computer's IPv6 address, where one went with the update.
    QString ipv6Address{};

    // Whether the record holds an accepted update, or only a gateway.
    bool hasAcceptance() const { return acceptedAt.isValid() && !target.isEmpty(); }
};

// Stands for the provider's script, the account and the host, so that the
// file tells them apart without holding the service URL, which may carry a
// token.
QByteArray updateTarget(const QString& serviceUrl, const QString& userName, const QString& host);

// The addresses an update carried: the router's IPv4 address and this
// computer's IPv6 address, either of which may be empty.
struct SentAddresses {
    QString ipv4;
    QString ipv6;
    friend bool operator==(const SentAddresses&, const SentAddresses&) = default;
};

// The record of an update accepted at acceptedAt, with the settings it was sent with.
LastAcceptance acceptanceOf(const SentAddresses& sent, const QDateTime& acceptedAt, const QString& serviceUrl,
                            const QString& userName, const QString& host);

// The state file that lies beside the settings file, where the window
// records its updates and parlowen-check looks by default.
QString stateFileBeside(const QString& settingsPath);

// Why the state file cannot be used. The detail names the file and, where
// there is one, the reason the system gave.
enum class StateFileError {
    IsTheSettingsFile,  // the same file as the settings, by name or through a link
    NotAFile,           // a pipe, device, socket or folder, which would block or cannot be replaced
    IsALink,            // a symbolic link, which another user may have planted
    FolderOpenToOthers, // others may write to its folder, which is not sticky
    SomeoneElses,       // in a sticky folder, a file that belongs to another user
    Unreadable,
    Unwritable,
    NotOurs, // a file this program did not write, or one damaged since
    Busy,    // another check holds the record while it sends an update
};

QString toString(StateFileError error);

// Whether statePath may serve as the state file beside the settings file:
// it must not lead to the settings file, must be an ordinary file and no
// link if it exists at all, and must lie where no other user can put
// something in its place.
Result<void, StateFileError> checkStateFile(const QString& statePath, const QString& settingsPath);

// Nothing when there is no state file yet. A link is not followed.
Result<std::optional<LastAcceptance>, StateFileError> readLastAcceptance(const QString& path);

// Atomically and readable by the owner only, keeping the gateway the file
// remembers where last names none, in a folder made readable by
// the owner only if it is missing. The file is checked once more just
// before, since either file may have changed since the start, and then
// saved through a handle of its folder: a link at its name is only ever
// replaced, never written through. held is the lock of the check that
// decided to send; without it the save takes the lock itself, without
// waiting, and is not made (StateFileError::Busy) while a check holds the
// record.
Result<void, StateFileError> writeLastAcceptance(const QString& path, const QString& settingsPath,
                                                 const LastAcceptance& last,
                                                 const StateRecordLock* held = nullptr);

// Records the gateway that answered, keeping the accepted update the file
// holds; checked, locked and saved as writeLastAcceptance() is.
Result<void, StateFileError> rememberGateway(const QString& path, const QString& settingsPath,
                                             const QString& controlUrl, const QString& serviceType,
                                             const StateRecordLock* held = nullptr);

// Removes the temporary files that killed saves of the settings file and of
// the state file left behind, for each program's start: they may hold the
// passwords.
void removeAbandonedSavesOf(const QString& settingsPath, const QString& statePath);

// The words for an accepted update that could not be recorded.
QString notRememberedWarning(const Failure<StateFileError>& failure);

} // namespace parlowen
