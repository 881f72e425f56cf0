// Tests of the profile-file engine's writer against real files in temporary
// folders: what each save leaves in the file, its mode and its reasons.

#include "common/filesizelimit.h"
#include "profile/profilefile.h"
#include "profile/regularfile.h"
#include "support/testfiles.h"

#include <QDir>
#include <QFile>
#include <QTemporaryDir>
#include <QTest>

#include <csignal>

#include <sys/resource.h>
#include <sys/stat.h>
#include <unistd.h>

using namespace parlowen;
using namespace parlowen::test;

namespace {

Result<void, ProfileWriteError> writeOne(const QString& path, const QString& section, const QString& key,
                                         const QString& value)
{
    return writeProfileStrings(path, {{section, key, value}});
}

struct stat statOf(const QString& path)
{
    struct stat info = {};
    ::stat(QFile::encodeName(path).constData(), &info);
    return info;
}

} // namespace

class TestProfileWriter : public QObject {
    Q_OBJECT

    QTemporaryDir m_dir;

private slots:
    void write_data()
    {
        QTest::addColumn<QByteArray>("before");
        QTest::addColumn<QString>("section");
        QTest::addColumn<QString>("key");
        QTest::addColumn<QString>("value");
        QTest::addColumn<QByteArray>("after"); // null: the write is refused
        const auto row = [](const char* name, const QByteArray& before, const QString& value,
                            const QByteArray& after, const QString& section = "S", const QString& key = "K") {
            QTest::newRow(name) << before << section << key << value << after;
        };
        row("an existing value is replaced in place", "; top\n[S]\nA=1\nK=old\nB=2\n", "new",
            "; top\n[S]\nA=1\nK=new\nB=2\n");
        row("the key keeps its spelling in the file", "[S]\n  ip = 1 \n", "2", "[S]\nip=2\n", "s", "IP");
        row("a rewritten line keeps its CRLF", "[S]\r\nK=1\r\nB=2\r\n", "2", "[S]\r\nK=2\r\nB=2\r\n");
        row("a rewritten line keeps its lone CR", "[S]\rK=1\rB=2\r", "2", "[S]\rK=2\rB=2\r");
        row("a rewritten last line without line end gets none", "[S]\nK=1", "2", "[S]\nK=2");
        row("every line keeps its own end in a file of mixed ends", "[S]\rA=1\nK=1\r\nB=2\r", "2",
            "[S]\rA=1\nK=2\r\nB=2\r");
        row("a new key in a lone-CR file ends with CR", "[S]\rA=1\r[T]\r", "v", "[S]\rA=1\rK=v\r[T]\r");
        row("a new section in a CRLF file ends its lines with CRLF", "[T]\r\nA=1\r\n", "v",
            "[T]\r\nA=1\r\n[S]\r\nK=v\r\n");
        row("new lines take the line end most lines have", "[T]\r\nA=1\nB=2\r\n", "v",
            "[T]\r\nA=1\nB=2\r\n[S]\r\nK=v\r\n");
        row("on a tie new lines take the line end met first", "[T]\rA=1\n", "v", "[T]\rA=1\n[S]\rK=v\r");
        row("a lone-CR file whose last line has no end", "[S]\rA=1", "v", "[S]\rA=1\rK=v\r");
        row("a UTF-16 file is written in UTF-16", utf16("[S]\r\nK=1\r\n"), "日🙂",
            utf16("[S]\r\nK=日🙂\r\n"));
        row("a big-endian UTF-16 file stays big-endian", utf16be("[S]\nA=1\n"), "é",
            utf16be("[S]\nA=1\nK=é\n"));
        row("a UTF-16 file gets a new section in UTF-16", utf16("[T]\r\n"), "v",
            utf16("[T]\r\n[S]\r\nK=v\r\n"));
        row("a lone surrogate elsewhere in a UTF-16 file is kept",
            utf16(QString("[T]\nA=") + QChar(0xDC00) + "\n"), "v",
            utf16(QString("[T]\nA=") + QChar(0xDC00) + "\n[S]\nK=v\n"));
        row("the odd last byte of a UTF-16 file is kept", utf16("[S]\nK=1\n") + "x", "2",
            utf16("[S]\nK=2\n") + "x");
        row("a missing key goes after the last entry of its section",
            "[S]\nA=1\n; about A\njunk\n\n; about T\n[T]\nB=2\n", "v",
            "[S]\nA=1\n; about A\njunk\nK=v\n\n; about T\n[T]\nB=2\n");
        row("a missing key goes right after the header of an empty section", "[S]\n\n[T]\n", "v",
            "[S]\nK=v\n\n[T]\n");
        row("a missing key after a last line without line end", "[S]\nA=1", "v", "[S]\nA=1\nK=v\n");
        row("a missing section goes at the end of the file", "[S]\nA=1\n; end\n", "v",
            "[S]\nA=1\n; end\n[T]\nK=v\n", "T");
        row("only the first of duplicated sections is written", "[S]\nA=1\n[S]\nK=2\n", "v",
            "[S]\nA=1\nK=v\n[S]\nK=2\n");
        row("only the first of duplicated keys is written", "[S]\nK=1\nK=2\n", "v", "[S]\nK=v\nK=2\n");
        row("comments, junk and unknown sections are kept byte for byte",
            "# c\n[X]\r\n weird\t\n[S]\n\tK = 1 ; x\n;[S]\n[Y] z\nZ\n", "2",
            "# c\n[X]\r\n weird\t\n[S]\nK=2\n;[S]\n[Y] z\nZ\n");
        row("the byte-order mark is kept", utf8Bom + "[S]\nK=1\n", "2", utf8Bom + "[S]\nK=2\n");
        row("a file of only a byte-order mark gets the section", utf8Bom, "v", utf8Bom + "[S]\nK=v\n");
        row("a file of only a UTF-16 byte-order mark gets the section", utf16(""), "v", utf16("[S]\nK=v\n"));
        // A value is written so that it reads back as itself: quoted exactly
        // when the blanks at its ends or its own quotes would be lost.
        row("blanks around the value are kept in quotes", "[S]\nK=1\n", "  v \t", "[S]\nK=\"  v \t\"\n");
        row("a blank alone is kept in quotes", "[S]\nK=1\n", " ", "[S]\nK=\" \"\n");
        row("a value in quotes gets one more pair", "", "'q'", "[S]\nK=\"'q'\"\n");
        row("a value in double quotes gets one more pair", "[S]\nK=1\n", "\"q\"", "[S]\nK=\"\"q\"\"\n");
        row("a quote at one end only is written as it is", "[S]\nK=1\n", "\"q", "[S]\nK=\"q\n");
        row("a lone quote is written as it is", "[S]\nK=1\n", "\"", "[S]\nK=\"\n");
        row("blanks inside the value need no quotes", "[S]\nK=1\n", "a  b", "[S]\nK=a  b\n");
        row("a quoted value with blanks the file holds is untouched", "[S]\nPassword=\"  pw  \"\n", "  pw  ",
            "[S]\nPassword=\"  pw  \"\n", "S", "Password");
        row("a Windows-1252 file stays in its code page", "[S]\nA=caf\xE9\nK=1\n", "€ü",
            "[S]\nA=caf\xE9\nK=\x80\xFC\n");
        row("a Windows-1252 file becomes UTF-8 for characters outside its code page", "[S]\nA=caf\xE9\n",
            "日", "[S]\nA=caf\xC3\xA9\nK=\xE6\x97\xA5\n");
        row("a Windows-1252 file that would pass for UTF-8 becomes UTF-8", "[S]\nA=\xC3\xA9\nK=\xE9\n", "x",
            "[S]\nA=\xC3\x83\xC2\xA9\nK=x\n");
        // The file is left untouched when the key already holds the value.
        row("the value the file holds, the line's blanks aside", "[S]\r\nK = v \r\n", "v", "[S]\r\nK = v \r\n");
        row("the value the file holds, but with blanks of its own", "[S]\r\nK = v \r\n", " v ",
            "[S]\r\nK=\" v \"\r\n");
        row("the value the file holds in quotes", "[S]\nK=\"v\"\n", "v", "[S]\nK=\"v\"\n");
        row("the value a Windows-1252 file holds", "[S]\nK=\xE9\n", "é", "[S]\nK=\xE9\n");
        row("the value a UTF-16 file holds", utf16("[S]\nK=é\n"), "é", utf16("[S]\nK=é\n"));
        // Refused, the file untouched: whatever was written would read back as something else.
        const auto refused = [&](const char* name, const QString& section, const QString& key,
                                 const QString& value) {
            row(name, "[S]\nK=1\n", value, QByteArray(), section, key);
        };
        refused("a value with a line feed", "S", "K", "a\nb");
        refused("a value with a carriage return", "S", "K", "a\r");
        refused("a value with a lone surrogate", "S", "K", QString(QChar(0xD800)));
        refused("a value with a NUL", "S", "K", QString::fromUtf8("a\0b", 3));
        refused("a key with a NUL", "S", QString::fromUtf8("K\0", 2), "v");
        refused("an empty key", "S", " ", "v");
        refused("a key with an equals sign", "S", "a=b", "v");
        refused("a key that would read as a comment", "S", ";K", "v");
        refused("a key that would read as a section", "S", "[K]", "v");
        refused("a section with a closing bracket", "a]b", "K", "v");
        refused("a section with a line break", "S\nT", "K", "v");
        // Huge files, in one pass
        QByteArray sections;
        for (int i = 0; i < 1000; ++i)
            sections += "[Other " + QByteArray::number(i) + "]\nK=" + QByteArray::number(i) + "\n";
        row("a thousand unrelated sections and no wanted one", sections, "w", sections + "[S]\nK=w\n");
        // As long as a line can be in a file that is read at all.
        const QByteArray junk = "[S]\n" + QByteArray(LargestSettingsFile - 16, 'j');
        row("a line of junk of nearly 1 MiB before the wanted key", junk + "\nK=v\n", "w", junk + "\nK=w\n");
        row("a line of junk of nearly 1 MiB with no line end", junk, "w", junk + "\nK=w\n");
    }
    void write()
    {
        QFETCH(QByteArray, before);
        QFETCH(QString, section);
        QFETCH(QString, key);
        QFETCH(QString, value);
        QFETCH(QByteArray, after);
        const QString path = m_dir.filePath("write.ini");
        writeBytes(path, before);
        // An old time stamp, so that any rewrite shows whatever the clock's resolution.
        QFile file(path);
        QVERIFY(file.open(QIODevice::ReadWrite) &&
                file.setFileTime(QDateTime::fromSecsSinceEpoch(1'000'000'000),
                                 QFileDevice::FileModificationTime));
        file.close();
        const struct stat old = statOf(path);

        const auto result = writeOne(path, section, key, value);
        QCOMPARE(result.ok(), !after.isNull());
        if (!result.ok())
            QVERIFY(std::holds_alternative<ProfileEntryProblem>(result.error()));
        QCOMPARE(readBytes(path), after.isNull() ? before : after);
        if (after.isNull() || after == before) {
            QCOMPARE(statOf(path).st_ino, old.st_ino);
            QCOMPARE(statOf(path).st_mtim.tv_sec, old.st_mtim.tv_sec);
        } else {
            QCOMPARE(readProfileString(path, section, key), value);
        }
    }

    // A file with no setting in it is not added to, where the keys would be
    // lost, unless the save means to replace it.
    void aFileThatHoldsNoSettingsIsReplacedOrLeftAlone_data()
    {
        QTest::addColumn<QByteArray>("content");
        QTest::addColumn<std::optional<FileError>>("problem");
        const std::optional<FileError> fine, notText = FileError::NotText, noSections = FileError::NoSections;
        const QString text = "[Router settings]\r\nIP=127.0.0.1\r\n";
        QTest::newRow("an empty file") << QByteArray() << fine;
        QTest::newRow("comments and blank lines alone") << QByteArray("; mine\n\n# x\n") << fine;
        QTest::newRow("a key before its section") << QByteArray("K=v\n[S]\n") << fine;
        QTest::newRow("UTF-16 with its byte-order mark") << utf16(text) << fine;
        QTest::newRow("UTF-16 without its byte-order mark") << utf16(text).sliced(2) << notText;
        QTest::newRow("big-endian UTF-16 without its byte-order mark") << utf16be(text).sliced(2) << notText;
        QTest::newRow("binary bytes, a section among them")
            << QByteArray("\x7F" "ELF\x02\x01\x01\0\0\0\n[S]\n", 15) << notText;
        QTest::newRow("UTF-16 that holds a NUL") << utf16(QString::fromUtf8("[S]\r\nK=\0\r\n", 10)) << notText;
        QTest::newRow("keys without a section") << QByteArray("IP=127.0.0.1\nUser=u\n") << noSections;
        QTest::newRow("text of another kind") << QByteArray("{\"ip\": \"127.0.0.1\"}\n") << noSections;
    }
    void aFileThatHoldsNoSettingsIsReplacedOrLeftAlone()
    {
        QFETCH(QByteArray, content);
        QFETCH(std::optional<FileError>, problem);
        QCOMPARE(profileContentProblem(content), problem);
        const QString path = m_dir.filePath("nosettings.ini");
        writeBytes(path, content);
        const auto edited = writeOne(path, "S", "K", "new");
        QCOMPARE(edited.ok(), !problem);
        QVERIFY(!problem || edited.error() == ProfileWriteError(*problem));
        QCOMPARE(readBytes(path) == content, bool(problem));
        QVERIFY(writeProfileStrings(path, {{"S", "K", "new"}}, ProfileSave::Replacing).ok());
        QCOMPARE(readBytes(path), QByteArray("[S]\nK=new\n"));
        // Saved all the same when nothing changes, for a save that must show.
        const ino_t inode = statOf(path).st_ino;
        QVERIFY(writeProfileStrings(path, {{"S", "K", "new"}}, ProfileSave::Always).ok());
        QCOMPARE(readBytes(path), QByteArray("[S]\nK=new\n"));
        QVERIFY(statOf(path).st_ino != inode);
    }

    void newFileHoldsExactlyTheWrittenLines()
    {
        const QString path = m_dir.filePath("new/Settings.ini");
        QVERIFY(QDir(m_dir.path()).mkdir("new"));
        const QList<QStringList> entries = {
            {"Router settings", "Password", ""},
            {"Router settings", "IP", "10.0.0.2"},
            {"DNS settings", "Service URL", "http://ddns.example.net/dyn.asp"},
            {"DNS settings", "User", ""},
        };
        for (const QStringList& entry : entries)
            QVERIFY(writeOne(path, entry[0], entry[1], entry[2]).ok());
        QCOMPARE(readBytes(path),
                 QByteArray("[Router settings]\nPassword=\nIP=10.0.0.2\n"
                            "[DNS settings]\nService URL=http://ddns.example.net/dyn.asp\nUser=\n"));
    }

    void severalEntriesGiveTheBytesOfOneWriteEach_data()
    {
        QTest::addColumn<QByteArray>("before");
        QTest::addColumn<QList<QStringList>>("entries");
        const QList<QStringList> six = {
            {"Router settings", "Password", "rpw"},
            {"Router settings", "IP", "127.0.0.1"},
            {"DNS settings", "Service URL", "http://127.0.0.1/dyn.asp"},
            {"DNS settings", "User", "Jörg"},
            {"DNS settings", "Password", "密码"},
            {"DNS settings", "Host", "h.example.net"},
        };
        QTest::newRow("no file yet") << QByteArray() << six;
        QTest::newRow("a file with other sections and comments")
            << QByteArray("; mine\n[DNS settings]\nHost=old\n\n[Other]\nX=1\n") << six;
        QTest::newRow("a UTF-16 file with CRLF") << utf16("[Router settings]\r\nIP=1\r\n") << six;
        QTest::newRow("a lone-CR file") << QByteArray("[DNS settings]\rUser=u\r") << six;
        QTest::newRow("a key set twice, the second time back to what it was")
            << QByteArray("[S]\nK=1\n") << QList<QStringList>{{"S", "K", "2"}, {"S", "K", "1"}};
        QTest::newRow("every key already holding its value")
            << QByteArray("[S]\nK=1\nL=2\n") << QList<QStringList>{{"S", "K", "1"}, {"S", "L", "2"}};
        // The second entry makes the Windows-1252 bytes read as UTF-8, so the
        // file moves to UTF-8 before the third: "é" must then be two bytes.
        QTest::newRow("a Windows-1252 file that turns into UTF-8 half way")
            << QByteArray("[S]\nA=\xC3\xA9\nB=\xE9\nC=1\n")
            << QList<QStringList>{{"S", "A", "Ã©"}, {"S", "B", "x"}, {"S", "C", "é"}};
        // ... and one whose text becomes plain ASCII, which reads as UTF-8.
        QTest::newRow("a Windows-1252 file whose only accent is replaced")
            << QByteArray("[S]\nK=\xE9\n") << QList<QStringList>{{"S", "K", "e"}, {"S", "L", "é"}};
        QTest::newRow("a Windows-1252 file given a character outside its code page")
            << QByteArray("[S]\nK=\xE9\n") << QList<QStringList>{{"S", "L", "日"}, {"S", "M", "€"}};
    }
    void severalEntriesGiveTheBytesOfOneWriteEach()
    {
        QFETCH(QByteArray, before);
        QFETCH(QList<QStringList>, entries);
        const QString together = m_dir.filePath("together.ini"), oneByOne = m_dir.filePath("onebyone.ini");
        QFile::remove(together);
        QFile::remove(oneByOne);
        if (!before.isNull()) {
            writeBytes(together, before);
            writeBytes(oneByOne, before);
        }
        QList<ProfileEntry> batch;
        for (const QStringList& entry : entries) {
            batch.append({entry[0], entry[1], entry[2]});
            QVERIFY(writeOne(oneByOne, entry[0], entry[1], entry[2]).ok());
        }
        const ino_t inode = statOf(together).st_ino;
        QVERIFY(writeProfileStrings(together, batch).ok());
        QCOMPARE(readBytes(together), readBytes(oneByOne));
        if (readBytes(together) == before)
            QCOMPARE(statOf(together).st_ino, inode); // not rewritten
    }

    void everyCharacterRoundTripsInEitherEncoding()
    {
        const QString values[] = {
            QString::fromUtf8("Grüße, Ελλάδα, 日本語, عربى 🙂𝄞"),
            QString::fromUtf8("€‚ƒ„…†‡ˆ‰Š‹ŒŽ‘’“”•–—˜™š›œžŸ"), // what Windows-1252 moves
            "\u0080\u0081\u009F",                             // C1 controls
            "\uFEFFx",                                        // a byte-order mark character first
            "\u00A0x\u00A0",                                  // no-break spaces around it, which are kept
            "\"a=b;c#d[e]\"",
            "",
            // Blanks at the ends, which a read trims, and quotes, of which it strips a pair.
            "  pw with blanks  ", "\t", " \"", "\" a \"", "'q'", "\"x", "x'", "\"", "''",
        };
        const QString path = m_dir.filePath("roundtrip.ini");
        const QString utf16Text = QString::fromUtf8("[S]\r\nOther=été\r\nK=1\r\n");
        for (const QByteArray& before : {QByteArray("[S]\nOther=\xC3\xA9t\xC3\xA9\nK=1\n"), // UTF-8
                                         QByteArray("[S]\nOther=\xE9t\xE9\nK=1\n"),         // Windows-1252
                                         utf16(utf16Text), utf16be(utf16Text)}) {
            for (const QString& value : values) {
                writeBytes(path, before);
                QVERIFY(writeOne(path, "S", "K", value).ok());
                QCOMPARE(readProfileString(path, u"S", u"K"), value);
                QCOMPARE(readProfileString(path, u"S", u"Other"), QString::fromUtf8("été"));
            }
        }
    }

    void fileModeIsKeptOrOwnerOnly_data()
    {
        QTest::addColumn<int>("mode"); // 0: no file yet
        QTest::newRow("a new file is readable by its owner only, whatever the umask") << 0;
        QTest::newRow("a file readable by its group stays so") << 0640;
        QTest::newRow("a file with the set-group-ID bit keeps it") << 02660;
    }
    void fileModeIsKeptOrOwnerOnly()
    {
        QFETCH(int, mode);
        const QString path = m_dir.filePath("mode.ini");
        QFile::remove(path);
        if (mode) {
            writeBytes(path, "[S]\nK=1\n");
            QCOMPARE(::chmod(QFile::encodeName(path).constData(), mode), 0);
        }
        const ino_t oldInode = statOf(path).st_ino;
        const mode_t oldMask = ::umask(0);
        const auto result = writeOne(path, "S", "K", "2");
        ::umask(oldMask);
        QVERIFY2(result.ok(), qPrintable(result.ok() ? QString() : result.failure().message()));
        QCOMPARE(statOf(path).st_mode & 07777, mode_t(mode ? mode : 0600));
        QVERIFY(statOf(path).st_ino != oldInode); // replaced by a new file, never rewritten where it stood
    }

    void failedWriteGivesReasonAndKeepsTheFile_data()
    {
        QTest::addColumn<QString>("where");
        QTest::addColumn<FileError>("error");
        QTest::addColumn<QString>("reason"); // the system's words, where it has any
        QTest::newRow("the path is a directory") << QString("directory") << FileError::IsAFolder << "";
        QTest::newRow("the path is a pipe") << QString("pipe") << FileError::NotAFile << "";
        QTest::newRow("the folder is a file")
            << QString("file/Settings.ini") << FileError::NoSuchFolder << "Not a directory";
        QTest::newRow("the folder is read-only")
            << QString("readonly/Settings.ini") << FileError::AccessDenied << "Permission denied";
        QTest::newRow("the file is read-only")
            << QString("locked/Settings.ini") << FileError::ReadOnlyFile << "";
        QTest::newRow("the file may grow no more")
            << QString("full/Settings.ini") << FileError::TooLarge << "File too large";
        QTest::newRow("the file is larger than any settings file, and left unread")
            << QString("huge/Settings.ini") << FileError::Oversized << "more than the 1 MiB read here";
    }
    void failedWriteGivesReasonAndKeepsTheFile()
    {
        QFETCH(QString, where);
        QFETCH(FileError, error);
        QFETCH(QString, reason);
        const bool readOnlyFolder = where.startsWith("readonly/"), limitSize = where.startsWith("full/");
        if ((readOnlyFolder || where.startsWith("locked/")) && ::geteuid() == 0)
            QSKIP("The superuser may write where others may not");
        QTemporaryDir dir;
        const QString path = dir.filePath(where);
        const QString folder = QFileInfo(path).path();
        const QByteArray content = "[S]\nK=1\n";
        const QString target = where.startsWith("file/") ? folder : path; // where a file is put first
        QVERIFY(QDir().mkpath(where == "directory" ? path : QFileInfo(target).path()));
        if (where == "pipe")
            QCOMPARE(::mkfifo(QFile::encodeName(path).constData(), 0600), 0);
        else if (where != "directory")
            writeBytes(target, content);
        // Sparse: its size costs the test nothing.
        if (where.startsWith("huge/"))
            QCOMPARE(::truncate(QFile::encodeName(path).constData(), LargestSettingsFile + 1), 0);
        if (readOnlyFolder)
            QVERIFY(QFile::setPermissions(folder, QFile::ReadOwner | QFile::ExeOwner));
        if (where.startsWith("locked/"))
            QVERIFY(QFile::setPermissions(path, QFile::ReadOwner));
        // A file size limit fails the write the way a full disk does, even for the superuser.
        struct rlimit oldLimit = {};
        ::getrlimit(RLIMIT_FSIZE, &oldLimit);
        if (limitSize) {
            makeFileSizeLimitAnError();
            const struct rlimit limit = {4096, oldLimit.rlim_max};
            ::setrlimit(RLIMIT_FSIZE, &limit);
        }
        const QStringList filesBefore = QDir(folder).entryList(QDir::AllEntries | QDir::Hidden);

        const auto result = writeOne(path, "S", "K", limitSize ? QString(100'000, u'x') : QString("2"));
        ::setrlimit(RLIMIT_FSIZE, &oldLimit);
        if (readOnlyFolder)
            QFile::setPermissions(folder, QFile::ReadOwner | QFile::WriteOwner | QFile::ExeOwner);
        QVERIFY(!result.ok());
        QVERIFY2(result.error() == ProfileWriteError(error), qPrintable(result.failure().message()));
        QVERIFY2(result.failure().message().contains(reason), qPrintable(result.failure().message()));
        QCOMPARE(QDir(folder).entryList(QDir::AllEntries | QDir::Hidden), filesBefore);
        if (QFileInfo(path).isFile())
            QCOMPARE(readBytes(path).left(content.size()), content);
        if (where.startsWith("huge/"))
            QCOMPARE(QFileInfo(path).size(), LargestSettingsFile + 1);
    }
};

QTEST_GUILESS_MAIN(TestProfileWriter)
#include "tst_profilewriter.moc"
