// The small state file of --if-changed.
#include "settings/laststate.h"

#include "profile/atomicfile.h"
#include "profile/regularfile.h"
#include "settings/settingslocation.h"
#include "settings/staterecordlock.h"

#include <QCryptographicHash>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QUrl>

#include <cerrno>
#include <cstring>

#include <fcntl.h>
#include <grp.h>
#include <pwd.h>
#include <sys/stat.h>
#include <unistd.h>

namespace parlowen {

namespace {
const QByteArray Header = "# parlowen-check: the last address the provider accepted\n";

// The address as the router wrote it may hold a lone CR or LF, which would
// end the line early.
QByteArray fieldValue(const QString& text)
{
    return QUrl::toPercentEncoding(text, ".:");
}

QString fromFieldValue(const QByteArray& value)
{
    return QUrl::fromPercentEncoding(value);
}

QString withReason(const QString& path, const Failure<FileError>& failure)
{
    return QStringLiteral("%1: %2").arg(QDir::toNativeSeparators(path), failure.message());
}

// A group of the user's own, as Debian makes one for each user (umask 002
// then leaves folders group-writable): named as the user, their primary
// group, and with no other members.
bool isUsersOwnGroup(gid_t gid)
{
    const passwd* user = ::getpwuid(::geteuid());
    if (!user || user->pw_gid != gid)
        return false;
    const group* entry = ::getgrgid(gid);
    return entry && std::strcmp(entry->gr_name, user->pw_name) == 0 && (!entry->gr_mem || !entry->gr_mem[0]);
}

// Whether another user could put something of theirs in the state file's
// place, judged from its folder and from what has its name now (entry, or
// nothing yet), as ssh judges its key files.
Result<void, StateFileError> judgePlace(const struct stat& folder, const struct stat* entry,
                                        const QString& shown)
{
    if (entry && S_ISLNK(entry->st_mode))
        return {StateFileError::IsALink, shown};
    // In a sticky folder each user may replace only their own files.
    const bool sticky = folder.st_mode & S_ISVTX;
    const bool othersMayWrite =
        (folder.st_mode & S_IWOTH) || ((folder.st_mode & S_IWGRP) && !isUsersOwnGroup(folder.st_gid));
    if (othersMayWrite && !sticky)
        return {StateFileError::FolderOpenToOthers, shown};
    if (sticky && entry && entry->st_uid != ::geteuid())
        return {StateFileError::SomeoneElses, shown};
    return {};
}

StateFileError stateFileError(FileError error)
{
    switch (error) {
    case FileError::NotAFile:
    case FileError::IsAFolder:
        return StateFileError::NotAFile;
    case FileError::IsALink:
        return StateFileError::IsALink;
    default:
        return StateFileError::Unwritable;
    }
}

std::optional<LastAcceptance> parse(const QByteArray& content)
{
    LastAcceptance last;
    for (const QByteArray& raw : content.split('\n')) {
        const QByteArray line = raw.trimmed();
        const qsizetype eq = line.indexOf('=');
        if (line.startsWith('#') || eq < 0)
            continue;
        const QByteArray key = line.left(eq);
        const QByteArray value = line.mid(eq + 1);
        if (key == "address")
            last.address = fromFieldValue(value);
        else if (key == "address6")
            last.ipv6Address = fromFieldValue(value);
        else if (key == "accepted")
            last.acceptedAt = QDateTime::fromString(QString::fromLatin1(value), Qt::ISODate).toUTC();
        else if (key == "host")
            last.host = fromFieldValue(value);
        else if (key == "target")
            last.target = value;
        else if (key == "gateway")
            last.gatewayControlUrl = fromFieldValue(value);
        else if (key == "gateway-service")
            last.gatewayServiceType = fromFieldValue(value);
    }
    if (!last.hasAcceptance() && last.gatewayControlUrl.isEmpty())
        return std::nullopt;
    return last;
}
} // namespace

QString toString(StateFileError error)
{
    switch (error) {
    case StateFileError::IsTheSettingsFile:
        return QStringLiteral("the state file must be a file other than the settings file");
    case StateFileError::NotAFile:
        return QStringLiteral("the state file must be an ordinary file, not a pipe, device or folder");
    case StateFileError::IsALink:
        return QStringLiteral(
            "the state file is a symbolic link, which is never followed; remove it, or give "
            "--state a plain file in a folder only you can write");
    case StateFileError::FolderOpenToOthers:
        return QStringLiteral("other users may change the state file's folder; make it yours alone "
                              "(chmod go-w), or give --state a file in a folder only you can write");
    case StateFileError::SomeoneElses:
        return QStringLiteral("the state file belongs to another user of a shared folder; remove it, or give "
                              "--state a file in a folder only you can write");
    case StateFileError::Unreadable:
        return QStringLiteral("the state file cannot be read");
    case StateFileError::Unwritable:
        return QStringLiteral("the state file cannot be written");
    case StateFileError::NotOurs:
        return QStringLiteral("the state file is damaged, or is not one this program wrote");
    case StateFileError::Busy:
        return QStringLiteral("another check is sending an update and holds the state file");
    }
    return {};
}

QByteArray updateTarget(const QString& serviceUrl, const QString& userName, const QString& host)
{
    QCryptographicHash hash(QCryptographicHash::Sha256);
    for (const QString& part : {serviceUrl, userName, host}) {
        hash.addData(part.toUtf8());
        hash.addData(QByteArrayView("\n", 1));
    }
    return hash.result().toHex();
}

LastAcceptance acceptanceOf(const SentAddresses& sent, const QDateTime& acceptedAt, const QString& serviceUrl,
                            const QString& userName, const QString& host)
{
    LastAcceptance last{sent.ipv4, acceptedAt.toUTC(), host, updateTarget(serviceUrl, userName, host)};
    last.ipv6Address = sent.ipv6;
    return last;
}

QString stateFileBeside(const QString& settingsPath)
{
    return pathInDirectory(QFileInfo(settingsPath).absolutePath(), QString::fromUtf16(StateFileName));
}

QString notRememberedWarning(const Failure<StateFileError>& failure)
{
    if (failure.code == StateFileError::Busy)
        return QStringLiteral(
                   "The accepted address was not recorded: another check was sending an update and "
                   "held the state file, %1. Unless that check recorded the same address, the next "
                   "timed check sends it again.")
            .arg(failure.detail);
    return QStringLiteral("The accepted address could not be recorded (%1), so the next timed check "
                          "sends it again.")
        .arg(failure.message());
}

Result<void, StateFileError> checkStateFile(const QString& statePath, const QString& settingsPath)
{
    const QString shown = QDir::toNativeSeparators(statePath);
    // The files themselves, whatever names and links lead to them.
    const auto state = fileIdentity(statePath);
    if (state && state == fileIdentity(settingsPath))
        return {StateFileError::IsTheSettingsFile, shown};
    const QFileInfo info(statePath);
    if (state && !info.isFile())
        return {StateFileError::NotAFile, shown};
    // A link to nowhere cannot be the settings file; only a name that leads
    // to no file might still become it.
    if (!state && QFileInfo(settingsPath).absoluteFilePath() == info.absoluteFilePath())
        return {StateFileError::IsTheSettingsFile, shown};
    struct stat folder = {}, entry = {};
    const bool named = ::lstat(QFile::encodeName(statePath).constData(), &entry) == 0;
    // A folder still to be made is made the user's alone.
    if (::stat(QFile::encodeName(info.absolutePath()).constData(), &folder) != 0)
        return {};
    return judgePlace(folder, named ? &entry : nullptr, shown);
}

void removeAbandonedSavesOf(const QString& settingsPath, const QString& statePath)
{
    removeAbandonedSaves(settingsPath);
    // Where the state file's name is, not where a link there leads.
    const QFileInfo state(statePath);
    if (const auto folder = OpenFolder::open(state.absolutePath()))
        removeAbandonedSaves(folder.value(), QFile::encodeName(state.fileName()));
}

Result<std::optional<LastAcceptance>, StateFileError> readLastAcceptance(const QString& path)
{
    // A state file is a few hundred bytes; it shares the settings file's limit.
    const auto content = readRegularFile(path, LargestSettingsFile, Links::Refused);
    // Far larger than any record this program writes.
    if (!content && content.error() == FileError::Oversized)
        return {StateFileError::NotOurs, withReason(path, content.failure())};
    if (!content) {
        const StateFileError error = stateFileError(content.error());
        return {error == StateFileError::Unwritable ? StateFileError::Unreadable : error,
                withReason(path, content.failure())};
    }
    if (!content.value())
        return std::optional<LastAcceptance>();
    const auto last = parse(*content.value());
    if (!last)
        return {StateFileError::NotOurs, QDir::toNativeSeparators(path)};
    return last;
}

namespace {

QByteArray contentOf(const LastAcceptance& last)
{
    QByteArray content = Header;
    if (last.hasAcceptance()) {
        content += "address=" + fieldValue(last.address) + "\n";
        // Only where one was sent: a record without IPv6 stays as it was.
        if (!last.ipv6Address.isEmpty())
            content += "address6=" + fieldValue(last.ipv6Address) + "\n";
        content += "accepted=" + last.acceptedAt.toUTC().toString(Qt::ISODate).toLatin1() + "\n" +
                   "host=" + fieldValue(last.host) + "\n" + "target=" + last.target + "\n";
    }
    if (!last.gatewayControlUrl.isEmpty()) {
        content += "gateway=" + fieldValue(last.gatewayControlUrl) + "\n" +
                   "gateway-service=" + fieldValue(last.gatewayServiceType) + "\n";
    }
    return content;
}

// The record as it stands, for the part another save keeps; an empty one
// where there is none, or none of ours.
LastAcceptance recordIn(const QString& path)
{
    const auto read = readLastAcceptance(path);
    return read && read.value() ? *read.value() : LastAcceptance{};
}

// Saved through folder, the handle the record's lock is on.
Result<void, StateFileError> writeRecord(const QString& path, const OpenFolder& folder,
                                         const LastAcceptance& last)
{
    // Judged again through the handle the save goes through: the path may
    // lead elsewhere by now.
    const QByteArray name = QFile::encodeName(QFileInfo(path).fileName());
    struct stat folderStatus = {}, entry = {};
    if (::fstat(folder.fd(), &folderStatus) != 0)
        return {StateFileError::Unwritable, withReason(path, fileFailure(errno, FileError::WriteFailed))};
    const bool named = ::fstatat(folder.fd(), name.constData(), &entry, AT_SYMLINK_NOFOLLOW) == 0;
    if (const auto safe = judgePlace(folderStatus, named ? &entry : nullptr, QDir::toNativeSeparators(path));
        !safe)
        return safe;
    // The new file is readable by its owner only: it says where the owner's
    // host points, which is nobody else's business.
    if (const auto saved = writeFileInFolder(folder, name, contentOf(last)); !saved)
        return {stateFileError(saved.error()), withReason(path, saved.failure())};
    return {};
}

// Reads what the record keeps and saves it changed by change, all while the
// record is held: a check's save between the two would otherwise be lost.
template <typename Change>
Result<void, StateFileError> changeRecord(const QString& path, const QString& settingsPath,
                                          const StateRecordLock* held, Change change)
{
    if (const auto usable = checkStateFile(path, settingsPath); !usable)
        return usable;
    std::optional<Result<StateRecordLock, StateFileError>> taken;
    if (!held) {
        taken.emplace(StateRecordLock::take(path, NoWait));
        if (!*taken && taken->error() != StateFileError::Unwritable)
            return taken->failure();
        // Where the folder cannot be had, the save below says why; where its
        // file system has no locks, the record is saved as it always was.
        if (*taken)
            held = &taken->value();
    }
    LastAcceptance record = recordIn(path);
    change(record);
    if (held)
        return writeRecord(path, held->folder(), record);
    if (const auto folders = createFoldersFor(path); !folders)
        return {StateFileError::Unwritable, folders.failure().message()};
    const auto folder = OpenFolder::open(QFileInfo(path).absolutePath());
    if (!folder)
        return {StateFileError::Unwritable, withReason(path, folder.failure())};
    return writeRecord(path, folder.value(), record);
}

} // namespace

Result<void, StateFileError> writeLastAcceptance(const QString& path, const QString& settingsPath,
                                                 const LastAcceptance& last, const StateRecordLock* held)
{
    return changeRecord(path, settingsPath, held, [&](LastAcceptance& record) {
        const LastAcceptance kept = record;
        record = last;
        if (record.gatewayControlUrl.isEmpty()) {
            record.gatewayControlUrl = kept.gatewayControlUrl;
            record.gatewayServiceType = kept.gatewayServiceType;
        }
    });
}

Result<void, StateFileError> rememberGateway(const QString& path, const QString& settingsPath,
                                             const QString& controlUrl, const QString& serviceType,
                                             const StateRecordLock* held)
{
    return changeRecord(path, settingsPath, held, [&](LastAcceptance& record) {
        record.gatewayControlUrl = controlUrl;
        record.gatewayServiceType = serviceType;
    });
}

} // namespace parlowen
