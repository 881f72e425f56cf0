// Example settings, and the names kept for examples.
#include "check/examplesettings.h"

#include <QUrl>

#include <array>

namespace parlowen {

namespace {

// Kept for documentation and tests (RFC 2606, RFC 6761): never delegated,
// so no provider's update script can answer under them.
constexpr std::array<QStringView, 3> ExampleDomains{u"example.com", u"example.net", u"example.org"};
constexpr std::array<QStringView, 3> ExampleTopLevels{u".test", u".invalid", u".example"};

QString hostOf(const QString& url)
{
    return QUrl(url.trimmed()).host();
}

struct FieldWords {
    QString CheckSettings::*field;
    const char* words;
};

// In the window's order: the router's side, then the provider's.
const FieldWords Words[] = {
    {&CheckSettings::routerPassword, "Router Admin Password: the password you sign in to the router with"},
    {&CheckSettings::routerAddress, "Router IP: your router's address, such as 192.168.1.1 (keep 10.0.0.2 "
                                    "only if it is your router's)"},
    {&CheckSettings::serviceUrl, nullptr},
    {&CheckSettings::userName, "User Name: your account at the provider (left empty when the update URL "
                               "carries a token)"},
    {&CheckSettings::servicePassword, "Password: the password or token the provider gives for updates"},
    {&CheckSettings::host, "Hostname: the name to keep up to date"},
};

bool stillToFill(const CheckSettings& settings, QString CheckSettings::*field)
{
    const CheckSettings examples = exampleSettings();
    const QString& value = settings.*field;
    if (field == &CheckSettings::serviceUrl)
        return true;
    if (field == &CheckSettings::host)
        return value.trimmed().isEmpty() || isExampleName(value.trimmed());
    if (field != &CheckSettings::routerAddress)
        return value.isEmpty();
    for (const FieldWords& other : Words) {
        if (other.field != &CheckSettings::routerAddress && settings.*other.field != examples.*other.field)
            return false;
    }
    return value == examples.routerAddress;
}

} // namespace

CheckSettings exampleSettings()
{
    CheckSettings examples;
    examples.routerAddress = QStringLiteral("10.0.0.2");
    examples.serviceUrl = QStringLiteral("http://ddns.example.net/dyn.asp");
    examples.host = QStringLiteral("myhost.example.net");
    return examples;
}

bool isExampleName(QStringView host)
{
    if (host.endsWith(u'.'))
        host.chop(1);
    for (QStringView domain : ExampleDomains) {
        if (host.compare(domain, Qt::CaseInsensitive) == 0 ||
            (host.endsWith(domain, Qt::CaseInsensitive) && host.size() > domain.size() &&
             host[host.size() - domain.size() - 1] == u'.'))
            return true;
    }
    for (QStringView topLevel : ExampleTopLevels) {
        if (host.size() > topLevel.size() && host.endsWith(topLevel, Qt::CaseInsensitive))
            return true;
    }
    return false;
}

bool isExampleServiceUrl(const QString& serviceUrl)
{
    return isExampleName(hostOf(serviceUrl));
}

QString serviceUrlToGive()
{
    return QStringLiteral("your provider's update URL, from its page for update clients");
}

std::vector<FieldToFill> fieldsToFill(const CheckSettings& settings)
{
    std::vector<FieldToFill> fields;
    for (const FieldWords& entry : Words) {
        if (!stillToFill(settings, entry.field))
            continue;
        fields.push_back({entry.field, entry.words ? QString::fromUtf8(entry.words)
                                                   : QStringLiteral("Service URL: ") + serviceUrlToGive()});
    }
    return fields;
}

QString examplesMessage(const CheckSettings& settings)
{
    return QStringLiteral("No check was run: the Service URL points at %1, a name kept for examples, where "
                          "no provider can ever be reached.")
        .arg(hostOf(settings.serviceUrl));
}

QString examplesDetail(const std::vector<FieldToFill>& fields)
{
    QStringList lines{QStringLiteral("Fill in:")};
    for (const FieldToFill& field : fields)
        lines << QStringLiteral("• ") + field.words;
    lines << QString() << QStringLiteral("Then press Go. Closing the window saves what the fields hold.");
    return lines.join(u'\n');
}

} // namespace parlowen
