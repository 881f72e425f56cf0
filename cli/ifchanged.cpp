// The state file of --if-changed, as the command refuses or waits for it.
#include "cli/ifchanged.h"

#include <QDir>

namespace parlowen::cli {

namespace {
// A record is a few hundred bytes, synced twice; a slow card takes seconds.
constexpr std::chrono::seconds RecordWriteAllowance{5};
} // namespace

std::optional<Failure<StateFileError>> unusableStateFile(const QString& statePath,
                                                         const QString& settingsPath)
{
    if (const auto usable = checkStateFile(statePath, settingsPath); !usable)
        return usable.failure();
    // One that cannot be read for now is replaced by the next record; one
    // damaged, or some other file named by mistake, is not for us to replace.
    if (const auto read = readLastAcceptance(statePath); !read && read.error() == StateFileError::NotOurs)
        return read.failure();
    return std::nullopt;
}

QStringList refusalLines(const Failure<StateFileError>& unusable, const QString& statePath)
{
    if (unusable.code == StateFileError::NotOurs) {
        // One far too large to read has its size as the reason; any other
        // did not read as a record.
        const bool reasonGiven = unusable.detail != QDir::toNativeSeparators(statePath);
        return {reasonGiven ? QStringLiteral("parlowen-check: --if-changed: %1").arg(unusable.detail)
                            : QStringLiteral("parlowen-check: --if-changed: %1 is damaged, or is not a state "
                                             "file this program wrote.")
                                  .arg(unusable.detail),
                QStringLiteral("If it is the state file, remove it: the next accepted update writes it anew. "
                               "Otherwise give --state another file.")};
    }
    return {QStringLiteral("parlowen-check: --if-changed: %1.").arg(unusable.message())};
}

std::chrono::milliseconds stateRecordPatience(const BrowserLimits& limits)
{
    return limits.timeout + RecordWriteAllowance;
}

QString heldTooLongFailure(const QString& statePath, std::chrono::milliseconds waited)
{
    return QStringLiteral("Last update: another check has held the state file %1 for %2 s, longer than its "
                          "update may take; nothing was sent, so that the address is not sent twice. Look "
                          "for a parlowen-check that hangs (pgrep -a parlowen-check), or run it again.")
        .arg(QDir::toNativeSeparators(statePath))
        .arg(std::chrono::duration_cast<std::chrono::seconds>(waited).count());
}

QString heldTooLongReason()
{
    return QStringLiteral("Another check held the state file for longer than an update may take, so nothing "
                          "was sent.");
}

} // namespace parlowen::cli
