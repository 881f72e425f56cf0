// The settings module over the profile-file engine.
#include "settings/module1.h"

#include "profile/profilefile.h"
#include "settings/settingslocation.h"

namespace parlowen {

QString Module1::ReadSetting(const QString& section, const QString& key) const
{
    return readProfileString(m_settingsFilePath, section, key);
}

qint16 Module1::WriteSetting(const QString& value, const QString& section, const QString& key)
{
    // The first save to the user's configuration folder makes that folder.
    m_lastWriteError = createFoldersFor(m_settingsFilePath);
    if (!m_lastWriteError.isEmpty())
        return 0;
    const ProfileWriteResult result = writeProfileString(m_settingsFilePath, section, key, value);
    m_lastWriteError = result.reason;
    return result.ok ? 1 : 0;
}

} // namespace parlowen
