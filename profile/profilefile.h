#pragma once
// Reads and writes one key at a time in an INI ("profile") file, as the
// Windows profile functions do, without their lossy corners: every line the
// write does not own is kept byte for byte, and a save is atomic.

#include <QByteArray>
#include <QByteArrayView>
#include <QString>
#include <QStringView>

#include <optional>
#include <utility>

namespace parlowen {

// Why a name or value cannot be written as a profile line. A value cannot hold
// a line break: the line would end there and the rest would become junk, so
// such a value is refused rather than silently changed.
enum class ProfileEntryProblem {
    None,
    EmptyName,         // a section or key name that is empty or only spaces
    LineBreakInName,   // CR or LF in a section or key name
    ReservedCharacter, // "]" in a section name; "=" in a key, or a key starting with ";", "#" or "["
    LineBreakInValue,  // CR or LF in the value
    InvalidText,       // a lone UTF-16 surrogate, which no file encoding can hold
};

QString toString(ProfileEntryProblem problem);

ProfileEntryProblem checkProfileEntry(QStringView section, QStringView key, QStringView value);

struct ProfileWriteResult {
    bool ok = false;
    QString reason; // for the user: the system's words ("Permission denied") or ours

    static ProfileWriteResult success() { return {true, {}}; }
    static ProfileWriteResult failure(QString reason) { return {false, std::move(reason)}; }
};

// The value of a key in the first section of that name, with surrounding
// spaces and tabs and one pair of enclosing quotes removed; empty when the
// file, the section or the key is missing. Names match in any letter case.
QString readProfileString(const QString& path, QStringView section, QStringView key);

// Sets a key, appending it to its section or the section to the file when
// missing and creating the file (mode 0600) when absent. The value is stored
// without its surrounding spaces, which the format cannot keep. When the key
// already holds the value the file is not touched.
ProfileWriteResult writeProfileString(const QString& path, QStringView section, QStringView key,
                                      const QString& value);

// The same two operations on the bytes of a file, for callers that hold them.
// A file that is not valid UTF-8 is read as Windows-1252.
QString profileValue(QByteArrayView content, QStringView section, QStringView key);

// The bytes of the file after the write; nothing when the key already holds
// the value. The entry must pass checkProfileEntry().
std::optional<QByteArray> withProfileValue(QByteArrayView content, QStringView section, QStringView key,
                                           QStringView value);

} // namespace parlowen
