// Tests of the profile-file engine's reader against real files in temporary
// folders; its writer is in tst_profilewriter.

#include "profile/profilefile.h"
#include "support/testfiles.h"

#include <QTemporaryDir>
#include <QTest>

using namespace parlowen;
using namespace parlowen::test;

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
        row("lone CR line ends are read", "[S]\rA=1\rK=v\r", "v");
        row("CR, LF and CRLF mixed in one file", "[T]\rK=t\n[S]\r\nA=1\rK=v\n", "v");
        row("a CR ends a line even inside what looks like a value", "[S]\rK=a\rb\n", "a");
        row("a byte-order mark before the first section is skipped", utf8Bom + "[S]\nK=v\n", "v");
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
        row("an encoded surrogate is not UTF-8", "[S]\nK=\xED\xA0\x80\n", QString::fromUtf8("í\u00A0€"));
        row("a code point past U+10FFFF is not UTF-8", "[S]\nK=\xF4\x90\x80\x80\n",
            QString::fromUtf8("ô\u0090€€"));
        row("UTF-16 little-endian with its byte-order mark", utf16("[S]\r\nK=Grüße 日 🙂\r\n"),
            QString::fromUtf8("Grüße 日 🙂"));
        row("UTF-16 big-endian with its byte-order mark", utf16be("[S]\r\nK=Grüße 日 🙂\r\n"),
            QString::fromUtf8("Grüße 日 🙂"));
        row("UTF-16 with lone CR line ends", utf16("[S]\rA=1\rK=v"), "v");
        row("UTF-16 with an odd last byte", utf16("[S]\nK=v\n") + "x", "v");
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
};

QTEST_GUILESS_MAIN(TestProfileFile)
#include "tst_profilefile.moc"
