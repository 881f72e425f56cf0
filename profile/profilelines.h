#pragma once
// The lines of a profile file's text: where a section and key are, and the
// text with one key set. Every line the edit does not own is kept as it was,
// its line end included.

#include <QString>
#include <QStringView>

namespace parlowen {

// Where a section and key are, found in one pass that stops at the key or
// at the end of the first section of that name.
struct ProfileLocation {
    bool sectionFound = false;
    qsizetype insertAt = -1; // past the last entry line of the section, or its header
    bool keyFound = false;
    qsizetype keyLineStart = -1;
    qsizetype keyLineEnd = -1; // before its line end
    QStringView keyName;       // as the file spells it
    QStringView value;         // trimmed, quotes still on
};

ProfileLocation locateEntry(QStringView text, QStringView section, QStringView key);

// The value a location holds, one pair of enclosing quotes removed.
QString valueAt(const ProfileLocation& at);

// True when some line holds more than blanks or a comment, yet not one is a
// section header: such a text holds no setting, whatever it is.
bool lacksSections(QStringView text);

// Only spaces and tabs: a name or value may end in any other character, a
// no-break space included, and keep it.
QStringView trimBlanks(QStringView text);

// Sets key in section to value (already checked to be storable), appending
// the key or the section where missing, so that it reads back as exactly that
// value, blanks at its ends included. False, and the text untouched, when the
// key already holds the value.
bool setEntry(QString& text, QStringView section, QStringView key, QStringView value);

} // namespace parlowen
