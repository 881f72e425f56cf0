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
    NulCharacter,      // U+0000, which would make the file read as no text at all
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

// Why the bytes of a file are no profile file: NUL bytes, which no text
// file holds, or text in which not one line is a section. Nothing for a
// profile file, an empty one or one of comments alone included.
std::optional<FileError> profileContentProblem(QByteArrayView content);

// What a save does with the file it finds.
enum class ProfileSave {
    WhenChanged, // a file whose keys all hold their values already is not touched
    Always,      // saved even then, for a save someone expects to see on disk
    Replacing,   // whatever the file held is dropped, a file that is no profile file too
};

// Sets each key in turn, appending it to its section or the section to the
// file when missing and creating the file (mode 0600) when absent, all in one
// atomic save: the file holds exactly the bytes that writing the entries one
// at a time would give, or stays as it was. Each value reads back as itself,
// blanks at its ends included. Only a Replacing save writes over a file that
// profileContentProblem() refuses: the keys added to it would be lost in it,
// and so would what it holds.
Result<void, ProfileWriteError> writeProfileStrings(const QString& path, const QList<ProfileEntry>& entries,
                                                    ProfileSave save = ProfileSave::WhenChanged);

// The same two operations on the bytes of a file, for callers that hold them.
QString profileValue(QByteArrayView content, QStringView section, QStringView key);

// The bytes of the file after the writes; nothing when every key already
// holds its value. The entries must pass checkProfileEntry().
std::optional<QByteArray> withProfileValues(QByteArrayView content, const QList<ProfileEntry>& entries);

} // namespace parlowen
