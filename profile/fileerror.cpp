// Why a file could not be read or saved.
#include "profile/fileerror.h"

#include <QByteArray>

#include <cerrno>
#include <cstring>

namespace parlowen {

QString toString(FileError error)
{
    switch (error) {
    case FileError::IsAFolder:
        return QStringLiteral("A folder has the file's name.");
    case FileError::NotAFile:
        return QStringLiteral("It is a pipe, a device or a socket, not an ordinary file.");
    case FileError::IsALink:
        return QStringLiteral("It is a symbolic link, which is not followed here.");
    case FileError::NoSuchFolder:
        return QStringLiteral("The folder it belongs in does not exist.");
    case FileError::LinkLoop:
        return QStringLiteral("Its symbolic links lead in a circle and never reach a file.");
    case FileError::ReadOnlyFile:
        return QStringLiteral("The file is marked read-only.");
    case FileError::AccessDenied:
        return QStringLiteral("You do not have permission to read or change the file, or its folder.");
    case FileError::ReadOnlyDisk:
        return QStringLiteral("The disk it is on can only be read.");
    case FileError::DiskFull:
        return QStringLiteral("The disk is full, or your share of it is used up. Make room and try again.");
    case FileError::TooLarge:
        return QStringLiteral("The file would be larger than this program is allowed to write "
                              "(a file size limit is set).");
    case FileError::NotText:
        return QStringLiteral("It holds NUL bytes, which no settings file holds: it is not a text file, or it "
                              "was saved as UTF-16 without the byte-order mark that Notepad puts first.");
    case FileError::NoSections:
        return QStringLiteral("None of its lines is a section such as [Router settings], so it holds no "
                              "settings.");
    case FileError::Oversized:
        return QStringLiteral("It is larger than this program reads from such a file, so none of it was "
                              "read: check that it is the right file.");
    case FileError::ReadFailed:
        return QStringLiteral("It could not be read.");
    case FileError::WriteFailed:
        return QStringLiteral("It could not be written.");
    }
    return {};
}

Failure<FileError> fileFailure(int errorNumber, FileError otherwise)
{
    const QString words = QString::fromLocal8Bit(std::strerror(errorNumber));
    switch (errorNumber) {
    case EISDIR:
        return {FileError::IsAFolder, words};
    case ENOENT:
    case ENOTDIR:
        return {FileError::NoSuchFolder, words};
    case ELOOP:
        return {FileError::LinkLoop, words};
    case EACCES:
    case EPERM:
        return {FileError::AccessDenied, words};
    case EROFS:
        return {FileError::ReadOnlyDisk, words};
    case ENOSPC:
    case EDQUOT:
        return {FileError::DiskFull, words};
    case EFBIG:
        return {FileError::TooLarge, words};
    default:
        return {otherwise, words};
    }
}

} // namespace parlowen
