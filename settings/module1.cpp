// The settings module over the profile-file engine.
#include "settings/module1.h"

#include "settings/settingslocation.h"

namespace parlowen {

QString Module1::ReadSetting(const QString& section, const QString& key) const
{
    return readProfileString(m_settingsFilePath, section, key);
}

Result<void, ProfileWriteError> Module1::WriteSettings(const QList<ProfileEntry>& entries)
{
    // The first save to the user's configuration folder makes that folder.
    if (const auto folders = createFoldersFor(m_settingsFilePath); !folders)
        return Failure<ProfileWriteError>{folders.error(), folders.failure().detail};
    return writeProfileStrings(m_settingsFilePath, entries);
}

qint16 Module1::WriteSetting(const QString& value, const QString& section, const QString& key)
{
    return WriteSettings({{section, key, value}}).ok() ? 1 : 0;
}

} // namespace parlowen
