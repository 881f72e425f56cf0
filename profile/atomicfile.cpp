// Saving a file all at once: a temporary file beside it, synced, renamed over it.
#include "profile/atomicfile.h"

#include <QByteArray>
#include <QFile>

#include <cerrno>
#include <climits>
#include <vector>

#include <dirent.h>
#include <fcntl.h>
#include <sys/file.h>
#include <sys/stat.h>
#include <unistd.h>

namespace parlowen {

namespace {

// As many as the kernel itself follows before it gives up with ELOOP.
constexpr int MaxLinkHops = 40;
constexpr int RandomPartLength = 6;

QByteArray folderOf(const QByteArray& path)
{
    const qsizetype slash = path.lastIndexOf('/');
    return slash < 0 ? QByteArray(".") : slash == 0 ? QByteArray("/") : path.first(slash);
}

// The file a path finally leads to. The last link may point at a file that
// does not exist yet; that is the file the save creates.
Result<QByteArray, FileError> resolveLinks(QByteArray path)
{
    for (int hop = 0; hop < MaxLinkHops; ++hop) {
        struct stat status = {};
        if (::lstat(path.constData(), &status) != 0 || !S_ISLNK(status.st_mode))
            return path;
        char target[PATH_MAX];
        const ssize_t length = ::readlink(path.constData(), target, sizeof target);
        if (length < 0 || length == ssize_t(sizeof target))
            return fileFailure(length < 0 ? errno : ENAMETOOLONG, FileError::WriteFailed);
        const QByteArray next(target, length);
        path = next.startsWith('/') ? next : folderOf(path) + '/' + next;
    }
    return fileFailure(ELOOP, FileError::WriteFailed);
}

struct Descriptor {
    int fd = -1;
    Descriptor(int fd) : fd(fd) {}
    Descriptor(const Descriptor&) = delete;
    Descriptor& operator=(const Descriptor&) = delete;
    ~Descriptor()
    {
        if (fd >= 0)
            ::close(fd);
    }
};

// Removes the named temporary file unless a save still holds its lock: a
// save that is alive keeps it locked from creation to rename, and the lock
// of a killed one died with it.
void removeIfAbandoned(int folder, const char* name)
{
    const Descriptor file(::openat(folder, name, O_RDONLY | O_NOFOLLOW | O_NONBLOCK | O_CLOEXEC));
    struct stat opened = {}, named = {};
    if (file.fd < 0 || ::flock(file.fd, LOCK_EX | LOCK_NB) != 0 || ::fstat(file.fd, &opened) != 0 ||
        ::fstatat(folder, name, &named, AT_SYMLINK_NOFOLLOW) != 0)
        return;
    // Still the file that was locked, and not something put in its place.
    if (S_ISREG(opened.st_mode) && opened.st_dev == named.st_dev && opened.st_ino == named.st_ino)
        ::unlinkat(folder, name, 0);
}

// A killed save leaves its temporary file, which may hold passwords.
void removeStaleTemporaries(const QByteArray& folder, const QByteArray& name)
{
    DIR* const listing = ::opendir(folder.constData());
    if (!listing)
        return;
    const QByteArray prefix = name + TemporaryFileMarker;
    std::vector<QByteArray> stale;
    while (const dirent* entry = ::readdir(listing)) {
        const QByteArrayView entryName(entry->d_name);
        if (entryName.size() == prefix.size() + RandomPartLength && entryName.startsWith(prefix))
            stale.emplace_back(entryName.toByteArray());
    }
    for (const QByteArray& entryName : stale)
        removeIfAbandoned(::dirfd(listing), entryName.constData());
    ::closedir(listing);
}

// A new temporary file beside target, locked, with the mode and owner the
// saved file is to have, set before any byte of content is in it.
class TemporaryFile {
public:
    Result<void, FileError> open(const QByteArray& target, const struct stat* existing);
    ~TemporaryFile()
    {
        if (m_fd >= 0)
            ::close(m_fd);
        if (!m_renamed && !m_path.isEmpty())
            ::unlink(m_path.constData());
    }
    int fd() const { return m_fd; }
    Result<void, FileError> renameTo(const QByteArray& target);

private:
    QByteArray m_path;
    int m_fd = -1;
    bool m_renamed = false;
};

Result<void, FileError> TemporaryFile::open(const QByteArray& target, const struct stat* existing)
{
    // A cleaner in another process may take a brand-new file for a stale one
    // in the moment before it is locked; then it is its to remove.
    for (int attempt = 0; m_fd < 0; ++attempt) {
        QByteArray path = target + TemporaryFileMarker + QByteArray(RandomPartLength, 'X');
        const int fd = ::mkostemp(path.data(), O_CLOEXEC);
        if (fd < 0)
            return fileFailure(errno, FileError::WriteFailed);
        struct stat status = {};
        const bool locked = ::flock(fd, LOCK_EX | LOCK_NB) == 0 || errno != EWOULDBLOCK;
        if (locked && ::fstat(fd, &status) == 0 && status.st_nlink > 0) {
            m_path = path;
            m_fd = fd;
        } else {
            ::close(fd);
            if (attempt == 8)
                return fileFailure(EBUSY, FileError::WriteFailed);
        }
    }
    // A save run with more rights (sudo) leaves the file its owner's, so that
    // they can still read it; a plain user cannot give a file away, and then
    // it becomes theirs, as with any editor. Owner first: chown clears the
    // set-ID bits.
    if (existing && (existing->st_uid != ::geteuid() || existing->st_gid != ::getegid()) &&
        ::fchown(m_fd, existing->st_uid, existing->st_gid) != 0) {
        // Kept as the saving user's file.
    }
    if (::fchmod(m_fd, existing ? existing->st_mode & 07777 : S_IRUSR | S_IWUSR) != 0)
        return fileFailure(errno, FileError::WriteFailed);
    return {};
}

Result<void, FileError> TemporaryFile::renameTo(const QByteArray& target)
{
    if (::fsync(m_fd) != 0)
        return fileFailure(errno, FileError::WriteFailed);
    if (::rename(m_path.constData(), target.constData()) != 0)
        return fileFailure(errno, FileError::WriteFailed);
    m_renamed = true;
    return {};
}

Result<void, FileError> writeAll(int fd, QByteArrayView content)
{
    for (qsizetype written = 0; written < content.size();) {
        const ssize_t count = ::write(fd, content.data() + written, size_t(content.size() - written));
        if (count < 0 && errno == EINTR)
            continue;
        if (count <= 0)
            return fileFailure(count < 0 ? errno : EIO, FileError::WriteFailed);
        // A short count is no error yet: the next write says why it stopped.
        written += count;
    }
    return {};
}

// The rename is only on disk once the folder is.
Result<void, FileError> syncFolder(const QByteArray& folder)
{
    const Descriptor handle(::open(folder.constData(), O_RDONLY | O_DIRECTORY | O_CLOEXEC));
    // Some file systems cannot sync a folder, and say so with EINVAL.
    if (handle.fd >= 0 && ::fsync(handle.fd) != 0 && errno != EINVAL)
        return fileFailure(errno, FileError::WriteFailed);
    return {};
}

// What is at target now, if anything: only an ordinary file that may be
// written is replaced.
Result<bool, FileError> inspectTarget(const QByteArray& target, struct stat& status)
{
    if (::lstat(target.constData(), &status) != 0)
        return errno == ENOENT ? Result<bool, FileError>(false) : fileFailure(errno, FileError::WriteFailed);
    if (S_ISDIR(status.st_mode))
        return Failure<FileError>{FileError::IsAFolder, {}};
    if (!S_ISREG(status.st_mode))
        return Failure<FileError>{FileError::NotAFile, {}};
    // Renaming over it would succeed, but a file marked read-only is meant to stay as it is.
    if (::faccessat(AT_FDCWD, target.constData(), W_OK, AT_EACCESS) != 0)
        return errno == EACCES ? Failure<FileError>{FileError::ReadOnlyFile, {}}
                               : fileFailure(errno, FileError::WriteFailed);
    return true;
}

QByteArray nameOf(const QByteArray& path)
{
    return path.sliced(path.lastIndexOf('/') + 1);
}

} // namespace

void removeAbandonedSaves(const QString& path)
{
    if (const auto target = resolveLinks(QFile::encodeName(path)))
        removeStaleTemporaries(folderOf(target.value()), nameOf(target.value()));
}

Result<void, FileError> writeFileAtomically(const QString& path, QByteArrayView content)
{
    const auto target = resolveLinks(QFile::encodeName(path));
    if (!target)
        return target.failure();
    struct stat status = {};
    const auto exists = inspectTarget(target.value(), status);
    if (!exists)
        return exists.failure();

    removeStaleTemporaries(folderOf(target.value()), nameOf(target.value()));
    TemporaryFile file;
    if (auto opened = file.open(target.value(), exists.value() ? &status : nullptr); !opened)
        return opened;
    if (auto written = writeAll(file.fd(), content); !written)
        return written;
    if (auto renamed = file.renameTo(target.value()); !renamed)
        return renamed;
    return syncFolder(folderOf(target.value()));
}

} // namespace parlowen
