#pragma once
// The settings module: one settings file, read a key at a time and saved
// in one piece.

#include "common/result.h"
#include "profile/fileerror.h"
#include "profile/profilefile.h"
#include "settings/settingkeys.h"

#include <QList>
#include <QString>

#include <optional>

namespace parlowen {

class Module1 {
public:
    // Must be called before the other operations.
    void SetSettingsFile(const QString& path) { m_settingsFilePath = path; }
    const QString& settingsFilePath() const { return m_settingsFilePath; }

    // The stored value, or an empty string when the file, the section or the
    // key is missing. Values of any length come back whole.
    QString ReadSetting(const QString& section, const QString& key) const;

    // All six settings, whether to ask the router's UPnP service and the IPv6 key, from one read of the file's bytes;
    // nothing when there is no file, and why when it cannot be read, a file that is no profile file
    // included (profileContentProblem). A key the file lacks comes back empty, as ReadSetting gives it.
    Result<std::optional<SettingValues>, FileError> ReadSettings() const;

    // Stores every entry in one atomic save, making the folders on the way: the file afterwards holds all of
    // them, with the bytes that writing them one at a time would give, or is
    // left as it was and the failure says why. save as writeProfileStrings takes it.
    Result<void, ProfileWriteError> WriteSettings(const QList<ProfileEntry>& entries,
                                                  ProfileSave save = ProfileSave::WhenChanged);

    // Stores value under key in section, creating what is missing, folders
    // included. Nonzero on success.
    qint16 WriteSetting(const QString& value, const QString& section, const QString& key);

private:
    QString m_settingsFilePath;
};

} // namespace parlowen
