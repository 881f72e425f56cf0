// Tests of the one way the program saves a file: what it replaces, what it
// refuses, and faults from outside (a file size limit, a full disk).
#include "common/filesizelimit.h"
#include "profile/atomicfile.h"
#include "profile/regularfile.h"
#include "settings/saveadvice.h"
#include "support/testfiles.h"

#include <QDir>
#include <QFile>
#include <QTemporaryDir>
#include <QTest>

#include <csignal>
#include <cstring>
#include <functional>
#include <vector>

#include <dirent.h>
#include <fcntl.h>
#include <sched.h>
#include <sys/file.h>
#include <sys/mount.h>
#include <sys/resource.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

using namespace parlowen;
using namespace parlowen::test;

namespace {

// Our temporary files anywhere under folder.
QStringList temporaryFiles(const QString& folder)
{
    QStringList found;
    const auto entries =
        QDir(folder).entryInfoList(QDir::AllEntries | QDir::Hidden | QDir::NoDotAndDotDot | QDir::System);
    for (const QFileInfo& entry : entries) {
        if (entry.isDir() && !entry.isSymLink())
            found += temporaryFiles(entry.filePath());
        else if (entry.fileName().contains(QLatin1String(TemporaryFileMarker)))
            found += entry.filePath();
    }
    return found;
}

QString message(const Result<void, FileError>& result)
{
    return result ? QStringLiteral("saved") : result.failure().message();
}

// Runs scenario in a child process with a tmpfs of the given size of its
// own, mounted at a private mount point, and returns what the child reported:
// empty when all went well, "SKIP: ..." when no tmpfs could be mounted.
QString onPrivateTmpfs(const QString& mountPoint, int kibibytes,
                       const std::function<QString(const QString&)>& scenario)
{
    int report[2];
    if (::pipe(report) != 0)
        return QStringLiteral("pipe failed");
    const pid_t child = ::fork();
    if (child == 0) {
        ::close(report[0]);
        const uid_t uid = ::getuid();
        const gid_t gid = ::getgid();
        QByteArray said;
        // As root a mount namespace is enough; anyone else first needs a
        // user namespace, in which they are root.
        const bool unshared = ::unshare(CLONE_NEWNS) == 0 || ::unshare(CLONE_NEWUSER | CLONE_NEWNS) == 0;
        if (unshared && uid != 0) {
            const auto put = [](const char* file, const QByteArray& line) {
                QFile map(QString::fromLatin1(file));
                return map.open(QIODevice::WriteOnly) && map.write(line) == line.size();
            };
            put("/proc/self/setgroups", "deny");
            put("/proc/self/uid_map", "0 " + QByteArray::number(uid) + " 1");
            put("/proc/self/gid_map", "0 " + QByteArray::number(gid) + " 1");
        }
        const QByteArray options = "size=" + QByteArray::number(kibibytes) + "k,mode=0700";
        if (!unshared || ::mount(nullptr, "/", nullptr, MS_REC | MS_PRIVATE, nullptr) != 0 ||
            ::mount("tmpfs", native(mountPoint).constData(), "tmpfs", 0, options.constData()) != 0)
            said = "SKIP: no private tmpfs can be mounted here: " + QByteArray(std::strerror(errno));
        else
            said = scenario(mountPoint).toUtf8();
        [[maybe_unused]] const ssize_t written = ::write(report[1], said.constData(), size_t(said.size()));
        ::_exit(0);
    }
    ::close(report[1]);
    QByteArray said;
    char buffer[4096];
    for (ssize_t count; (count = ::read(report[0], buffer, sizeof buffer)) > 0;)
        said.append(buffer, count);
    ::close(report[0]);
    int status = 0;
    ::waitpid(child, &status, 0);
    if (!WIFEXITED(status))
        return QStringLiteral("the child process died");
    return QString::fromUtf8(said);
}

// The modes of our temporary files in a folder at the moment a file size
// limit stops a save: the signal comes while the writer waits in write(),
// holding no lock a listing could need.
DIR* g_watchedFolder = nullptr;
std::vector<mode_t> g_modesAtTheLimit;

void noteTemporaryFileModes(int)
{
    ::rewinddir(g_watchedFolder);
    while (const dirent* entry = ::readdir(g_watchedFolder)) {
        struct stat status = {};
        if (std::strstr(entry->d_name, TemporaryFileMarker) &&
            ::fstatat(::dirfd(g_watchedFolder), entry->d_name, &status, AT_SYMLINK_NOFOLLOW) == 0)
            g_modesAtTheLimit.push_back(status.st_mode & 07777);
    }
}

// Fills the file system that holds folder until no byte more fits, then
// frees free bytes again.
bool fillLeaving(const QString& folder, qint64 free)
{
    const int fd = ::open(native(folder + "/filler").constData(), O_WRONLY | O_CREAT | O_TRUNC, 0600);
    const QByteArray block(4096, 'f');
    off_t size = 0;
    for (ssize_t count; (count = ::write(fd, block.constData(), size_t(block.size()))) > 0;)
        size += count;
    const bool full = errno == ENOSPC;
    const bool freed = ::ftruncate(fd, std::max<off_t>(0, size - free)) == 0;
    ::close(fd);
    return full && freed;
}

} // namespace

class TestAtomicFile : public QObject {
    Q_OBJECT

    std::unique_ptr<QTemporaryDir> m_dir;

private slots:
    void init()
    {
        m_dir = std::make_unique<QTemporaryDir>();
        QVERIFY(m_dir->isValid());
    }

    void replacesTheFileThePathLeadsTo_data()
    {
        QTest::addColumn<QStringList>("links"); // name=target, made in order
        QTest::addColumn<QString>("saved");     // the path given
        QTest::addColumn<QString>("replaced");  // the file that gets the content
        QTest::newRow("a new file") << QStringList{} << "new.ini"
                                    << "new.ini";
        QTest::newRow("a link to a file beside it") << QStringList{"link.ini=real.ini"} << "link.ini"
                                                    << "real.ini";
        QTest::newRow("a relative link into another folder")
            << QStringList{"sub/link.ini=../other/real.ini"} << "sub/link.ini"
            << "other/real.ini";
        QTest::newRow("a chain of links, one of them absolute")
            << QStringList{"a.ini={dir}/b.ini", "b.ini=other/real.ini"} << "a.ini"
            << "other/real.ini";
        QTest::newRow("a link to a file not there yet") << QStringList{"link.ini=absent.ini"} << "link.ini"
                                                        << "absent.ini";
    }
    void replacesTheFileThePathLeadsTo()
    {
        QFETCH(QStringList, links);
        QFETCH(QString, saved);
        QFETCH(QString, replaced);
        QVERIFY(QDir(m_dir->path()).mkpath("sub") && QDir(m_dir->path()).mkpath("other"));
        for (const char* file : {"real.ini", "other/real.ini"})
            writeBytes(m_dir->filePath(file), "old");
        for (QString link : links) {
            link.replace("{dir}", m_dir->path());
            const QStringList parts = link.split('=');
            QCOMPARE(::symlink(native(parts[1]).constData(), native(m_dir->filePath(parts[0])).constData()),
                     0);
        }

        const auto result = writeFileAtomically(m_dir->filePath(saved), "new content");
        QVERIFY2(result, qPrintable(message(result)));
        QCOMPARE(readBytes(m_dir->filePath(replaced)), QByteArray("new content"));
        for (const QString& link : links)
            QVERIFY2(QFileInfo(m_dir->filePath(link.section('=', 0, 0))).isSymLink(), qPrintable(link));
        QCOMPARE(temporaryFiles(m_dir->path()), QStringList());
    }

    void theReplacedFileKeepsItsModeOrIsPrivate_data()
    {
        QTest::addColumn<int>("mode"); // 0: no file yet
        QTest::addColumn<bool>("throughLink");
        QTest::newRow("a new file is its owner's alone, whatever the umask") << 0 << false;
        QTest::newRow("a new file behind a link is its owner's alone") << 0 << true;
        QTest::newRow("a file readable by its group stays so") << 0640 << false;
        QTest::newRow("the file behind a link keeps its mode") << 0604 << true;
    }
    void theReplacedFileKeepsItsModeOrIsPrivate()
    {
        QFETCH(int, mode);
        QFETCH(bool, throughLink);
        const QString target = m_dir->filePath("target.ini");
        if (mode) {
            writeBytes(target, "old");
            QCOMPARE(::chmod(native(target).constData(), mode_t(mode)), 0);
        }
        const QString path = throughLink ? m_dir->filePath("link.ini") : target;
        if (throughLink)
            QCOMPARE(::symlink("target.ini", native(path).constData()), 0);
        const mode_t oldMask = ::umask(0);
        const auto result = writeFileAtomically(path, "new");
        ::umask(oldMask);
        QVERIFY2(result, qPrintable(message(result)));
        struct stat status = {};
        QCOMPARE(::stat(native(target).constData(), &status), 0);
        QCOMPARE(status.st_mode & 07777, mode_t(mode ? mode : 0600));
    }

    void refusesWhatItMayNotReplace_data()
    {
        QTest::addColumn<QString>("kind");
        QTest::addColumn<FileError>("error");
        QTest::newRow("a folder of that name") << "folder" << FileError::IsAFolder;
        QTest::newRow("a pipe, which is not waited on") << "pipe" << FileError::NotAFile;
        QTest::newRow("a link to a pipe") << "link to pipe" << FileError::NotAFile;
        QTest::newRow("links that lead in a circle") << "loop" << FileError::LinkLoop;
        QTest::newRow("a folder on the way that does not exist")
            << "missing folder" << FileError::NoSuchFolder;
        QTest::newRow("a file on the way where a folder should be")
            << "file as folder" << FileError::NoSuchFolder;
    }
    void refusesWhatItMayNotReplace()
    {
        QFETCH(QString, kind);
        QFETCH(FileError, error);
        const QString path = m_dir->filePath(kind == "missing folder"   ? "absent/x.ini"
                                             : kind == "file as folder" ? "plain/x.ini"
                                                                        : "x.ini");
        const QByteArray pipe = native(m_dir->filePath("pipe"));
        if (kind == "folder")
            QVERIFY(QDir(m_dir->path()).mkdir("x.ini"));
        if (kind == "pipe")
            QCOMPARE(::mkfifo(native(path).constData(), 0600), 0);
        if (kind == "link to pipe") {
            QCOMPARE(::mkfifo(pipe.constData(), 0600), 0);
            QCOMPARE(::symlink(pipe.constData(), native(path).constData()), 0);
        }
        if (kind == "loop") {
            QCOMPARE(::symlink("y.ini", native(path).constData()), 0);
            QCOMPARE(::symlink("x.ini", native(m_dir->filePath("y.ini")).constData()), 0);
        }
        if (kind == "file as folder")
            writeBytes(m_dir->filePath("plain"), "a file");
        const QStringList before = QDir(m_dir->path()).entryList(QDir::AllEntries | QDir::System);

        const auto result = writeFileAtomically(path, "new");
        QVERIFY(!result);
        QVERIFY2(result.error() == error, qPrintable(result.failure().message()));
        QCOMPARE(QDir(m_dir->path()).entryList(QDir::AllEntries | QDir::System), before);
    }

    void aFileSizeLimitFailsTheSaveAndKeepsTheOldFile_data()
    {
        QTest::addColumn<int>("limit");
        QTest::addColumn<int>("size");
        QTest::newRow("16 bytes allowed, a state file's worth written") << 16 << 300;
        QTest::newRow("a first write cut short, the next refused") << 4096 << 100'000;
        QTest::newRow("no byte allowed") << 0 << 10;
        QTest::newRow("content that just fits") << 300 << 300;
    }
    void aFileSizeLimitFailsTheSaveAndKeepsTheOldFile()
    {
        QFETCH(int, limit);
        QFETCH(int, size);
        const QString path = m_dir->filePath("limited.ini");
        writeBytes(path, "old content");
        QCOMPARE(::chmod(native(path).constData(), 0644), 0);
        // Not killed by the limit, as in the programs: the save sees the
        // error, and the test looks at the half-written file meanwhile.
        g_watchedFolder = ::opendir(native(m_dir->path()).constData());
        g_modesAtTheLimit.reserve(8);
        g_modesAtTheLimit.clear();
        std::signal(SIGXFSZ, noteTemporaryFileModes);
        struct rlimit old = {};
        ::getrlimit(RLIMIT_FSIZE, &old);
        const struct rlimit limited = {rlim_t(limit), old.rlim_max};
        QCOMPARE(::setrlimit(RLIMIT_FSIZE, &limited), 0);
        const auto result = writeFileAtomically(path, QByteArray(size, 'n'));
        ::setrlimit(RLIMIT_FSIZE, &old);
        makeFileSizeLimitAnError();
        ::closedir(g_watchedFolder);
        // Half the content must not be readable by those the old mode lets in.
        QCOMPARE(g_modesAtTheLimit, std::vector<mode_t>(size > limit ? 1 : 0, 0600));

        if (size <= limit) {
            QVERIFY2(result, qPrintable(message(result)));
            QCOMPARE(readBytes(path), QByteArray(size, 'n'));
        } else {
            QVERIFY(!result);
            QVERIFY2(result.error() == FileError::TooLarge, qPrintable(result.failure().message()));
            QCOMPARE(readBytes(path), QByteArray("old content"));
        }
        QCOMPARE(temporaryFiles(m_dir->path()), QStringList());
    }

    void aFullDiskFailsTheSaveAndKeepsTheOldFile_data()
    {
        QTest::addColumn<int>("free");
        QTest::addColumn<int>("size");
        QTest::newRow("not a byte free") << 0 << 100;
        QTest::newRow("one page free, the content needs three") << 4096 << 3 * 4096;
        QTest::newRow("room for the content beside the old file") << 8192 << 4096;
    }
    void aFullDiskFailsTheSaveAndKeepsTheOldFile()
    {
        QFETCH(int, free);
        QFETCH(int, size);
        const QString said = onPrivateTmpfs(m_dir->path(), 256, [free, size](const QString& disk) {
            const QString path = disk + "/Settings.ini";
            const QByteArray old(100, 'o'), content(size, 'n');
            QFile file(path);
            if (!file.open(QIODevice::WriteOnly) || file.write(old) != old.size() || !file.flush() ||
                !fillLeaving(disk, free))
                return QStringLiteral("the old file or the filler could not be made");
            const auto result = writeFileAtomically(path, content);
            const bool fits = result.ok();
            const QByteArray now = readBytes(path);
            if (!fits && result.error() != FileError::DiskFull)
                return QStringLiteral("wrong error: ") + result.failure().message();
            // The window's advice fits the cause: room, not other rights.
            if (!fits && !saveAdvice(result.error(), fileOwnersOf(path)).contains("room"))
                return QStringLiteral("advice: ") + saveAdvice(result.error(), fileOwnersOf(path));
            if (now != (fits ? content : old))
                return QStringLiteral("the file holds %1 bytes").arg(now.size());
            if (!temporaryFiles(disk).isEmpty())
                return QStringLiteral("left behind: ") + temporaryFiles(disk).join(' ');
            return fits == (free >= size) ? QString() : QStringLiteral("saved: ") + message(result);
        });
        if (said.startsWith("SKIP: "))
            QSKIP(qPrintable(said.mid(6)));
        QVERIFY2(said.isEmpty(), qPrintable(said));
    }

    void aStaleTemporaryFileIsRemovedOnlyWhenItsSaveIsOver_data()
    {
        QTest::addColumn<QString>("name");
        QTest::addColumn<bool>("locked"); // by a save in progress in another process
        QTest::addColumn<bool>("removed");
        const QString ours = QStringLiteral("Settings.ini") + TemporaryFileMarker;
        QTest::newRow("one a killed save left") << ours + "a1B2c3" << false << true;
        QTest::newRow("one a save in progress holds") << ours + "a1B2c3" << true << false;
        QTest::newRow("one of another file's saves")
            << "Other.ini" + QString(TemporaryFileMarker) + "a1B2c3" << false << false;
        QTest::newRow("a name that only starts like ours") << ours + "a1B2c3.bak" << false << false;
        QTest::newRow("a temporary file of another program") << "Settings.ini.a1B2c3" << false << false;
    }
    void aStaleTemporaryFileIsRemovedOnlyWhenItsSaveIsOver()
    {
        QFETCH(QString, name);
        QFETCH(bool, locked);
        QFETCH(bool, removed);
        const QString stale = m_dir->filePath(name);
        writeBytes(stale, "Password=secret");
        int ready[2];
        QCOMPARE(::pipe(ready), 0);
        const pid_t holder = locked ? ::fork() : -1;
        if (holder == 0) {
            const int fd = ::open(native(stale).constData(), O_RDONLY);
            ::flock(fd, LOCK_EX);
            [[maybe_unused]] const ssize_t said = ::write(ready[1], "x", 1);
            ::pause();
            ::_exit(0);
        }
        char byte = 0;
        if (locked)
            QCOMPARE(::read(ready[0], &byte, 1), ssize_t(1));
        ::close(ready[0]);
        ::close(ready[1]);

        const auto result = writeFileAtomically(m_dir->filePath("Settings.ini"), "[S]\nK=v\n");
        if (locked) {
            ::kill(holder, SIGKILL);
            ::waitpid(holder, nullptr, 0);
        }
        QVERIFY2(result, qPrintable(message(result)));
        QCOMPARE(QFile::exists(stale), !removed);
    }
};

QTEST_GUILESS_MAIN(TestAtomicFile)
#include "tst_atomicfile.moc"
