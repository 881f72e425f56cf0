#include "logpagegenerator.h"

#include <QByteArrayList>
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

QByteArrayList words(const char* list)
{
    return QByteArray(list).split(';');
}

// What a styled page's markup carries for its sheets' selectors to hit.
const QByteArrayList kLineClasses = words("l;l stale;l old;stale-l;l warn;line l");
const QByteArrayList kLevels = words("info;warn;WARN;err-x");
const QByteArrayList kTitles = words("old entry;new;older entry;Old");
const QByteArrayList kLangs = words("en;en-GB;EN-us;de");
// Table parts keep the box their element names whatever their display (a
// cell's tab, a row's line break), so on a page with a table the sheets
// only ever remove a box.
const QByteArrayList kDeclarations =
    words("display:none;display:block;display:inline;display:inline-block;display:contents;"
          "display:list-item;display:flow-root;visibility:hidden;visibility:visible;"
          "content-visibility:hidden;white-space:pre;white-space:pre-line;white-space:pre-wrap;"
          "white-space:nowrap;white-space:normal;text-transform:uppercase;text-transform:lowercase;"
          "text-transform:capitalize;text-transform:none");
const int kDisplays = 7; // the display values, first above

struct Builder {
    QRandomGenerator random;
    QStringList parts; // what the name lists
    bool styled = false;
    bool tables = false;
    // The browser's text area is compared as the pre put in its place.
    bool textarea = false;
    int staleAt = -1; // the line with an old address, on a styled page

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
        staleAt = styled ? pick(lines) : -1;
        for (int i = 0; i < lines; ++i)
            out += wrap(i == wanAt     ? wanLine()
                        : i == staleAt ? "Dec 31 23:59:59 pppd[1024]: WAN IP is 198.51.100." +
                                             QByteArray::number(pick(250) + 1)
                                       : logLine(i),
                        i);
        return out;
    }

    QByteArray any(const QByteArrayList& list) { return list[pick(int(list.size()))]; }
    QByteArray declaration()
    {
        const int i = pick(int(kDeclarations.size()));
        return (tables && i < kDisplays ? "display:none" : kDeclarations[i]) +
               QByteArray(chance(15) ? " !important" : "");
    }
    // Classes, ids and attributes of a styled page's log line i.
    QByteArray lineAttributes(int i)
    {
        if (!styled)
            return {};
        QByteArray a = " class=\"" + (i == staleAt ? "l stale" : any(kLineClasses)) + '"';
        if (chance(30))
            a += " id=l" + QByteArray::number(i);
        if (chance(40))
            a += " data-level=" + any(kLevels);
        if (chance(25))
            a += " title=\"" + any(kTitles) + '"';
        if (chance(20))
            a += " lang=" + any(kLangs);
        if (chance(10))
            a += " style=\"" + declaration() + '"';
        return a;
    }
};

QByteArray preLog(Builder& b, int lines)
{
    b.parts << "pre";
    if (b.styled)
        return "<pre id=log>\n" + b.log(lines, [&](const QByteArray& l, int i) {
            return "<span" + b.lineAttributes(i) + '>' + l + "</span>\r\n";
        }) + "</pre>";
    return "<pre>\n" + b.log(lines, [](const QByteArray& l, int) { return l + "\r\n"; }) + "</pre>";
}

QByteArray textareaLog(Builder& b, int lines)
{
    b.parts << "textarea";
    b.textarea = true;
    return "<textarea rows=20 cols=80 readonly>\n" +
           b.log(lines, [](const QByteArray& l, int) { return l + "\n"; }) + "</textarea>";
}

QByteArray tableLog(Builder& b, int lines)
{
    b.parts << "table rows";
    b.tables = true;
    const bool hideSome = b.chance(40);
    if (hideSome)
        b.parts << "hidden rows";
    return "<table border=1>\r\n<tr><th>Time</th><th>Message</th></tr>\r\n" +
           b.log(lines,
                 [&](const QByteArray& l, int i) {
                     const QByteArray attrs =
                         hideSome && i % 7 == 3 ? (i % 2 ? " hidden" : " style=\"display:none\"") : "";
                     const QByteArray time = b.styled ? "<td class=t>" : "<td>";
                     const QByteArray message = b.styled ? "<td class=m> " : "<td> ";
                     return "<tr" + attrs + b.lineAttributes(i) + '>' + time + l.left(15) + "</td>" +
                            message + l.mid(16) + " </td></tr>\r\n";
                 }) +
           "</table>";
}

QByteArray brLog(Builder& b, int lines)
{
    b.parts << "br";
    if (b.styled)
        return b.log(lines, [&](const QByteArray& l, int i) {
            return "<span" + b.lineAttributes(i) + '>' + l + "</span><br>\r\n";
        });
    return b.log(lines, [](const QByteArray& l, int) { return l + "<br>\r\n"; });
}

QByteArray divLog(Builder& b, int lines)
{
    b.parts << "div";
    return b.log(lines, [&](const QByteArray& l, int i) {
        return "<div" + (b.styled ? b.lineAttributes(i) : " class=line") + '>' + l + "</div>\r\n";
    });
}

QByteArray fontLog(Builder& b, int lines)
{
    const bool closed = b.chance(50);
    b.parts << (closed ? "font per line" : "unclosed font per line");
    return b.log(lines, [&](const QByteArray& l, int i) {
        return "<font color=" + QByteArray(i % 2 ? "green" : "red") + b.lineAttributes(i) + '>' + l +
               (closed ? "</font>" : "") + "<br>\r\n";
    });
}

QByteArray linkLog(Builder& b, int lines)
{
    b.parts << "link per line";
    return b.log(lines, [&](const QByteArray& l, int i) {
        return "<a href=\"/log?l=" + QByteArray::number(i) + '"' + b.lineAttributes(i) + '>' + l +
               "</a><br>\n";
    });
}

QByteArray formLog(Builder& b, int)
{
    b.parts << "form with inputs";
    b.tables = true;
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

// Log lines in spans, shown one a line only by a sheet that makes them blocks.
QByteArray spanLog(Builder& b, int lines)
{
    b.parts << "spans";
    return "<div id=log>\n" + b.log(lines, [&](const QByteArray& l, int i) {
        return "<span" + b.lineAttributes(i) + '>' + l + "</span>\n";
    }) + "</div>";
}

const QByteArrayList kTypes = words("p;div;span;tr;td;pre;a;font;table;h2;b");
const QByteArrayList kClasses = words(".l;.stale;.old;.warn;.line;.menu;.t;.m;.L");
const QByteArrayList kIds = words("#log;#l1;#l4;#box");
// No "s" flag: Chromium drops a selector with it, and with it its rule.
const QByteArrayList kAttributeSelectors =
    words("[data-level=warn];[data-level=WARN i];[data-level=\"WARN\"];[class~=stale];[class~=l];"
          "[lang|=en];[lang|=EN i];[title^=old];[title^=Old];[title$=entry];[class*=ale];[class$=l];"
          "[href^=\"/log?l=1\"];[href$='2'];[color=red];[color=RED];[id];[title];[data-level*=RR i];"
          "[class|=stale];[class=\"l stale\"]");
const QByteArrayList kNth = words("odd;even;3;2n+1;-n+3;3n-1;n+5;4n;-2n+7");
const QByteArrayList kMediaQueries =
    words("screen;print;(min-width:1024px);(max-width:1023px);(min-width:1025px);(max-width:1024px);"
          "screen and (min-height:768px);(max-height:767px);not print;print, (orientation:landscape);"
          "all and (max-width:800px)");

QByteArray simpleSelector(Builder& b)
{
    switch (b.pick(6)) {
    case 0:
        return b.any(kClasses);
    case 1:
        return b.any(kAttributeSelectors);
    case 2:
        return b.pick(2) ? ":first-child" : ":last-child";
    case 3:
        return ":nth-child(" + b.any(kNth) + ')';
    case 4:
        return b.any(kIds);
    default:
        return ":not(" + (b.pick(2) ? b.any(kClasses) : b.any(kAttributeSelectors)) + ')';
    }
}

// The subject names one of the page's own elements by type, class, id or
// attribute, never a bare * or pseudo-class, which would hide the body.
QByteArray compoundSelector(Builder& b, bool subject)
{
    QByteArray c;
    switch (b.pick(subject ? 4 : 6)) {
    case 0:
        c = b.any(kTypes);
        if (b.textarea && c == "pre")
            c = "div";
        break;
    case 1:
        c = b.any(kClasses);
        break;
    case 2:
        c = b.any(kIds);
        break;
    case 3:
        c = b.any(kAttributeSelectors);
        break;
    case 4:
        c = "*";
        break;
    default:
        c = simpleSelector(b);
    }
    for (int n = 0; n < 2 && b.chance(30); ++n)
        c += simpleSelector(b);
    return c;
}

QByteArray rule(Builder& b)
{
    QByteArray selectors;
    for (int n = b.pick(3) ? 1 : 2 + b.pick(2); n > 0; --n) {
        QByteArray complex = compoundSelector(b, true);
        for (int depth = b.pick(3); depth > 0; --depth)
            complex = compoundSelector(b, false) +
                      (b.pick(4) ? std::array{" ", " > ", "+", " ~ "}[size_t(b.pick(4))] : " ") + complex;
        selectors += (selectors.isEmpty() ? "" : ", ") + complex;
    }
    QByteArray declarations = b.declaration();
    if (b.chance(40))
        declarations += ';' + b.declaration();
    return selectors + '{' + declarations + "}\n";
}

QByteArray styleSheet(Builder& b)
{
    QByteArray sheet;
    for (int n = b.pick(7) + 2; n > 0; --n) {
        if (b.chance(20)) {
            sheet += "@media " + b.any(kMediaQueries) + " {\n";
            for (int m = b.pick(3) + 1; m > 0; --m)
                sheet += rule(b);
            sheet += "}\n";
        } else {
            sheet += rule(b);
        }
    }
    return "<style" + (b.chance(25) ? " media=\"" + b.any(kMediaQueries) + '"' : QByteArray()) + ">\n" +
           sheet + "</style>";
}

using Layout = QByteArray (*)(Builder&, int);
constexpr std::array<Layout, 9> kLayouts = {preLog,  textareaLog, tableLog, brLog,     divLog,
                                            fontLog, linkLog,     formLog,  hostileLog};

QByteArray content(Builder& b)
{
    const int lines = b.pick(40) + 3;
    // The hostile shapes, last of the layouts, test the parser, not sheets;
    // past the browser's nesting limit we place preserved white space
    // elsewhere than it does.
    const int layouts = int(kLayouts.size()) - (b.styled ? 1 : 0);
    QByteArray body =
        b.styled && b.chance(25) ? spanLog(b, lines) : kLayouts[size_t(b.pick(layouts))](b, lines);
    if (b.styled && b.chance(50))
        body = "<div id=box class=\"box syslog\">" + body + "</div>";
    if (b.chance(30)) {
        b.parts << "nested layout tables";
        b.tables = true;
        body =
            "<table width=100%><tr><td class=menu><a href=/status>Status</a><br><a href=/log>Log</a></td>\r\n"
            "<td><table><tr><td><h2>System Log</h2>\r\n" +
            body + "\r\n</td></tr></table></td></tr></table>";
    }
    return body;
}

} // namespace

GeneratedPage generateLogPage(uint32_t seed, int index, bool styled)
{
    Builder b{QRandomGenerator(seed * 7919u + uint32_t(index)), {}, styled};
    QByteArray body = content(b);
    QByteArray sheets;
    if (styled) {
        const int count = b.pick(3) + 1;
        b.parts << QStringLiteral("style sheets: %1").arg(count);
        for (int i = 0; i < count; ++i) {
            if (b.chance(30))
                body += "\r\n" + styleSheet(b);
            else
                sheets += styleSheet(b);
        }
    }
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
    page += "<style>td.menu{width:10em}</style>" + sheets +
            "<script>var refresh = 'WAN IP is 0.0.0.0';</script></head>\r\n"
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
