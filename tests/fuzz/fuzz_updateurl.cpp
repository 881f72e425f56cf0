// Fuzzes the update URL with arbitrary field texts: the provider must get
// back exactly the four values as typed, each in its own parameter, after
// the service URL as typed.

#include "check/updateurl.h"

#include <QStringList>

#include <fuzzer/FuzzedDataProvider.h>

#include <cstdio>
#include <cstdlib>

using namespace parlowen;

namespace {

[[noreturn]] void fail(const char* what, const UpdateFields& fields, const QString& url)
{
    std::fprintf(stderr, "invariant broken: %s\nservice=%s\nuser=%s\nhost=%s\naddress=%s\nurl=%s\n", what,
                 qUtf8Printable(fields.service), qUtf8Printable(fields.userName), qUtf8Printable(fields.host),
                 qUtf8Printable(fields.wanAddress), qUtf8Printable(url));
    std::abort();
}

QString field(FuzzedDataProvider& input)
{
    const std::string bytes = input.ConsumeRandomLengthString(256);
    return QString::fromUtf8(bytes.data(), qsizetype(bytes.size()));
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size)
{
    FuzzedDataProvider input(data, size);
    UpdateFields fields;
    fields.service = field(input);
    fields.userName = field(input);
    fields.password = field(input);
    fields.host = field(input);
    fields.wanAddress = field(input);

    const QString url = buildUpdateUrl(fields);
    if (!url.startsWith(fields.service))
        fail("the service URL is not kept as typed", fields, url);
    // The parameters start the query, or continue the service URL's own.
    const bool ownQuery = fields.service.contains(QLatin1Char('?'));
    const bool openEnded =
        ownQuery && (fields.service.endsWith(QLatin1Char('?')) || fields.service.endsWith(QLatin1Char('&')));
    const QString joint = openEnded ? QString() : ownQuery ? QStringLiteral("&") : QStringLiteral("?");
    const QString rest = url.sliced(fields.service.size());
    if (!rest.startsWith(joint))
        fail("the parameters do not start a query or continue the service URL's own", fields, url);
    const QString parameters = rest.sliced(joint.size());

    // Decoded the way a provider's script decodes them: split at "&" and the
    // first "=", percent-decode, read as UTF-8.
    const QStringList items = parameters.split(QLatin1Char('&'));
    const QStringList keys{"username", "password", "hostname", "myip"};
    const QStringList values{fields.userName, fields.password, fields.host, fields.wanAddress};
    if (items.size() != keys.size())
        fail("not exactly four parameters", fields, url);
    for (qsizetype i = 0; i < keys.size(); ++i) {
        const qsizetype equals = items[i].indexOf(QLatin1Char('='));
        if (equals < 0 || items[i].first(equals) != keys[i])
            fail("a parameter is missing or out of order", fields, url);
        const QString value =
            QString::fromUtf8(QByteArray::fromPercentEncoding(items[i].sliced(equals + 1).toUtf8()));
        // The fields come from UTF-8 that may be invalid; what was decoded
        // into the field is what must arrive.
        if (value != values[i])
            fail("a value does not arrive as typed", fields, url);
    }
    return 0;
}
