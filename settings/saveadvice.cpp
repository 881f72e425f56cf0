// What the user can do when the settings could not be saved.
#include "settings/saveadvice.h"

namespace parlowen {

namespace {
QString adviceFor(FileError error)
{
    switch (error) {
    case FileError::DiskFull:
        return QStringLiteral("Make room on that disk (or within your quota), then close the window again.");
    case FileError::TooLarge:
        return QStringLiteral("A limit on file sizes is set for this session (ulimit -f). Raise it, or start "
                              "Parlowen from a session without it, then close the window again.");
    case FileError::ReadOnlyDisk:
        return QStringLiteral("That disk is mounted read-only. Run Parlowen from a copy on a disk you can "
                              "write to.");
    case FileError::IsAFolder:
    case FileError::NotAFile:
    case FileError::IsALink:
    case FileError::Oversized:
        return QStringLiteral("Something other than a settings file has its name. Move it away, then close "
                              "the window again.");
    case FileError::ReadOnlyFile:
        return QStringLiteral("The file is marked read-only. Allow writing to it (chmod u+w), then close the "
                              "window again.");
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

QString saveAdvice(const ProfileWriteError& error)
{
    if (const auto* fileError = std::get_if<FileError>(&error))
        return adviceFor(*fileError);
    return QStringLiteral("Correct the field that holds it, then close the window again.");
}

} // namespace parlowen
