// Saving a file all at once: a temporary file beside it, synced, renamed over it.
#include "profile/atomicfile.h"

#include <QByteArray>
#include <QFile>
#include <QRandomGenerator>

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
void removeStaleTemporaries(int folder, const QByteArray& name)
{
    // The listing takes its handle over; the folder's own stays open.
    const int listed = ::openat(folder, ".", O_RDONLY | O_DIRECTORY | O_CLOEXEC);
    DIR* const listing = listed < 0 ? nullptr : ::fdopendir(listed);
    if (!listing) {
        if (listed >= 0)
            ::close(listed);
        return;
    }
    const QByteArray prefix = name + TemporaryFileMarker;
    std::vector<QByteArray> stale;
    while (const dirent* entry = ::readdir(listing)) {
        const QByteArrayView entryName(entry->d_name);
        if (entryName.size() == prefix.size() + RandomPartLength && entryName.startsWith(prefix))
            stale.emplace_back(entryName.toByteArray());
    }
    ::closedir(listing);
    for (const QByteArray& entryName : stale)
        removeIfAbandoned(folder, entryName.constData());
}

QByteArray randomPart()
{
    static constexpr char Letters[] = "ABCDEFGHIJKLMNOPQRSTUVWXYZabcdefghijklmnopqrstuvwxyz0123456789";
    QByteArray part(RandomPartLength, Qt::Uninitialized);
    for (char& letter : part)
        letter = Letters[QRandomGenerator::global()->bounded(int(sizeof Letters - 1))];
    return part;
}

// A new temporary file beside the saved one, locked, readable by its owner
// alone until it is complete, whatever mode the saved file is to have.
class TemporaryFile {
public:
    TemporaryFile(int folder) : m_folder(folder) {}
    Result<void, FileError> open(const QByteArray& target, const struct stat* existing);
    ~TemporaryFile()
    {
        if (m_fd >= 0)
            ::close(m_fd);
        if (!m_renamed && !m_name.isEmpty())
            ::unlinkat(m_folder, m_name.constData(), 0);
    }
    int fd() const { return m_fd; }
    Result<void, FileError> renameTo(const QByteArray& target);

private:
    int m_folder;
    QByteArray m_name;
    mode_t m_mode = S_IRUSR | S_IWUSR;
    int m_fd = -1;
    bool m_renamed = false;
};

Result<void, FileError> TemporaryFile::open(const QByteArray& target, const struct stat* existing)
{
    // A cleaner in another process may take a brand-new file for a stale one
    // in the moment before it is locked; then it is its to remove.
    for (int attempt = 0; m_fd < 0; ++attempt) {
        const QByteArray name = target + TemporaryFileMarker + randomPart();
        const int fd = ::openat(m_folder, name.constData(),
                                O_RDWR | O_CREAT | O_EXCL | O_NOFOLLOW | O_CLOEXEC, S_IRUSR | S_IWUSR);
        if (fd < 0 && errno == EEXIST && attempt < 100)
            continue;
        if (fd < 0)
            return fileFailure(errno, FileError::WriteFailed);
        struct stat status = {};
        const bool locked = ::flock(fd, LOCK_EX | LOCK_NB) == 0 || errno != EWOULDBLOCK;
        if (locked && ::fstat(fd, &status) == 0 && status.st_nlink > 0) {
            m_name = name;
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
    if (existing)
        m_mode = existing->st_mode & 07777;
    // Whatever the umask left: the owner's rights, and no one else's yet.
    if (::fchmod(m_fd, S_IRUSR | S_IWUSR) != 0)
        return fileFailure(errno, FileError::WriteFailed);
    return {};
}

Result<void, FileError> TemporaryFile::renameTo(const QByteArray& target)
{
    // Only the complete content may be seen by whoever the file's mode lets in.
    if (::fchmod(m_fd, m_mode) != 0 || ::fsync(m_fd) != 0)
        return fileFailure(errno, FileError::WriteFailed);
    if (::renameat(m_folder, m_name.constData(), m_folder, target.constData()) != 0)
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

// What has the name in folder now, if anything: only an ordinary file that
// may be written is replaced, and a link is never followed.
Result<bool, FileError> inspectTarget(int folder, const QByteArray& name, struct stat& status)
{
    if (::fstatat(folder, name.constData(), &status, AT_SYMLINK_NOFOLLOW) != 0)
        return errno == ENOENT ? Result<bool, FileError>(false) : fileFailure(errno, FileError::WriteFailed);
    if (S_ISDIR(status.st_mode))
        return Failure<FileError>{FileError::IsAFolder, {}};
    if (S_ISLNK(status.st_mode))
        return Failure<FileError>{FileError::IsALink, {}};
    if (!S_ISREG(status.st_mode))
        return Failure<FileError>{FileError::NotAFile, {}};
    // Renaming over it would succeed, but a file marked read-only is meant to stay as it is.
    if (::faccessat(folder, name.constData(), W_OK, AT_EACCESS) != 0)
        return errno == EACCES ? Failure<FileError>{FileError::ReadOnlyFile, {}}
                               : fileFailure(errno, FileError::WriteFailed);
    return true;
}

QByteArray nameOf(const QByteArray& path)
{
    return path.sliced(path.lastIndexOf('/') + 1);
}

} // namespace

Result<OpenFolder, FileError> OpenFolder::open(const QString& path)
{
    const int fd = ::open(QFile::encodeName(path).constData(), O_RDONLY | O_DIRECTORY | O_CLOEXEC);
    if (fd < 0)
        return fileFailure(errno, FileError::WriteFailed);
    return OpenFolder(fd);
}

OpenFolder::~OpenFolder()
{
    if (m_fd >= 0)
        ::close(m_fd);
}

void removeAbandonedSaves(const OpenFolder& folder, const QByteArray& name)
{
    removeStaleTemporaries(folder.fd(), name);
}

Result<void, FileError> writeFileInFolder(const OpenFolder& folder, const QByteArray& name,
                                          QByteArrayView content)
{
    struct stat status = {};
    const auto exists = inspectTarget(folder.fd(), name, status);
    if (!exists)
        return exists.failure();

    removeStaleTemporaries(folder.fd(), name);
    TemporaryFile file(folder.fd());
    if (auto opened = file.open(name, exists.value() ? &status : nullptr); !opened)
        return opened;
    if (auto written = writeAll(file.fd(), content); !written)
        return written;
    if (auto renamed = file.renameTo(name); !renamed)
        return renamed;
    // The rename is only on disk once the folder is. Some file systems
    // cannot sync a folder, and say so with EINVAL.
    if (::fsync(folder.fd()) != 0 && errno != EINVAL)
        return fileFailure(errno, FileError::WriteFailed);
    return {};
}

void removeAbandonedSaves(const QString& path)
{
    if (const auto target = resolveLinks(QFile::encodeName(path))) {
        if (const auto folder = OpenFolder::open(QFile::decodeName(folderOf(target.value()))))
            removeAbandonedSaves(folder.value(), nameOf(target.value()));
    }
}

Result<void, FileError> writeFileAtomically(const QString& path, QByteArrayView content)
{
    // The links are followed here, once; from the folder on, nothing is.
    const auto target = resolveLinks(QFile::encodeName(path));
    if (!target)
        return target.failure();
    const auto folder = OpenFolder::open(QFile::decodeName(folderOf(target.value())));
    if (!folder)
        return folder.failure();
    return writeFileInFolder(folder.value(), nameOf(target.value()), content);
}

} // namespace parlowen
