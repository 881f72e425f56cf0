// Where the settings file lives: one rule for the window and parlowen-check.
// The rows with read-only folders mean something only to an ordinary user;
// as root they skip, and CMake runs them again as one.
#include "app/form1.h"
#include "settings/settingslocation.h"

#include <QDir>
#include <QFile>
#include <QLineEdit>
#include <QProcess>
#include <QTemporaryDir>
#include <QTest>

#include <sys/stat.h>
#include <unistd.h>

using namespace parlowen;

namespace {

enum class Expected { BesideProgram, InConfiguration, InOtherFile };

mode_t modeOf(const QString& path)
{
    struct stat status {};
    return ::stat(QFile::encodeName(path).constData(), &status) == 0 ? status.st_mode & 07777 : 0;
}

void writeFile(const QString& path, const QByteArray& content)
{
    QVERIFY(QDir().mkpath(QFileInfo(path).absolutePath()));
    QFile file(path);
    QVERIFY(file.open(QIODevice::WriteOnly | QIODevice::Truncate));
    QCOMPARE(file.write(content), content.size());
}

// Settings the command refuses before it loads anything: no router address.
const QByteArray SettingsWithoutRouter = "[Router settings]\nIP=\n[DNS settings]\nHost=h.example.net\n";

} // namespace

Q_DECLARE_METATYPE(Expected)

class TestSettingsLocation : public QObject {
    Q_OBJECT
private slots:
    void init();
    void cleanup();
    void theRuleWeighsFolderFileAndEnvironment_data();
    void theRuleWeighsFolderFileAndEnvironment();
    void systemProgramFoldersAreNeverTheUsers();
    void theCommandReadsTheFileTheRuleNames_data();
    void theCommandReadsTheFileTheRuleNames();
    void theWindowSavesWhereTheCommandLooks_data();
    void theWindowSavesWhereTheCommandLooks();

private:
    QString programFolder() const { return m_dir->filePath("program"); }
    QString configHome() const { return m_dir->filePath("config"); }
    QString expectedPath(Expected expected) const;
    void makeProgramFolder(bool writable);

    std::unique_ptr<QTemporaryDir> m_dir;
};

void TestSettingsLocation::init()
{
    m_dir = std::make_unique<QTemporaryDir>();
    QVERIFY(m_dir->isValid());
    // Never the configuration of whoever runs the tests.
    qputenv("XDG_CONFIG_HOME", QFile::encodeName(configHome()));
}

void TestSettingsLocation::cleanup()
{
    // A read-only folder would keep QTemporaryDir from removing the rest.
    QFile::setPermissions(programFolder(), QFile::ReadOwner | QFile::WriteOwner | QFile::ExeOwner);
}

QString TestSettingsLocation::expectedPath(Expected expected) const
{
    switch (expected) {
    case Expected::BesideProgram:
        return programFolder() + "/Settings.ini";
    case Expected::InConfiguration:
        return configHome() + "/parlowen/Settings.ini";
    case Expected::InOtherFile:
        return m_dir->filePath("other.ini");
    }
    return {};
}

void TestSettingsLocation::makeProgramFolder(bool writable)
{
    QVERIFY(QDir().mkpath(programFolder()));
    // Run as another user, the test is handed a copy that user can read.
    QVERIFY(QFile::copy(qEnvironmentVariable("PARLOWEN_CHECK_PROGRAM", PARLOWEN_CHECK_PROGRAM),
                        programFolder() + "/parlowen-check"));
    if (!writable)
        QVERIFY(QFile::setPermissions(programFolder(), QFile::ReadOwner | QFile::ExeOwner));
}

void TestSettingsLocation::theRuleWeighsFolderFileAndEnvironment_data()
{
    QTest::addColumn<bool>("folderIsUsers");
    QTest::addColumn<bool>("fileBesideProgram");
    QTest::addColumn<QString>("xdgConfigHome");
    QTest::addColumn<QString>("expected");
    QTest::newRow("a folder of the user's own keeps the file beside the program")
        << true << false << "/home/u/.cfg"
        << "/home/u/prog/Settings.ini";
    QTest::newRow("a file beside the program is used even in a folder the user cannot write")
        << false << true << "/home/u/.cfg"
        << "/home/u/prog/Settings.ini";
    QTest::newRow("a read-only program folder sends the file to XDG_CONFIG_HOME")
        << false << false << "/home/u/.cfg"
        << "/home/u/.cfg/parlowen/Settings.ini";
    QTest::newRow("without XDG_CONFIG_HOME the file goes to ~/.config")
        << false << false << ""
        << "/home/u/.config/parlowen/Settings.ini";
    QTest::newRow("a relative XDG_CONFIG_HOME is ignored, as the XDG rules say")
        << false << false << "cfg"
        << "/home/u/.config/parlowen/Settings.ini";
    QTest::newRow("a trailing slash in XDG_CONFIG_HOME doubles no separator")
        << false << false << "/home/u/.cfg/"
        << "/home/u/.cfg/parlowen/Settings.ini";
}

void TestSettingsLocation::theRuleWeighsFolderFileAndEnvironment()
{
    QFETCH(bool, folderIsUsers);
    QFETCH(bool, fileBesideProgram);
    QFETCH(QString, xdgConfigHome);
    QStringList probedFolders;
    const SettingsSurroundings surroundings{"/home/u/prog", xdgConfigHome, "/home/u",
                                            [&](const QString& folder) {
                                                probedFolders << folder;
                                                return folderIsUsers;
                                            },
                                            [&](const QString& path) {
                                                return fileBesideProgram &&
                                                       path == "/home/u/prog/Settings.ini";
                                            }};
    QTEST(chooseSettingsFile(surroundings), "expected");
    QVERIFY(probedFolders.isEmpty() || probedFolders == QStringList{"/home/u/prog"});
}

void TestSettingsLocation::systemProgramFoldersAreNeverTheUsers()
{
    // Even root, who may write there, must not leave one user's passwords
    // among the system's programs.
    QVERIFY(!isUsersFolder("/usr/bin"));
    QVERIFY(!isUsersFolder("/usr/local/bin"));
    QVERIFY(isUsersFolder(m_dir->path()));
    QVERIFY(!isUsersFolder(m_dir->filePath("missing")));
}

void TestSettingsLocation::theCommandReadsTheFileTheRuleNames_data()
{
    QTest::addColumn<bool>("writableFolder");
    QTest::addColumn<QStringList>("filesPresent");
    QTest::addColumn<QStringList>("arguments");
    QTest::addColumn<Expected>("expected");
    const QStringList both{"beside", "configuration"};
    QTest::newRow("a writable program folder, nothing saved yet")
        << true << QStringList{} << QStringList{} << Expected::BesideProgram;
    QTest::newRow("a writable program folder wins over a file in the configuration folder")
        << true << QStringList{"configuration"} << QStringList{} << Expected::BesideProgram;
    QTest::newRow("a read-only program folder with a file in the configuration folder")
        << false << QStringList{"configuration"} << QStringList{} << Expected::InConfiguration;
    QTest::newRow("a read-only program folder, nothing saved yet")
        << false << QStringList{} << QStringList{} << Expected::InConfiguration;
    QTest::newRow("a read-only program folder that holds a settings file")
        << false << both << QStringList{} << Expected::BesideProgram;
    QTest::newRow("--settings overrides the rule")
        << true << both << QStringList{"--settings", "{dir}/other.ini"} << Expected::InOtherFile;
    QTest::newRow("--settings overrides it in a read-only folder too")
        << false << both << QStringList{"--settings", "{dir}/other.ini"} << Expected::InOtherFile;
    QTest::newRow("--page-text without SOURCE reads the file the rule names")
        << true << QStringList{"configuration"} << QStringList{"--page-text"} << Expected::BesideProgram;
    QTest::newRow("--page-text in a read-only program folder")
        << false << QStringList{"configuration"} << QStringList{"--page-text"} << Expected::InConfiguration;
    QTest::newRow("--page-text with --settings")
        << true << both << QStringList{"--page-text", "--settings", "{dir}/other.ini"}
        << Expected::InOtherFile;
}

void TestSettingsLocation::theCommandReadsTheFileTheRuleNames()
{
    QFETCH(bool, writableFolder);
    QFETCH(QStringList, filesPresent);
    QFETCH(QStringList, arguments);
    QFETCH(Expected, expected);
    if (!writableFolder && ::geteuid() == 0)
        QSKIP("The superuser may write to read-only folders; this row runs again as an ordinary user");
    writeFile(expectedPath(Expected::InOtherFile), SettingsWithoutRouter);
    if (filesPresent.contains("configuration"))
        writeFile(expectedPath(Expected::InConfiguration), SettingsWithoutRouter);
    if (filesPresent.contains("beside")) {
        QVERIFY(QDir().mkpath(programFolder()));
        writeFile(expectedPath(Expected::BesideProgram), SettingsWithoutRouter);
    }
    makeProgramFolder(writableFolder);
    arguments.replaceInStrings("{dir}", m_dir->path());

    QProcess check;
    QProcessEnvironment environment = QProcessEnvironment::systemEnvironment();
    environment.insert("XDG_CONFIG_HOME", configHome());
    environment.remove("JOURNAL_STREAM");
    check.setProcessEnvironment(environment);
    check.start(programFolder() + "/parlowen-check", arguments);
    QVERIFY(check.waitForFinished(60'000));
    QCOMPARE(check.exitCode(), 3);
    const QString steps = QString::fromUtf8(check.readAllStandardError());
    // Either file named: the one that was read, or the one that is missing.
    const QString path = expectedPath(expected);
    QVERIFY2(steps.contains(QStringLiteral("in %1, the router address").arg(path)) ||
                 steps.contains(QStringLiteral("no settings file at %1.").arg(path)),
             qPrintable(steps));
    QCOMPARE(steps.contains("no settings file"), !QFile::exists(path));
}

void TestSettingsLocation::theWindowSavesWhereTheCommandLooks_data()
{
    QTest::addColumn<bool>("writableFolder");
    QTest::addColumn<Expected>("expected");
    QTest::newRow("a writable program folder") << true << Expected::BesideProgram;
    QTest::newRow("a read-only program folder") << false << Expected::InConfiguration;
}

void TestSettingsLocation::theWindowSavesWhereTheCommandLooks()
{
    QFETCH(bool, writableFolder);
    QFETCH(Expected, expected);
    if (!writableFolder && ::geteuid() == 0)
        QSKIP("The superuser may write to read-only folders; this row runs again as an ordinary user");
    makeProgramFolder(writableFolder);
    const QString path = expectedPath(expected);
    {
        Form1 form(programFolder());
        QVERIFY2(form.toolTip().contains(path), qPrintable(form.toolTip()));
        // Saved without a router address, so the command below stops before
        // it would load anything.
        form.findChild<QLineEdit*>("txtRouterIP")->clear();
        form.close();
    }
    QVERIFY(QFile::exists(path));
    if (expected == Expected::InConfiguration) {
        // Made on the first save, for the owner's eyes only.
        QCOMPARE(modeOf(configHome() + "/parlowen"), mode_t(0700));
        QCOMPARE(modeOf(configHome()), mode_t(0700));
    }

    QProcess check;
    check.start(programFolder() + "/parlowen-check", {});
    QVERIFY(check.waitForFinished(60'000));
    QCOMPARE(check.exitCode(), 3);
    const QString steps = QString::fromUtf8(check.readAllStandardError());
    QVERIFY2(steps.contains(QStringLiteral("in %1, the router address").arg(path)), qPrintable(steps));
}

QTEST_MAIN(TestSettingsLocation)
#include "tst_settingslocation.moc"
