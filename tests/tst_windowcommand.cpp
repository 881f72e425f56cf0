// The window program's answers on the terminal: before any window, and
// instead of one where none can open.
#include <QFile>
#include <QProcess>
#include <QTemporaryDir>
#include <QTest>

class TestWindowCommand : public QObject {
    Q_OBJECT
private slots:
    void helpAndVersionAnswerOnTheTerminal_data();
    void helpAndVersionAnswerOnTheTerminal();
};

void TestWindowCommand::helpAndVersionAnswerOnTheTerminal_data()
{
    QTest::addColumn<QStringList>("arguments");
    // "NAME=value" sets a variable, "NAME" alone removes it.
    QTest::addColumn<QStringList>("environment");
    QTest::addColumn<int>("exitCode");
    QTest::addColumn<QString>("out");
    QTest::addColumn<QString>("err"); // all of it, when not empty
    const QString version = "parlowen " PARLOWEN_VERSION "\n";
    QTest::newRow("--help") << QStringList{"--help"} << QStringList{} << 0 << "Usage: parlowen" << "";
    QTest::newRow("-h") << QStringList{"-h"} << QStringList{} << 0 << "Usage: parlowen" << "";
    QTest::newRow("--version") << QStringList{"--version"} << QStringList{} << 0 << version << "";
    // Qt's options, with their values, are Qt's: they reach --version.
    QTest::newRow("Qt's options pass")
        << QStringList{"-platform", "offscreen", "-style=fusion", "--geometry", "300x200", "-reverse",
                       "-display", ":0", "--version"}
        << QStringList{} << 0 << version << "";
    QTest::newRow("an unknown option is one line")
        << QStringList{"--verison"} << QStringList{} << 2 << ""
        << "parlowen: unknown option --verison; parlowen --help lists the options\n";
    QTest::newRow("a mistyped Qt option is one line")
        << QStringList{"-platform", "offscreen", "-styel", "fusion"} << QStringList{} << 2 << ""
        << "parlowen: unknown option -styel; parlowen --help lists the options\n";
    const QString elsewhere = "; run it in a desktop session, or use parlowen-check in a terminal\n";
    QTest::newRow("no display at all")
        << QStringList{} << QStringList{"QT_QPA_PLATFORM", "DISPLAY", "WAYLAND_DISPLAY"} << 1 << ""
        << "parlowen: no display to open the window on (DISPLAY and WAYLAND_DISPLAY are unset)" + elsewhere;
    QTest::newRow("a display that cannot be opened")
        << QStringList{} << QStringList{"QT_QPA_PLATFORM", "DISPLAY=:9876", "WAYLAND_DISPLAY"} << 1 << ""
        << "parlowen: the display DISPLAY=:9876 could not be opened" + elsewhere;
}

void TestWindowCommand::helpAndVersionAnswerOnTheTerminal()
{
    QFETCH(QStringList, arguments);
    QFETCH(QStringList, environment);
    QFETCH(int, exitCode);
    QFETCH(QString, out);
    QFETCH(QString, err);
    // A copy in a folder of its own, with no settings beside it or in the
    // configuration folder: were a window to open, it could start no check.
    QTemporaryDir folder;
    const QString program = folder.filePath("parlowen");
    QVERIFY(QFile::copy(PARLOWEN_WINDOW_PROGRAM, program));
    QProcess process;
    QProcessEnvironment variables = QProcessEnvironment::systemEnvironment();
    variables.insert("HOME", folder.path());
    variables.insert("XDG_CONFIG_HOME", folder.path());
    for (const QString& change : std::as_const(environment)) {
        if (change.contains('='))
            variables.insert(change.section('=', 0, 0), change.section('=', 1));
        else
            variables.remove(change);
    }
    process.setProcessEnvironment(variables);
    process.start(program, arguments);
    // An open window never ends by itself; give up on it after a while.
    const bool ended = process.waitForFinished(20'000);
    if (!ended) {
        process.kill();
        process.waitForFinished();
    }
    QVERIFY2(ended, "the program opened its window instead of answering");
    const QString shownOut = QString::fromLocal8Bit(process.readAllStandardOutput());
    const QString shownErr = QString::fromLocal8Bit(process.readAllStandardError());
    // Not killed by a signal: an abort would leave a core behind where cores are allowed.
    QCOMPARE(process.exitStatus(), QProcess::NormalExit);
    QCOMPARE(process.exitCode(), exitCode);
    QVERIFY2(shownOut.contains(out), qPrintable(shownErr));
    if (!err.isEmpty())
        QCOMPARE(shownErr, err);
}

QTEST_MAIN(TestWindowCommand)
#include "tst_windowcommand.moc"
