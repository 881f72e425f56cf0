#pragma once
// A profile file's bytes as text and back. Every byte is kept: encoding the
// decoded text again gives the same bytes, whatever the file holds.

#include <QByteArray>
#include <QByteArrayView>
#include <QString>

namespace parlowen {

// UTF-16 needs its byte-order mark, as Windows Notepad writes it. A file
// that is not valid UTF-8 was written in the Windows code page.
enum class ProfileEncoding { Utf8, Windows1252, Utf16LE, Utf16BE };

struct ProfileText {
    ProfileEncoding encoding = ProfileEncoding::Utf8;
    QByteArray byteOrderMark; // as found, or empty
    QString text;
    QByteArray oddByte; // the last byte of a UTF-16 file with an odd length
};

ProfileText decodeProfile(QByteArrayView bytes);

// Text that the Windows code page cannot hold is written as UTF-8;
// encodingAfterEdit() says so beforehand.
QByteArray encodeProfile(const ProfileText& file);

// After an edit, the encoding the file is read in next time: a file in the
// Windows code page moves to UTF-8, every character kept, when the code page
// cannot hold the text or when its bytes would read as UTF-8.
ProfileEncoding encodingAfterEdit(const ProfileText& file);

} // namespace parlowen
