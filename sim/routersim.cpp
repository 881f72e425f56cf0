// The simulated router's log page and the simulated provider's answers.
#include "sim/routersim.h"

#include <QRegularExpression>

#include <iterator>

namespace parlowen::sim {

namespace {

const QByteArray pageHead =
    "<!DOCTYPE html>\r\n<html><head><title>System Log</title>\r\n"
    "<meta http-equiv=\"Content-Type\" content=\"text/html; charset=iso-8859-1\">\r\n"
    "<style>body{font-family:sans-serif} td.menu{width:180px} .log{font-size:11px}</style>\r\n"
    "</head>\r\n<body><table width=\"100%\"><tr><td class=\"menu\"><a href=\"status.htm\">Status</a><br>"
    "<a href=\"syslog.htm\">System Log</a><br><a href=\"wan.htm\">WAN</a></td>\r\n<td>"
    "<h2>System Log</h2>\r\n<textarea class=\"log\" rows=\"30\" cols=\"120\" readonly>\r\n";
const QByteArray pageTail = "</textarea></td></tr></table></body></html>\r\n";
constexpr int linesAfterWan = 3; // the router went on logging after the address came

} // namespace

// Lines of the kind a small router's syslog holds. Some carry characters that
// must be escaped in HTML and addresses that are not the WAN address, so that a
// reader has to find the right line rather than the first address on the page.
QByteArray syslogLine(int n)
{
    static const char* const messages[] = {
        "kernel: eth0: link up, 100Mbps, full-duplex, lpa 0x45E1",
        "dnsmasq-dhcp[812]: DHCPACK(br0) 192.0.2.23 00:1a:2b:3c:4d:5e laptop",
        "pppd[1024]: LCP: timeout sending Config-Requests",
        "miniupnpd[733]: HTTP listening on port 5000",
        "kernel: DROP IN=ppp0 OUT= SRC=198.51.100.77 DST=203.0.113.250 LEN=40 PROTO=TCP SPT=443 DPT=51234",
        "ntpd[601]: time synchronised with 192.0.2.123 <stratum 2>",
        "httpd[455]: login from 192.0.2.10 accepted & session opened",
    };
    const int second = n % 60, minute = (n / 60) % 60, hour = (n / 3600) % 24;
    return QByteArray("Jan  1 ") + QByteArray::number(hour).rightJustified(2, '0') + ':' +
           QByteArray::number(minute).rightJustified(2, '0') + ':' +
           QByteArray::number(second).rightJustified(2, '0') + ' ' + messages[n % std::size(messages)];
}

QByteArray htmlEscaped(QByteArray text)
{
    return text.replace('&', "&amp;").replace('<', "&lt;").replace('>', "&gt;");
}

QByteArray syslogPage(qsizetype targetSize, const std::optional<QString>& wanAddress)
{
    const QByteArray wanLine =
        wanAddress ? "Jan  1 23:59:58 pppd[1024]: WAN IP is " + htmlEscaped(wanAddress->toUtf8()) + "\r\n"
                   : QByteArray();
    QByteArray after;
    for (int i = 0; i < linesAfterWan; ++i)
        after += htmlEscaped(syslogLine(100'000 + i)) + "\r\n";

    QByteArray page = pageHead;
    page.reserve(targetSize + 256);
    const qsizetype fixed = pageHead.size() + wanLine.size() + after.size() + pageTail.size();
    for (int n = 0;; ++n) {
        const QByteArray line = htmlEscaped(syslogLine(n)) + "\r\n";
        if (page.size() + line.size() + fixed - pageHead.size() > targetSize)
            break;
        page += line;
    }
    page += wanLine + after;
    // Spaces at the end of the textarea take up what no whole line could, so
    // that page sizes are exact and figures at different sizes compare.
    const qsizetype gap = targetSize - page.size() - pageTail.size();
    if (gap > 0)
        page += QByteArray(gap, ' ');
    page += pageTail;
    return page;
}

std::optional<qsizetype> parseByteSize(QString text)
{
    static const QRegularExpression pattern(QStringLiteral("^\\s*(\\d{1,12})\\s*([kmg]?)(?:i?b)?\\s*$"),
                                            QRegularExpression::CaseInsensitiveOption);
    const QRegularExpressionMatch match = pattern.match(text);
    if (!match.hasMatch())
        return std::nullopt;
    qsizetype size = match.captured(1).toLongLong();
    const QString unit = match.captured(2).toLower();
    const int shift = unit == u"k" ? 10 : unit == u"m" ? 20 : unit == u"g" ? 30 : 0;
    size <<= shift;
    if (size <= 0)
        return std::nullopt;
    return size;
}

QByteArray providerAnswer(const QUrlQuery& query, const QString& basicUser, const QString& basicPassword,
                          const ProviderAccount& account, bool accepting)
{
    const auto value = [&query](const char* key) {
        return query.queryItemValue(QString::fromLatin1(key), QUrl::FullyDecoded);
    };
    const auto matches = [](const QString& expected, const QString& given) {
        return expected.isEmpty() || expected == given;
    };
    const bool inQuery = query.hasQueryItem(QStringLiteral("username"));
    const QString user = inQuery ? value("username") : basicUser;
    const QString password = inQuery ? value("password") : basicPassword;
    if (!matches(account.user, user) || !matches(account.password, password))
        return "badauth";
    const QString hostname = value("hostname");
    if (hostname.isEmpty())
        return "notfqdn";
    if (!matches(account.hostname, hostname))
        return "nohost";
    if (!accepting)
        return "abuse";
    // One line that both kinds of client understand: the protocol's status
    // word and address first (ddclient in the benchmarks reads one status line
    // per host), then the words Parlowen and inadyn look for.
    return "good " + value("myip").toUtf8() + ": " + hostname.toUtf8() + " updated successfully\n";
}

QByteArray maskedTarget(const QByteArray& target)
{
    const qsizetype question = target.indexOf('?');
    if (question < 0)
        return target;
    QList<QByteArray> items = target.mid(question + 1).split('&');
    for (QByteArray& item : items) {
        const QByteArray key = item.left(item.indexOf('='));
        if (key.compare("password", Qt::CaseInsensitive) == 0)
            item = key + "=***";
    }
    return target.left(question + 1) + items.join('&');
}

} // namespace parlowen::sim
