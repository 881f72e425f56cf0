// The settings module over the profile-file engine.
#include "settings/module1.h"

#include "profile/regularfile.h"
#include "settings/settingslocation.h"

namespace parlowen {

QString Module1::ReadSetting(const QString& section, const QString& key) const
{
    return readProfileString(m_settingsFilePath, section, key);
}

Result<std::optional<SettingValues>, FileError> Module1::ReadSettings() const
{
    const auto content = readRegularFile(m_settingsFilePath);
    if (!content)
        return content.failure();
    if (!content.value())
        return std::optional<SettingValues>();
    // Empty values from a file that holds none would pass for settings.
    if (const std::optional<FileError> problem = profileContentProblem(*content.value()))
        return Failure<FileError>{*problem, {}};
    SettingValues values;
    for (const SettingKey& entry : SettingKeys)
        values[entry.setting] = profileValue(*content.value(), entry.section, entry.key);
    values.askUpnp = profileValue(*content.value(), UpnpSection, UpnpKey)
                         .compare(QLatin1String("no"), Qt::CaseInsensitive) != 0;
    values.ipv6 = profileValue(*content.value(), Ipv6Section, Ipv6Key);
    return std::optional<SettingValues>(std::move(values));
}

Result<void, ProfileWriteError> Module1::WriteSettings(const QList<ProfileEntry>& entries, ProfileSave save)
{
    // The first save to the user's configuration folder makes that folder.
    if (const auto folders = createFoldersFor(m_settingsFilePath); !folders)
        return Failure<ProfileWriteError>{folders.error(), folders.failure().detail};
    return writeProfileStrings(m_settingsFilePath, entries, save);
}

qint16 Module1::WriteSetting(const QString& value, const QString& section, const QString& key)
{
    return WriteSettings({{section, key, value}}).ok() ? 1 : 0;
}

} // namespace parlowen
