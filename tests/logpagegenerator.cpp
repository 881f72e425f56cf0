#include "logpagegenerator.h"

#include <QList>
#include <QRandomGenerator>
#include <QStringEncoder>
#include <QStringList>

#include <array>
#include <functional>

namespace parlowen::testing {

namespace {

// Log messages with entities, no-break spaces, runs of spaces and text
// from beyond Latin-1.
const std::array<const char*, 10> kMessages = {
    "kernel: eth0: link up, 100Mbps, full-duplex",
    "dnsmasq-dhcp[812]: DHCPACK(br0) 192.0.2.23 00:1a:2b:3c:4d:5e laptop",
    "pppd[1024]: LCP: timeout sending Config-Requests",
    "kernel: DROP IN=ppp0 SRC=198.51.100.77 DST=203.0.113.250 &lt;TCP&gt; SPT=443",
    "ntpd[601]: time synchronised with 192.0.2.123 &amp; 192.0.2.124",
    "httpd[455]: login from 192.0.2.10&nbsp;accepted",
    "upnp:   port   5000    mapped",
    "syslogd: r\xc3\xa9sum\xc3\xa9 of caf\xc3\xa9 \xe2\x80\x94 d\xc3\xa9j\xc3\xa0 vu",
    "firewall: &#8220;quoted&#8221; rule &copy; applied",
    "wan: DNS 198.51.100.53\t198.51.100.54",
};

struct Builder {
    QRandomGenerator random;
    QStringList parts; // what the name lists

    int pick(int n) { return int(random.bounded(n)); }
    bool chance(int percent) { return pick(100) < percent; }

    QByteArray stamp(int line)
    {
        return "Jan  1 00:" + QByteArray::number(line / 60 % 60).rightJustified(2, '0') + ':' +
               QByteArray::number(line % 60).rightJustified(2, '0');
    }
    QByteArray message() { return kMessages[size_t(pick(int(kMessages.size())))]; }
    QByteArray logLine(int line) { return stamp(line) + ' ' + message(); }
    QByteArray wanLine()
    {
        return "Jan  1 01:00:00 pppd[1024]: WAN IP is 203.0.113." + QByteArray::number(pick(250) + 1);
    }

    QByteArray log(int lines, const std::function<QByteArray(const QByteArray&, int)>& wrap)
    {
        QByteArray out;
        const int wanAt = pick(lines);
        for (int i = 0; i < lines; ++i)
            out += wrap(i == wanAt ? wanLine() : logLine(i), i);
        return out;
    }
};

QByteArray preLog(Builder& b, int lines)
{
    b.parts << "pre";
    return "<pre>\n" + b.log(lines, [](const QByteArray& l, int) { return l + "\r\n"; }) + "</pre>";
}

QByteArray textareaLog(Builder& b, int lines)
{
    b.parts << "textarea";
    return "<textarea rows=20 cols=80 readonly>\n" +
           b.log(lines, [](const QByteArray& l, int) { return l + "\n"; }) + "</textarea>";
}

QByteArray tableLog(Builder& b, int lines)
{
    b.parts << "table rows";
    const bool hideSome = b.chance(40);
    if (hideSome)
        b.parts << "hidden rows";
    return "<table border=1>\r\n<tr><th>Time</th><th>Message</th></tr>\r\n" +
           b.log(lines,
                 [&](const QByteArray& l, int i) {
                     const QByteArray attrs =
                         hideSome && i % 7 == 3 ? (i % 2 ? " hidden" : " style=\"display:none\"") : "";
                     return "<tr" + attrs + "><td>" + l.left(15) + "</td><td> " + l.mid(16) +
                            " </td></tr>\r\n";
                 }) +
           "</table>";
}

QByteArray brLog(Builder& b, int lines)
{
    b.parts << "br";
    return b.log(lines, [](const QByteArray& l, int) { return l + "<br>\r\n"; });
}

QByteArray divLog(Builder& b, int lines)
{
    b.parts << "div";
    return b.log(lines, [](const QByteArray& l, int) { return "<div class=line>" + l + "</div>\r\n"; });
}

QByteArray fontLog(Builder& b, int lines)
{
    const bool closed = b.chance(50);
    b.parts << (closed ? "font per line" : "unclosed font per line");
    return b.log(lines, [&](const QByteArray& l, int i) {
        return "<font color=" + QByteArray(i % 2 ? "green" : "red") + ">" + l + (closed ? "</font>" : "") +
               "<br>\r\n";
    });
}

QByteArray linkLog(Builder& b, int lines)
{
    b.parts << "link per line";
    return b.log(lines, [](const QByteArray& l, int i) {
        return "<a href=\"/log?l=" + QByteArray::number(i) + "\">" + l + "</a><br>\n";
    });
}

QByteArray formLog(Builder& b, int)
{
    b.parts << "form with inputs";
    return "<form action=/wan><input type=hidden name=token value=1><table><tr><td>WAN IP is <input "
           "name=ip value=\"192.0.2.1\"> <input type=hidden name=x> "
           "<select><option>dhcp<option selected>pppoe</select></td></tr>\r\n"
           "<tr><td><button>Refresh</button> <img src=/x.png alt=x> " +
           b.wanLine() + "</td></tr></table></form>";
}

// Shapes built to hurt the parser, small enough for a browser to show.
QByteArray hostileLog(Builder& b, int)
{
    switch (b.pick(7)) {
    case 0:
        b.parts << "600 unclosed fonts";
        return QByteArray("<font color=green>x<br>").repeated(600) + "<div>" + b.wanLine() +
               "</div><div>next</div>";
    case 1:
        b.parts << "unknown elements closing each other";
        return QByteArray("<x><y></x>").repeated(700) + b.wanLine();
    case 2:
        b.parts << "links closing inner bolds";
        return QByteArray("<a><b></a>").repeated(50) + b.wanLine();
    case 3:
        b.parts << "700 nested divs";
        return QByteArray("<div>d").repeated(700) + b.wanLine();
    case 4:
        b.parts << "paragraph end tags";
        return QByteArray("</p>a<br>").repeated(200) + b.wanLine();
    case 5:
        b.parts << "hidden formatting reopened";
        return "<p>x<b hidden>internal<p>WAN IP is 10.1.1.1</p><pre>" + b.wanLine() + "</pre>";
    default:
        b.parts << "controls and wide characters";
        return "<p>a\x01"
               "b \xc2\x85 \xef\xb7\x90 \xf3\xa0\x80\x81 " +
               b.wanLine() + "</p>";
    }
}

using Layout = QByteArray (*)(Builder&, int);
constexpr std::array<Layout, 9> kLayouts = {preLog,  textareaLog, tableLog, brLog,     divLog,
                                            fontLog, linkLog,     formLog,  hostileLog};

QByteArray content(Builder& b)
{
    const int lines = b.pick(40) + 3;
    QByteArray body = kLayouts[size_t(b.pick(int(kLayouts.size())))](b, lines);
    if (b.chance(30)) {
        b.parts << "nested layout tables";
        body =
            "<table width=100%><tr><td class=menu><a href=/status>Status</a><br><a href=/log>Log</a></td>\r\n"
            "<td><table><tr><td><h2>System Log</h2>\r\n" +
            body + "\r\n</td></tr></table></td></tr></table>";
    }
    return body;
}

} // namespace

GeneratedPage generateLogPage(uint32_t seed, int index)
{
    Builder b{QRandomGenerator(seed * 7919u + uint32_t(index)), {}};
    const QByteArray body = content(b);
    QByteArray page = "<!DOCTYPE html>\r\n<html><head><title>System Log</title>";
    QByteArray contentType = "text/html";
    const int charset = b.pick(4);
    if (charset == 1) {
        b.parts << "windows-1252 by header";
        contentType = "text/html; charset=windows-1252";
    } else if (charset == 2) {
        b.parts << "windows-1252 by meta";
        page += "<meta http-equiv=\"Content-Type\" content=\"text/html; charset=iso-8859-1\">";
    }
    page += "<style>td.menu{width:10em}</style><script>var refresh = 'WAN IP is 0.0.0.0';</script></head>\r\n"
            "<body>\r\n" +
            body + "\r\n</body></html>\r\n";
    if (charset == 1 || charset == 2) {
        // Characters Windows-1252 lacks become references, as a server would write them.
        QStringEncoder encoder("windows-1252", QStringEncoder::Flag::ConvertInvalidToNull);
        QByteArray encoded;
        for (const char32_t cp : QString::fromUtf8(page).toUcs4()) {
            const QByteArray one =
                cp < 0x80 ? QByteArray(1, char(cp)) : encoder.encode(QString::fromUcs4(&cp, 1));
            encoded += one.size() == 1 && (one[0] != '\0' || cp == 0)
                           ? one
                           : "&#" + QByteArray::number(uint(cp)) + ';';
        }
        page = encoded;
    }
    return {
        QStringLiteral("seed %1 page %2: %3").arg(seed).arg(index).arg(b.parts.join(QStringLiteral(", "))),
        contentType, page};
}

} // namespace parlowen::testing
