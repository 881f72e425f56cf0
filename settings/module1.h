#pragma once
// The settings module: one settings file, read and written a key at a time.

#include <QString>

namespace parlowen {

class Module1 {
public:
    // Must be called before the other operations.
    void SetSettingsFile(const QString& path) { m_settingsFilePath = path; }
    const QString& settingsFilePath() const { return m_settingsFilePath; }

    // The stored value, or an empty string when the file, the section or the
    // key is missing. Values of any length come back whole.
    QString ReadSetting(const QString& section, const QString& key) const;

    // Stores value under key in section, creating what is missing, folders
    // included. Nonzero on success; on failure lastWriteError() says why, in
    // the system's words.
    qint16 WriteSetting(const QString& value, const QString& section, const QString& key);
    const QString& lastWriteError() const { return m_lastWriteError; }

private:
    QString m_settingsFilePath;
    QString m_lastWriteError;
};

} // namespace parlowen
