#pragma once
// The six settings as the window shows them, its text fields by their
// object names, and as the file holds them, entries in the order of the
// settings table.
#include "app/form1.h"
#include "profile/profilefile.h"
#include "settings/settingkeys.h"

#include <QLineEdit>
#include <QStringList>
#include <QTemporaryDir>
#include <QTest>

#include <memory>

namespace parlowen::test {

inline QLineEdit* field(const Form1& form, const char* name)
{
    return form.findChild<QLineEdit*>(name);
}

inline QList<ProfileEntry> entriesOf(const QStringList& values)
{
    QList<ProfileEntry> entries;
    for (const SettingKey& key : SettingKeys)
        entries.append({key.section.toString(), key.key.toString(), values[entries.size()]});
    return entries;
}

// A new folder for each test's settings file: the test's init() makes it.
class SettingsFolder {
protected:
    void makeFolder()
    {
        m_dir = std::make_unique<QTemporaryDir>();
        QVERIFY(m_dir->isValid());
    }
    QString settingsPath() const { return m_dir->filePath("Settings.ini"); }

    std::unique_ptr<QTemporaryDir> m_dir;
};

} // namespace parlowen::test
