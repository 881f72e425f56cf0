// Tests of the profile-file engine against real files in temporary folders.

#include "profile/profilefile.h"

#include <QDir>
#include <QFile>
#include <QTemporaryDir>
#include <QTest>

#include <csignal>

#include <sys/resource.h>
#include <sys/stat.h>
#include <unistd.h>

using namespace parlowen;

namespace {

const QByteArray bom("\xEF\xBB\xBF");

void writeBytes(const QString& path, const QByteArray& bytes)
{
    QFile file(path);
    QVERIFY2(file.open(QIODevice::WriteOnly) && file.write(bytes) == bytes.size(),
             qPrintable(file.errorString()));
}

QByteArray readBytes(const QString& path)
{
    QFile file(path);
    return file.open(QIODevice::ReadOnly) ? file.readAll() : QByteArray();
}

struct stat statOf(const QString& path)
{
    struct stat info = {};
    ::stat(QFile::encodeName(path).constData(), &info);
    return info;
}

} // namespace

class TestProfileFile : public QObject {
    Q_OBJECT

    QTemporaryDir m_dir;

private slots:
    void read_data()
    {
        QTest::addColumn<QByteArray>("content");
        QTest::addColumn<QString>("section");
        QTest::addColumn<QString>("key");
        QTest::addColumn<QString>("expected");
        const auto row = [](const char* name, const QByteArray& content, const QString& expected,
                            const QString& section = "S", const QString& key = "K") {
            QTest::newRow(name) << content << section << key << expected;
        };
        row("names match in any letter case and with spaces around them",
            "[ Router Settings ]\n  ip =10.0.0.2\n", "10.0.0.2", "router settings", "IP");
        row("names in another script match in any letter case", "[\xC3\x84RGER]\n\xC3\x96L=1\n", "1",
            QString::fromUtf8("ärger"), QString::fromUtf8("öl"));
        row("spaces and tabs around the value are removed", "[S]\nK= \t a b \t \n", "a b");
        row("a no-break space is part of the value", "[S]\nK=\xC2\xA0x\xC2\xA0\n", "\u00A0x\u00A0");
        row("one pair of double quotes is removed", "[S]\nK= \" a \" \n", " a ");
        row("one pair of single quotes is removed", "[S]\nK='x'\n", "x");
        row("only one pair of quotes is removed", "[S]\nK=\"\"x\"\"\n", "\"x\"");
        row("quotes that do not match are kept", "[S]\nK=\"x'\n", "\"x'");
        row("a lone quote is kept", "[S]\nK=\"\n", "\"");
        row("a value keeps its equals signs and semicolons", "[S]\nK=a=b;c\n", "a=b;c");
        row("a missing key reads empty", "[S]\nK=v\n", "", "S", "L");
        row("a key before any section belongs to none", "K=v\n[S]\n", "");
        row("a key of the next section is not read", "[S]\nA=1\n[T]\nK=2\n", "");
        row("comments are not keys", "[S]\n;K=1\n  #K=2\nK=3\n", "3");
        row("a header may have text after its bracket", "[S] ; c\nK=v\n", "v");
        row("a header without its bracket is not a section", "[S\nK=v\n", "");
        row("CRLF line ends are read", "[S]\r\nA=1\r\nK=v\r\n", "v");
        row("a byte-order mark before the first section is skipped", bom + "[S]\nK=v\n", "v");
        row("the last line needs no line end", "[S]\nK=v", "v");
        row("the first of duplicated keys is read", "[S]\nK=1\n k =2\n", "1");
        row("the first of duplicated sections is read", "[S]\nK=1\n[T]\n[s]\nK=2\n", "1");
        row("a UTF-8 file keeps every character",
            "[S]\nK=Gr\xC3\xBC\xC3\x9F\x65 \xE6\x97\xA5 \xF0\x9F\x99\x82\n",
            QString::fromUtf8("Grüße 日 🙂"));
        row("a file that is not UTF-8 is read as Windows-1252", "[S]\nK=caf\xE9 \x80 \x93ok\x94\n",
            QString::fromUtf8("café € “ok”"));
        row("bytes Windows-1252 leaves undefined are kept", "[S]\nK=\x81\x8D\x8F\x90\x9D\n",
            "\u0081\u008D\u008F\u0090\u009D");
        row("one stray byte anywhere makes the whole file Windows-1252", "[S]\nK=\xC3\xA9\n[T]\nJ=\xFF\n",
            QString::fromUtf8("Ã©"));
        row("an overlong UTF-8 form is not UTF-8", "[S]\nK=\xC0\xAF\n", QString::fromUtf8("À¯"));
    }
    void read()
    {
        QFETCH(QByteArray, content);
        QFETCH(QString, section);
        QFETCH(QString, key);
        QFETCH(QString, expected);
        const QString path = m_dir.filePath("read.ini");
        writeBytes(path, content);
        QCOMPARE(readProfileString(path, section, key), expected);
    }

    void readsOnlyAFileAsItIsNow()
    {
        QCOMPARE(readProfileString(m_dir.filePath("absent.ini"), u"S", u"K"), QString());
        QCOMPARE(readProfileString(m_dir.path(), u"S", u"K"), QString());
        const QString path = m_dir.filePath("afresh.ini");
        for (const char* value : {"1", "2"}) {
            writeBytes(path, "[S]\nK=" + QByteArray(value));
            QCOMPARE(readProfileString(path, u"S", u"K"), value);
        }
    }

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
        row("the other lines of a CRLF file keep their line ends", "[S]\r\nK=1\r\nB=2\r\n", "2",
            "[S]\r\nK=2\nB=2\r\n");
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
        row("the byte-order mark is kept", bom + "[S]\nK=1\n", "2", bom + "[S]\nK=2\n");
        row("a file of only a byte-order mark gets the section", bom, "v", bom + "[S]\nK=v\n");
        row("spaces around the value are not stored", "[S]\nK=1\n", "  v \t", "[S]\nK=v\n");
        row("a value in quotes gets one more pair", "", "'q'", "[S]\nK=\"'q'\"\n");
        row("a Windows-1252 file stays in its code page", "[S]\nA=caf\xE9\nK=1\n", "€ü",
            "[S]\nA=caf\xE9\nK=\x80\xFC\n");
        row("a Windows-1252 file becomes UTF-8 for characters outside its code page", "[S]\nA=caf\xE9\n",
            "日", "[S]\nA=caf\xC3\xA9\nK=\xE6\x97\xA5\n");
        row("a Windows-1252 file that would pass for UTF-8 becomes UTF-8", "[S]\nA=\xC3\xA9\nK=\xE9\n", "x",
            "[S]\nA=\xC3\x83\xC2\xA9\nK=x\n");
        // The file is left untouched when the key already holds the value.
        row("the value the file holds, spaces aside", "[S]\r\nK = v \r\n", " v ", "[S]\r\nK = v \r\n");
        row("the value the file holds in quotes", "[S]\nK=\"v\"\n", "v", "[S]\nK=\"v\"\n");
        row("the value a Windows-1252 file holds", "[S]\nK=\xE9\n", "é", "[S]\nK=\xE9\n");
        // Refused, the file untouched: whatever was written would read back as something else.
        const auto refused = [&](const char* name, const QString& section, const QString& key,
                                 const QString& value) {
            row(name, "[S]\nK=1\n", value, QByteArray(), section, key);
        };
        refused("a value with a line feed", "S", "K", "a\nb");
        refused("a value with a carriage return", "S", "K", "a\r");
        refused("a value with a lone surrogate", "S", "K", QString(QChar(0xD800)));
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
        const QByteArray junk = "[S]\n" + QByteArray(10 << 20, 'j');
        row("a 10 MiB line of junk before the wanted key", junk + "\nK=v\n", "w", junk + "\nK=w\n");
        row("a 10 MiB line of junk with no line end", junk, "w", junk + "\nK=w\n");
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

        const ProfileWriteResult result = writeProfileString(path, section, key, value);
        QCOMPARE(result.ok, !after.isNull());
        QCOMPARE(result.reason.isEmpty(), result.ok);
        QCOMPARE(readBytes(path), after.isNull() ? before : after);
        if (after.isNull() || after == before) {
            QCOMPARE(statOf(path).st_ino, old.st_ino);
            QCOMPARE(statOf(path).st_mtim.tv_sec, old.st_mtim.tv_sec);
        } else {
            QCOMPARE(readProfileString(path, section, key), value.trimmed());
        }
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
            QVERIFY(writeProfileString(path, entry[0], entry[1], entry[2]).ok);
        QCOMPARE(readBytes(path),
                 QByteArray("[Router settings]\nPassword=\nIP=10.0.0.2\n"
                            "[DNS settings]\nService URL=http://ddns.example.net/dyn.asp\nUser=\n"));
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
        };
        const QString path = m_dir.filePath("roundtrip.ini");
        for (const QByteArray& before : {QByteArray("[S]\nOther=\xC3\xA9t\xC3\xA9\nK=1\n"), // UTF-8
                                         QByteArray("[S]\nOther=\xE9t\xE9\nK=1\n")}) {      // Windows-1252
            for (const QString& value : values) {
                writeBytes(path, before);
                QVERIFY(writeProfileString(path, u"S", u"K", value).ok);
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
        const ProfileWriteResult result = writeProfileString(path, u"S", u"K", "2");
        ::umask(oldMask);
        QVERIFY2(result.ok, qPrintable(result.reason));
        QCOMPARE(statOf(path).st_mode & 07777, mode_t(mode ? mode : 0600));
        QVERIFY(statOf(path).st_ino != oldInode); // replaced by a new file, never rewritten where it stood
    }

    void failedWriteGivesReasonAndKeepsTheFile_data()
    {
        QTest::addColumn<QString>("where");
        QTest::addColumn<QString>("reason");
        QTest::newRow("the path is a directory") << QString("directory") << "Is a directory";
        QTest::newRow("the folder is a file") << QString("file/Settings.ini") << "Not a directory";
        QTest::newRow("the folder is read-only") << QString("readonly/Settings.ini") << "Permission denied";
        QTest::newRow("the file is read-only") << QString("locked/Settings.ini") << "not writable";
        QTest::newRow("the disk takes no more bytes") << QString("full/Settings.ini") << "File too large";
    }
    void failedWriteGivesReasonAndKeepsTheFile()
    {
        QFETCH(QString, where);
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
        if (where != "directory")
            writeBytes(target, content);
        if (readOnlyFolder)
            QVERIFY(QFile::setPermissions(folder, QFile::ReadOwner | QFile::ExeOwner));
        if (where.startsWith("locked/"))
            QVERIFY(QFile::setPermissions(path, QFile::ReadOwner));
        // A file size limit fails the write the way a full disk does, even for the superuser.
        struct rlimit oldLimit = {};
        ::getrlimit(RLIMIT_FSIZE, &oldLimit);
        if (limitSize) {
            std::signal(SIGXFSZ, SIG_IGN);
            const struct rlimit limit = {4096, oldLimit.rlim_max};
            ::setrlimit(RLIMIT_FSIZE, &limit);
        }
        const QStringList filesBefore = QDir(folder).entryList(QDir::AllEntries | QDir::Hidden);

        const ProfileWriteResult result =
            writeProfileString(path, u"S", u"K", limitSize ? QString(100'000, u'x') : QString("2"));
        ::setrlimit(RLIMIT_FSIZE, &oldLimit);
        if (readOnlyFolder)
            QFile::setPermissions(folder, QFile::ReadOwner | QFile::WriteOwner | QFile::ExeOwner);
        QVERIFY(!result.ok);
        QVERIFY2(result.reason.contains(reason, Qt::CaseInsensitive), qPrintable(result.reason));
        QCOMPARE(QDir(folder).entryList(QDir::AllEntries | QDir::Hidden), filesBefore);
        if (QFileInfo(path).isFile())
            QCOMPARE(readBytes(path), content);
    }
};

QTEST_GUILESS_MAIN(TestProfileFile)
#include "tst_profilefile.moc"
