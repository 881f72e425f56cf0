// Reading ordinary files without waiting on pipes.
#include "profile/regularfile.h"

#include <QFile>
#include <QLocale>

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

Failure<FileError> tooLarge(qint64 size, qint64 largest)
{
    const QLocale english(QLocale::English);
    const QString limit = english.formattedDataSize(largest, 0);
    if (size < 0)
        return {FileError::Oversized,
                QStringLiteral("it grew past the %1 read here while it was read").arg(limit)};
    return {
        FileError::Oversized,
        QStringLiteral("it holds %1 bytes, more than the %2 read here").arg(english.toString(size), limit)};
}

// Reads to the end of the file, refusing it once it holds more than largest.
Result<QByteArray, FileError> readToEnd(int fd, qint64 largest)
{
    QByteArray content;
    char buffer[64 * 1024];
    // One byte past the limit tells a file that grew from one that ends there.
    while (content.size() <= largest) {
        const qint64 wanted = std::min<qint64>(sizeof buffer, largest + 1 - content.size());
        const ssize_t count = ::read(fd, buffer, size_t(wanted));
        if (count < 0 && errno == EINTR)
            continue;
        if (count < 0)
            return fileFailure(errno, FileError::ReadFailed);
        if (count == 0)
            break;
        content.append(buffer, count);
    }
    if (content.size() > largest)
        return tooLarge(-1, largest);
    return content;
}

} // namespace

Result<std::optional<QByteArray>, FileError> readRegularFile(const QString& path, qint64 largest, Links links)
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
    if (status.st_size > largest)
        return tooLarge(status.st_size, largest);
    auto content = readToEnd(file.fd, largest);
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
