// The window's settings on close: all six saved on every close, in one
// atomic write, except over a file that could not be read, which only the
// user's own answer replaces.
#include "app/form1.h"

#include "settings/fileowners.h"
#include "settings/saveadvice.h"

#include <QDir>
#include <QLineEdit>

#include <utility>

namespace parlowen {

QList<ProfileEntry> Form1::entriesInFields() const
{
    QList<ProfileEntry> entries;
    for (const SettingKey& entry : SettingKeys)
        entries.append({entry.section.toString(), entry.key.toString(), fieldFor(entry.setting)->text()});
    return entries;
}

bool Form1::fieldsChanged() const
{
    const QList<ProfileEntry> entries = entriesInFields();
    for (qsizetype i = 0; i < entries.size(); ++i) {
        if (entries[i].value != m_startValues.value(i))
            return true;
    }
    return false;
}

QLineEdit* Form1::fieldFor(QString CheckSettings::*field) const
{
    static constexpr std::pair<QString CheckSettings::*, Setting> Fields[] = {
        {&CheckSettings::routerPassword, Setting::RouterPassword},
        {&CheckSettings::routerAddress, Setting::RouterAddress},
        {&CheckSettings::serviceUrl, Setting::ServiceUrl},
        {&CheckSettings::userName, Setting::UserName},
        {&CheckSettings::servicePassword, Setting::ServicePassword},
        {&CheckSettings::host, Setting::Host},
    };
    for (const auto& [member, setting] : Fields) {
        if (member == field)
            return fieldFor(setting);
    }
    Q_UNREACHABLE();
}

std::optional<bool> Form1::replaceOrKeep(Result<void, ProfileWriteError>& saved)
{
    const auto* error = std::get_if<FileError>(&saved.failure().code);
    if (!error || !isNoSettingsFile(*error))
        return std::nullopt;
    const QString text =
        tr("Your settings file holds no settings that Parlowen can read, so saving would replace it:\n%1")
            .arg(QDir::toNativeSeparators(IniFile));
    switch (askToReplaceFile(this, text, replacementExplanation({*error, saved.failure().detail}))) {
    case ReplaceChoice::KeepWindowOpen:
        return false;
    case ReplaceChoice::CloseWithoutSaving:
        return true;
    case ReplaceChoice::Replace:
        saved = m_settings.WriteSettings(entriesInFields(), ProfileSave::Replacing);
        return saved.ok() ? std::optional(true) : std::nullopt;
    }
    Q_UNREACHABLE();
}

bool Form1::WindowClosing()
{
    // The fields hold the examples, not what that file holds: saving them
    // unasked would put examples over whatever the file was meant to say.
    if (m_unreadAtStart && !fieldsChanged())
        return true;
    // One save for all six, so that a close cut short leaves the old
    // settings or the new ones, never some of each; written even when
    // nothing changed, as every close is a save.
    auto saved = m_settings.WriteSettings(entriesInFields(), ProfileSave::Always);
    if (saved)
        return true;
    if (const std::optional<bool> close = replaceOrKeep(saved))
        return *close;
    // What was typed is still in the fields: the user may put the cause
    // right and close again, or give the changes up.
    return askToCloseUnsaved(
        this, tr("Your settings could not be saved to\n%1").arg(QDir::toNativeSeparators(IniFile)),
        saveFailureExplanation(saved.failure(), fileOwnersOf(IniFile)));
}

} // namespace parlowen
