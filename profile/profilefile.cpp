// Profile (INI) file engine: the file's bytes are decoded whole, each entry
// is set in the text, and the text is encoded and saved once.
#include "profile/profilefile.h"

#include "profile/atomicfile.h"
#include "profile/profilelines.h"
#include "profile/profiletext.h"
#include "profile/regularfile.h"

namespace parlowen {

QString toString(ProfileEntryProblem problem)
{
    switch (problem) {
    case ProfileEntryProblem::EmptyName:
        return QStringLiteral("A setting needs both a section name and a key name.");
    case ProfileEntryProblem::LineBreakInName:
        return QStringLiteral("A section or key name cannot contain a line break.");
    case ProfileEntryProblem::ReservedCharacter:
        return QStringLiteral("A section name cannot contain \"]\", and a key name cannot contain \"=\" "
                              "or start with \";\", \"#\" or \"[\".");
    case ProfileEntryProblem::LineBreakInValue:
        return QStringLiteral("The value contains a line break, which a settings file cannot hold. "
                              "Enter it on one line.");
    case ProfileEntryProblem::InvalidText:
        return QStringLiteral("The text contains an incomplete character and cannot be saved.");
    case ProfileEntryProblem::NulCharacter:
        return QStringLiteral("The text contains a NUL character, which a settings file cannot hold.");
    }
    return {};
}

QString toString(const ProfileWriteError& error)
{
    return std::visit([](auto code) { return toString(code); }, error);
}

std::optional<ProfileEntryProblem> checkProfileEntry(QStringView section, QStringView key, QStringView value)
{
    const auto hasLineBreak = [](QStringView text) {
        return text.contains(u'\n') || text.contains(u'\r');
    };
    if (!section.isValidUtf16() || !key.isValidUtf16() || !value.isValidUtf16())
        return ProfileEntryProblem::InvalidText;
    if (section.contains(QChar(0)) || key.contains(QChar(0)) || value.contains(QChar(0)))
        return ProfileEntryProblem::NulCharacter;
    section = trimBlanks(section);
    key = trimBlanks(key);
    if (section.isEmpty() || key.isEmpty())
        return ProfileEntryProblem::EmptyName;
    if (hasLineBreak(section) || hasLineBreak(key))
        return ProfileEntryProblem::LineBreakInName;
    // Each of these would make the written line read back as something else.
    if (section.contains(u']') || key.contains(u'=') || key.front() == u';' || key.front() == u'#' ||
        key.front() == u'[')
        return ProfileEntryProblem::ReservedCharacter;
    if (hasLineBreak(value))
        return ProfileEntryProblem::LineBreakInValue;
    return std::nullopt;
}

QString profileValue(QByteArrayView content, QStringView section, QStringView key)
{
    return valueAt(locateEntry(decodeProfile(content).text, trimBlanks(section), trimBlanks(key)));
}

std::optional<FileError> profileContentProblem(QByteArrayView content)
{
    const QString text = decodeProfile(content).text;
    if (text.contains(QChar(0)))
        return FileError::NotText;
    if (lacksSections(text))
        return FileError::NoSections;
    return std::nullopt;
}

std::optional<QByteArray> withProfileValues(QByteArrayView content, const QList<ProfileEntry>& entries)
{
    ProfileText file = decodeProfile(content);
    for (const ProfileEntry& entry : entries) {
        // Decided after every entry, as a save of each on its own would
        // decide it when it reads the file back: once UTF-8, always UTF-8.
        if (setEntry(file.text, entry.section, entry.key, entry.value))
            file.encoding = encodingAfterEdit(file);
    }
    // Entries that change a key and then change it back leave it untouched.
    QByteArray result = encodeProfile(file);
    if (result == content)
        return std::nullopt;
    return result;
}

QString readProfileString(const QString& path, QStringView section, QStringView key)
{
    const auto content = readRegularFile(path);
    if (!content || !content.value())
        return {};
    return profileValue(*content.value(), section, key);
}

Result<void, ProfileWriteError> writeProfileStrings(const QString& path, const QList<ProfileEntry>& entries,
                                                    ProfileSave save)
{
    for (const ProfileEntry& entry : entries) {
        if (const auto problem = checkProfileEntry(entry.section, entry.key, entry.value))
            return ProfileWriteError(*problem);
    }
    const auto content = readRegularFile(path);
    if (!content)
        return Failure<ProfileWriteError>{content.error(), content.failure().detail};
    const QByteArray old = save == ProfileSave::Replacing ? QByteArray() : content.value().value_or(QByteArray());
    if (const std::optional<FileError> problem = profileContentProblem(old))
        return ProfileWriteError(*problem);
    const auto updated = withProfileValues(old, entries);
    if (!updated && save == ProfileSave::WhenChanged) {
        removeAbandonedSaves(path);
        return {};
    }
    if (const auto saved = writeFileAtomically(path, updated.value_or(old)); !saved)
        return Failure<ProfileWriteError>{saved.error(), saved.failure().detail};
    return {};
}

} // namespace parlowen
