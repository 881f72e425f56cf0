#pragma once
// The Windows-1252 code page, the one copy in the program: settings files
// written by older Windows programs and pages without a charset use it.

#include <QByteArray>
#include <QByteArrayView>
#include <QString>
#include <QStringView>

#include <optional>

namespace parlowen {

// The character byte b stands for. The five bytes the code page leaves
// undefined give the C1 controls of the same number, as Windows and the
// Encoding standard do, so that no byte is ever lost.
char16_t windows1252ToUnicode(uchar b);

QString fromWindows1252(QByteArrayView bytes);

// Nothing when the text holds a character the code page cannot write.
std::optional<QByteArray> toWindows1252(QStringView text);

} // namespace parlowen
