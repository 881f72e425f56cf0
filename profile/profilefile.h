#pragma once
// Reads and writes keys of an INI ("profile") file, as the Windows profile
// functions do, without their lossy corners: every line a write does not own
// is kept byte for byte, the file keeps its encoding (UTF-8, the Windows
// code page, or UTF-16 with a byte-order mark), and a save is atomic.

#include "common/result.h"
#include "profile/fileerror.h"

#include <QByteArray>
#include <QByteArrayView>
#include <QList>
#include <QString>
#include <QStringView>

#include <optional>
#include <variant>

namespace parlowen {

// Why a name or value cannot be written as a profile line. A value cannot hold
// a line break: the line would end there and the rest would become junk, so
// such a value is refused rather than silently changed.
enum class ProfileEntryProblem {
    EmptyName,         // a section or key name that is empty or only spaces
    LineBreakInName,   // CR or LF in a section or key name
    ReservedCharacter, // "]" in a section name; "=" in a key, or a key starting with ";", "#" or "["
    LineBreakInValue,  // CR or LF in the value
    InvalidText,       // a lone UTF-16 surrogate, which no file encoding can hold
};

QString toString(ProfileEntryProblem problem);

std::optional<ProfileEntryProblem> checkProfileEntry(QStringView section, QStringView key, QStringView value);

struct ProfileEntry {
    QString section;
    QString key;
    QString value;
};

// Why a write left the file as it was: an entry it cannot hold, or the file.
using ProfileWriteError = std::variant<ProfileEntryProblem, FileError>;

QString toString(const ProfileWriteError& error);

// The value of a key in the first section of that name, with surrounding
// spaces and tabs and one pair of enclosing quotes removed; empty when the
// file, the section or the key is missing. Names match in any letter case.
QString readProfileString(const QString& path, QStringView section, QStringView key);

// Sets each key in turn, appending it to its section or the section to the
// file when missing and creating the file (mode 0600) when absent, all in one
// atomic save: the file holds exactly the bytes that writing the entries one
// at a time would give, or stays as it was. A value is stored without its
// surrounding spaces, which the format cannot keep. When every key already
// holds its value the file is not touched.
Result<void, ProfileWriteError> writeProfileStrings(const QString& path, const QList<ProfileEntry>& entries);

// The same two operations on the bytes of a file, for callers that hold them.
QString profileValue(QByteArrayView content, QStringView section, QStringView key);

// The bytes of the file after the writes; nothing when every key already
// holds its value. The entries must pass checkProfileEntry().
std::optional<QByteArray> withProfileValues(QByteArrayView content, const QList<ProfileEntry>& entries);

} // namespace parlowen
