// A profile file's bytes as text and back.
#include "profile/profiletext.h"

#include "common/windows1252.h"

#include <QStringDecoder>
#include <QtEndian>

namespace parlowen {

namespace {

constexpr QByteArrayView Utf8Bom("\xEF\xBB\xBF");
constexpr QByteArrayView Utf16LEBom("\xFF\xFE");
constexpr QByteArrayView Utf16BEBom("\xFE\xFF");

// Code unit by code unit, so that even a lone surrogate survives.
QString fromUtf16(QByteArrayView bytes, ProfileEncoding encoding)
{
    QString text(bytes.size() / 2, Qt::Uninitialized);
    char16_t* out = reinterpret_cast<char16_t*>(text.data());
    for (qsizetype i = 0; i < text.size(); ++i) {
        const char* unit = bytes.data() + 2 * i;
        out[i] = encoding == ProfileEncoding::Utf16LE ? qFromLittleEndian<char16_t>(unit)
                                                      : qFromBigEndian<char16_t>(unit);
    }
    return text;
}

QByteArray toUtf16(QStringView text, ProfileEncoding encoding)
{
    QByteArray bytes(text.size() * 2, Qt::Uninitialized);
    for (qsizetype i = 0; i < text.size(); ++i) {
        char* unit = bytes.data() + 2 * i;
        if (encoding == ProfileEncoding::Utf16LE)
            qToLittleEndian<char16_t>(text[i].unicode(), unit);
        else
            qToBigEndian<char16_t>(text[i].unicode(), unit);
    }
    return bytes;
}

QByteArray encodeText(QStringView text, ProfileEncoding encoding)
{
    switch (encoding) {
    case ProfileEncoding::Utf8:
        break;
    case ProfileEncoding::Windows1252:
        if (auto bytes = toWindows1252(text))
            return *std::move(bytes);
        break;
    case ProfileEncoding::Utf16LE:
    case ProfileEncoding::Utf16BE:
        return toUtf16(text, encoding);
    }
    return text.toUtf8();
}

} // namespace

ProfileText decodeProfile(QByteArrayView bytes)
{
    ProfileText file;
    if (bytes.startsWith(Utf16LEBom) || bytes.startsWith(Utf16BEBom)) {
        file.encoding = bytes.startsWith(Utf16LEBom) ? ProfileEncoding::Utf16LE : ProfileEncoding::Utf16BE;
        file.byteOrderMark = bytes.first(2).toByteArray();
        const QByteArrayView body = bytes.sliced(2);
        file.text = fromUtf16(body, file.encoding);
        if (body.size() % 2)
            file.oddByte = body.last(1).toByteArray();
        return file;
    }
    if (bytes.startsWith(Utf8Bom))
        file.byteOrderMark = Utf8Bom.toByteArray();
    const QByteArrayView body = bytes.sliced(file.byteOrderMark.size());
    // Qt's check refuses overlong forms and surrogates, so that a file it
    // passes decodes to text that encodes to the same bytes.
    if (body.isValidUtf8()) {
        // A U+FEFF that starts a value after the mark is a character, kept.
        QStringDecoder decoder(QStringDecoder::Utf8, QStringDecoder::Flag::ConvertInitialBom);
        file.text = decoder.decode(body);
    } else {
        file.encoding = ProfileEncoding::Windows1252;
        file.text = fromWindows1252(body);
    }
    return file;
}

QByteArray encodeProfile(const ProfileText& file)
{
    return file.byteOrderMark + encodeText(file.text, file.encoding) + file.oddByte;
}

ProfileEncoding encodingAfterEdit(const ProfileText& file)
{
    if (file.encoding != ProfileEncoding::Windows1252)
        return file.encoding;
    const auto body = toWindows1252(file.text);
    return !body || QByteArrayView(*body).isValidUtf8() ? ProfileEncoding::Utf8
                                                        : ProfileEncoding::Windows1252;
}

} // namespace parlowen
