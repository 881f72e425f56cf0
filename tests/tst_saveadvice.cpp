// The advice of a failed save or read: the reason once, then what to do,
// fitted to who owns the file and its folder. The owners are given, so that
// a file of root's can be told of without root.
#include "settings/fileowners.h"
#include "settings/saveadvice.h"

#include <QTest>

using namespace parlowen;

class TestSaveAdvice : public QObject {
    Q_OBJECT
private slots:
    void adviceFitsWhoOwnsTheFileAndItsFolder_data();
    void adviceFitsWhoOwnsTheFileAndItsFolder();
};

void TestSaveAdvice::adviceFitsWhoOwnsTheFileAndItsFolder_data()
{
    QTest::addColumn<FileError>("error");
    QTest::addColumn<FileOwners>("owners");
    QTest::addColumn<bool>("reading"); // at start, rather than on a close
    QTest::addColumn<QString>("advice");
    QTest::addColumn<QString>("notSaid");
    QTest::addColumn<QString>("reason"); // empty: the error's own sentence
    const Owner alice{1000, "alice"}, bob{1001, "bob"}, root{0, "root"};
    const QString file = "/home/alice/.config/parlowen/Settings.ini";
    const auto where = [&](std::optional<Owner> fileOwner, bool readable, bool writable,
                           const Owner& folderOwner, bool folderWritable, bool inHome, bool mayRemove) {
        return FileOwners{
            alice,       file,           fileOwner, readable, writable, "/home/alice/.config/parlowen",
            folderOwner, folderWritable, inHome,    mayRemove};
    };
    const auto row = [](const char* name, FileError error, const FileOwners& owners, bool reading,
                        const QString& advice, const QString& notSaid, const QString& reason = {}) {
        QTest::newRow(name) << error << owners << reading << advice << notSaid << reason;
    };
    const QString notYours = "You may read the file, but not change it.";
    const QString quoted = "'" + file + "'";
    row("a file root saved with sudo, in a folder of yours", FileError::ReadOnlyFile,
        where(root, true, false, alice, true, true, true), false,
        "The file belongs to root (Parlowen run with sudo leaves its files to root). Make it yours again:\n"
        "    sudo chown alice: " +
            quoted + "\nor remove it, to start afresh:\n    rm -f " + quoted +
            "\nthen close the window again.",
        "chmod", notYours);
    row("a file root saved that you cannot even read, told at start", FileError::AccessDenied,
        where(root, false, false, alice, true, true, true), true,
        "sudo chown alice: " + quoted + "\nor remove it, to start afresh:\n    rm -f " + quoted +
            "\nthen start Parlowen again.",
        "chmod");
    row("a file of bob's in a sticky folder, which only bob may remove", FileError::ReadOnlyFile,
        where(bob, true, false, root, true, false, false), false,
        "The file belongs to bob. Make it yours again", "rm -f", notYours);
    row("a read-only file of your own", FileError::ReadOnlyFile,
        where(alice, true, false, alice, true, true, true), false,
        "Allow yourself to change it:\n    chmod u+w " + quoted, "sudo");
    row("a file of your own that you cannot read", FileError::AccessDenied,
        where(alice, false, false, alice, true, true, true), true, "chmod u+rw " + quoted, "sudo");
    row("a folder of yours marked read-only", FileError::AccessDenied,
        where(std::nullopt, false, false, alice, false, true, false), false,
        "chmod u+w '/home/alice/.config/parlowen'", "sudo");
    row("a folder in your home that root made", FileError::AccessDenied,
        where(std::nullopt, false, false, root, false, true, false), false,
        "(a program run with sudo leaves its folders to root). If it should be yours, make it yours again:\n"
        "    sudo chown alice: '/home/alice/.config/parlowen'",
        "chmod");
    row("a folder of root's outside your home", FileError::AccessDenied,
        where(std::nullopt, false, false, root, false, false, false), false,
        "Run Parlowen from a copy in a folder of your own", "chown");
    row("a full disk needs room, not other rights", FileError::DiskFull,
        where(alice, true, true, alice, true, true, true), false, "Once there is room", "chmod");
}

void TestSaveAdvice::adviceFitsWhoOwnsTheFileAndItsFolder()
{
    QFETCH(FileError, error);
    QFETCH(FileOwners, owners);
    QFETCH(bool, reading);
    QFETCH(QString, advice);
    QFETCH(QString, notSaid);
    // The system's words after a sentence that says the same are left out.
    const QString explained = reading ? readFailureExplanation({error, "Permission denied"}, owners)
                                      : saveFailureExplanation({error, "Permission denied"}, owners);
    QFETCH(QString, reason);
    QVERIFY2(explained.startsWith("Reason: " + (reason.isEmpty() ? toString(error) : reason) + "\n\n"),
             qPrintable(explained));
    QVERIFY2(explained.contains(advice) && !explained.contains(notSaid), qPrintable(explained));
    QVERIFY2(!explained.contains("Permission denied"), qPrintable(explained));
}

QTEST_GUILESS_MAIN(TestSaveAdvice)
#include "tst_saveadvice.moc"
