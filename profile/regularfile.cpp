// Reading ordinary files without waiting on pipes.
#include "profile/regularfile.h"

#include <QFile>

#include <cerrno>

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

namespace parlowen {

namespace {

struct Descriptor {
    int fd;
    ~Descriptor()
    {
        if (fd >= 0)
            ::close(fd);
    }
};

// Reads to the end of the file or to limit, whichever is first.
Result<QByteArray, FileError> readToEnd(int fd, qint64 limit)
{
    QByteArray content;
    char buffer[64 * 1024];
    while (limit < 0 || content.size() < limit) {
        const qint64 wanted =
            limit < 0 ? qint64(sizeof buffer) : std::min<qint64>(sizeof buffer, limit - content.size());
        const ssize_t count = ::read(fd, buffer, size_t(wanted));
        if (count < 0 && errno == EINTR)
            continue;
        if (count < 0)
            return fileFailure(errno, FileError::ReadFailed);
        if (count == 0)
            break;
        content.append(buffer, count);
    }
    return content;
}

} // namespace

Result<std::optional<QByteArray>, FileError> readRegularFile(const QString& path, qint64 limit, Links links)
{
    // Opening a pipe for reading would wait for a writer; without blocking
    // it opens at once and is then refused below.
    const int noFollow = links == Links::Refused ? O_NOFOLLOW : 0;
    const Descriptor file{
        ::open(QFile::encodeName(path).constData(), O_RDONLY | O_NONBLOCK | O_CLOEXEC | noFollow)};
    if (file.fd < 0 && errno == ENOENT)
        return std::optional<QByteArray>();
    if (file.fd < 0 && errno == ELOOP && noFollow)
        return Failure<FileError>{FileError::IsALink, {}};
    if (file.fd < 0)
        return fileFailure(errno, FileError::ReadFailed);
    struct stat status = {};
    if (::fstat(file.fd, &status) != 0)
        return fileFailure(errno, FileError::ReadFailed);
    if (S_ISDIR(status.st_mode))
        return Failure<FileError>{FileError::IsAFolder, {}};
    if (!S_ISREG(status.st_mode))
        return Failure<FileError>{FileError::NotAFile, {}};
    auto content = readToEnd(file.fd, limit);
    if (!content)
        return content.failure();
    return std::optional<QByteArray>(std::move(content).value());
}

std::optional<FileIdentity> fileIdentity(const QString& path)
{
    struct stat status = {};
    if (::stat(QFile::encodeName(path).constData(), &status) != 0)
        return std::nullopt;
    return FileIdentity{status.st_dev, status.st_ino};
}

} // namespace parlowen
