// What the user can do when the settings could not be saved, or read.
#include "settings/saveadvice.h"

namespace parlowen {

namespace {

const QString AgainAfterSave = QStringLiteral("close the window again");
const QString AgainAfterRead = QStringLiteral("start Parlowen again");

// The system's words only where the sentence alone is too general: "Permission
// denied" after "You do not have permission" says it twice.
QString reasonFor(const Failure<FileError>& failure, const FileOwners& owners)
{
    // Not marked read-only: someone else's, which the user may only read.
    if (failure.code == FileError::ReadOnlyFile && owners.fileOwner && !(*owners.fileOwner == owners.user))
        return QStringLiteral("You may read the file, but not change it.");
    switch (failure.code) {
    case FileError::NoSuchFolder:
    case FileError::LinkLoop:
    case FileError::ReadFailed:
    case FileError::WriteFailed:
        return failure.message();
    default:
        return toString(failure.code);
    }
}

QString fileOfAnother(const FileOwners& owners, const QString& then)
{
    QString advice = QStringLiteral("The file belongs to %1").arg(owners.fileOwner->name);
    if (owners.fileOwner->uid == 0)
        advice += QStringLiteral(" (Parlowen run with sudo leaves its files to root)");
    advice += QStringLiteral(". Make it yours again:\n    sudo chown %1: %2")
                  .arg(owners.user.name, shellQuoted(owners.file));
    if (owners.mayRemoveFile)
        advice +=
            QStringLiteral("\nor remove it, to start afresh:\n    rm -f %1").arg(shellQuoted(owners.file));
    return advice + QStringLiteral("\nthen %1.").arg(then);
}

QString folderAdvice(const FileOwners& owners, const QString& then)
{
    const QString folder = shellQuoted(owners.folder);
    if (owners.folderOwner == owners.user)
        return QStringLiteral("The folder %1 is yours, but marked so that nothing may be saved in it. "
                              "Allow it:\n    chmod u+w %1\nthen %2.")
            .arg(folder, then);
    const QString whose = QStringLiteral("The folder %1 belongs to %2, who has not let you save in it")
                              .arg(folder, owners.folderOwner.name);
    // Outside the home folder it is no leftover of a run with sudo, and not
    // the user's to take.
    if (!owners.folderInHome)
        return whose +
               QStringLiteral(". Run Parlowen from a copy in a folder of your own, then %1.").arg(then);
    const QString sudo = owners.folderOwner.uid == 0
                             ? QStringLiteral(" (a program run with sudo leaves its folders to root)")
                             : QString();
    return whose + sudo +
           QStringLiteral(". If it should be yours, make it yours again:\n    sudo chown %1: %2\nthen %3.")
               .arg(owners.user.name, folder, then);
}

// Advice for a refusal that depends on whose the file and the folder are.
std::optional<QString> ownersAdvice(FileError error, const FileOwners& owners, const QString& then)
{
    const bool refused = error == FileError::ReadOnlyFile || error == FileError::AccessDenied;
    const bool fileKeepsOut = owners.fileOwner && (!owners.fileReadable || !owners.fileWritable);
    if (refused && fileKeepsOut && !(*owners.fileOwner == owners.user))
        return fileOfAnother(owners, then);
    if (refused && fileKeepsOut) {
        return QStringLiteral("Allow yourself to %1 it:\n    chmod u+%2 %3\nthen %4.")
            .arg(owners.fileReadable ? QStringLiteral("change") : QStringLiteral("read and change"),
                 owners.fileReadable ? QStringLiteral("w") : QStringLiteral("rw"), shellQuoted(owners.file),
                 then);
    }
    if (error == FileError::AccessDenied && !owners.folderWritable)
        return folderAdvice(owners, then);
    return std::nullopt;
}

QString adviceFor(FileError error)
{
    switch (error) {
    case FileError::DiskFull:
        return QStringLiteral("Once there is room, close the window again.");
    case FileError::TooLarge:
        return QStringLiteral("A limit on file sizes is set for this session (ulimit -f). Raise it, or start "
                              "Parlowen from a session without it, then close the window again.");
    case FileError::ReadOnlyDisk:
        return QStringLiteral("Run Parlowen from a copy on a disk you can write to.");
    case FileError::IsAFolder:
    case FileError::NotAFile:
    case FileError::IsALink:
    case FileError::Oversized:
        return QStringLiteral("Something other than a settings file has its name. Move it away, then close "
                              "the window again.");
    case FileError::NotText:
    case FileError::NoSections:
        return QStringLiteral("Move it away, or mend it in a text editor, then close the window again.");
    case FileError::ReadOnlyFile:
    case FileError::NoSuchFolder:
    case FileError::LinkLoop:
    case FileError::AccessDenied:
        return QStringLiteral("Make sure you can write to that folder, for example by running Parlowen from "
                              "a folder of your own, then close the window again.");
    case FileError::ReadFailed:
    case FileError::WriteFailed:
        break;
    }
    return QStringLiteral("Check the disk, then close the window again.");
}

} // namespace

QString saveAdvice(const ProfileWriteError& error, const FileOwners& owners)
{
    const auto* fileError = std::get_if<FileError>(&error);
    if (!fileError)
        return QStringLiteral("Correct the field that holds it, then close the window again.");
    return ownersAdvice(*fileError, owners, AgainAfterSave).value_or(adviceFor(*fileError));
}

QString saveFailureExplanation(const Failure<ProfileWriteError>& failure, const FileOwners& owners)
{
    const auto* fileError = std::get_if<FileError>(&failure.code);
    const QString reason = fileError ? reasonFor({*fileError, failure.detail}, owners) : failure.message();
    return QStringLiteral("Reason: %1\n\n%2").arg(reason, saveAdvice(failure.code, owners));
}

bool isNoSettingsFile(FileError error)
{
    return error == FileError::NotText || error == FileError::NoSections;
}

QString readFailureExplanation(const Failure<FileError>& failure, const FileOwners& owners)
{
    QStringList parts{QStringLiteral("Reason: %1").arg(reasonFor(failure, owners))};
    if (const std::optional<QString> advice = ownersAdvice(failure.code, owners, AgainAfterRead))
        parts << *advice;
    if (failure.code == FileError::NotText)
        parts << QStringLiteral("If it holds your settings, open it in a text editor and save it as UTF-8, "
                                "then start Parlowen again.");
    if (failure.code == FileError::NoSections)
        parts << QStringLiteral("If it holds your settings, put them under [Router settings] and "
                                "[DNS settings] in a text editor, then start Parlowen again.");
    parts << (isNoSettingsFile(failure.code)
                  ? QStringLiteral("Meanwhile the window shows the examples and runs no check. Closing it "
                                   "leaves the file as it is; if you change a field, closing asks before it "
                                   "replaces the file.")
                  : QStringLiteral("Meanwhile the window shows the examples and runs no check. Closing it "
                                   "leaves the file as it is, unless you change a field: then it saves what "
                                   "the fields hold."));
    return parts.join(QStringLiteral("\n\n"));
}

QString replacementExplanation(const Failure<FileError>& failure)
{
    const FileOwners nobodyInParticular;
    return QStringLiteral(
               "Reason: %1\n\nReplacing it saves what the fields hold, and what the file holds now "
               "is lost. To keep it, keep the window open and move the file away first.")
        .arg(reasonFor(failure, nobodyInParticular));
}

} // namespace parlowen
