// How fast a router's system-log page turns into text and yields its WAN
// address, and how much memory that takes, for generated pages of realistic
// shape and growing size; and how fast the passwords are masked in a text.

#include "check/redaction.h"
#include "check/wanaddress.h"
#include "html/pagetext.h"
#include "sim/routersim.h"

#include <benchmark/benchmark.h>

#include <QByteArray>
#include <QFile>

#include <sys/resource.h>

#include <cstdio>
#include <cstdlib>
#include <cstring>

using parlowen::sim::htmlEscaped;
using parlowen::sim::syslogLine;

namespace {

enum class Layout { TextArea, Pre, Table, Div, Br, Font };

struct LayoutShape {
    const char* open;
    const char* close;
    QByteArray (*line)(const QByteArray& line);
};

LayoutShape shapeOf(Layout layout)
{
    switch (layout) {
    case Layout::TextArea:
        return {"<textarea class=\"log\" rows=\"30\" cols=\"120\" readonly>\n", "</textarea>",
                [](const QByteArray& l) {
                    return htmlEscaped(l) + "\r\n";
                }};
    case Layout::Pre:
        return {"<pre class=\"log\">\n", "</pre>", [](const QByteArray& l) {
                    return htmlEscaped(l) + "\r\n";
                }};
    case Layout::Table:
        return {"<table class=\"log\">\r\n", "</table>", [](const QByteArray& l) {
                    return "<tr><td>" + l.left(15) + "</td><td>" + htmlEscaped(l.mid(16)) + "</td></tr>\r\n";
                }};
    case Layout::Div:
        return {"<div class=\"log\">\r\n", "</div>", [](const QByteArray& l) {
                    return "<div>" + htmlEscaped(l) + "</div>\r\n";
                }};
    case Layout::Br:
        return {"<div class=\"log\">\r\n", "</div>", [](const QByteArray& l) {
                    return htmlEscaped(l) + "<br>\r\n";
                }};
    case Layout::Font:
        return {"<div class=\"log\">\r\n", "</div>", [](const QByteArray& l) {
                    return "<font color=\"green\">" + htmlEscaped(l) + "</font><br>\r\n";
                }};
    }
    return {};
}

// A page shaped like a router's log page: head with a style sheet, a layout
// table with the menu, then the log, with the WAN line near the end.
QByteArray logPage(qsizetype targetSize, Layout layout)
{
    const LayoutShape shape = shapeOf(layout);
    QByteArray page =
        "<!DOCTYPE html>\r\n<html><head><title>System Log</title>\r\n"
        "<style>body{font-family:sans-serif} td.menu{width:180px} .log{font-size:11px}</style>\r\n"
        "<script>function refresh(){location.reload();}</script></head>\r\n"
        "<body><table width=\"100%\"><tr><td class=\"menu\"><a href=\"status.htm\">Status</a><br>"
        "<a href=\"syslog.htm\">System Log</a><br><a href=\"wan.htm\">WAN</a></td>\r\n<td>"
        "<h2>System Log</h2><form action=\"syslog.htm\"><input type=\"button\" value=\"Refresh\" "
        "onclick=\"refresh()\"></form>\r\n";
    page.reserve(targetSize + 4096);
    page += shape.open;
    int n = 0;
    while (page.size() < targetSize - 2048)
        page += shape.line(syslogLine(n++));
    page += shape.line("Jan  1 23:59:58 pppd[1024]: WAN IP is 203.0.113.7");
    for (int i = 0; i < 5; ++i)
        page += shape.line(syslogLine(n++));
    page += shape.close;
    page += "\r\n</td></tr></table></body></html>\r\n";
    return page;
}

qint64 residentKiB()
{
    QFile status(QStringLiteral("/proc/self/status"));
    if (!status.open(QIODevice::ReadOnly))
        return 0;
    for (const QByteArray& line : status.readAll().split('\n')) {
        if (line.startsWith("VmRSS:"))
            return line.mid(6).trimmed().split(' ').value(0).toLongLong();
    }
    return 0;
}

// The most memory one run takes, page included, in multiples of the page.
// Run in a fresh process (see main), whose high-water mark of the resident
// set then belongs to this run alone.
double peakMemoryRatio(qsizetype size, Layout layout)
{
    const QByteArray page = logPage(size, layout);
    const qint64 before = residentKiB();
    const QString text = parlowen::renderPageText(page, "text/html").value().text;
    rusage usage{};
    getrusage(RUSAGE_SELF, &usage);
    return double((usage.ru_maxrss - before) * 1024 + page.size()) / double(page.size());
}

double peakMemoryRatioInFreshProcess(qsizetype size, Layout layout)
{
    // Through a shell, /proc/self/exe would be the shell.
    const QByteArray self = QFile::symLinkTarget(QStringLiteral("/proc/self/exe")).toLocal8Bit();
    const QByteArray command =
        "'" + self + "' --memory " + QByteArray::number(int(layout)) + ' ' + QByteArray::number(size);
    FILE* child = popen(command.constData(), "r");
    double ratio = 0;
    if (!child || std::fscanf(child, "%lf", &ratio) != 1)
        ratio = 0;
    if (child)
        pclose(child);
    return ratio;
}

void pageTextAndWanAddress(benchmark::State& state, Layout layout)
{
    const QByteArray page = logPage(state.range(0), layout);
    state.counters["memory_x_page"] = peakMemoryRatioInFreshProcess(state.range(0), layout);
    for (auto _ : state) {
        // renderPageText takes its body by value; copying the QByteArray only
        // shares the buffer, as the browser engine's reply would.
        const QString text = parlowen::renderPageText(page, "text/html").value().text;
        const std::optional<QString> address = parlowen::extractWanAddress(text);
        if (!address || *address != QLatin1String("203.0.113.7"))
            state.SkipWithError("WAN address not found");
        benchmark::DoNotOptimize(address);
    }
    state.SetBytesProcessed(state.iterations() * page.size());
}

enum class MaskedText { Log, Escapes, FirstLetters };

// A page's text as masking meets it: a log's text, a text of nothing but
// the characters that may begin an escape, or one of the first letter of a
// password, where every character begins a search.
QString textToMask(int64_t size, MaskedText kind)
{
    switch (kind) {
    case MaskedText::Log:
        return parlowen::renderPageText(logPage(size, Layout::Pre), "text/html").value().text;
    case MaskedText::Escapes:
        return QString(size / 2, u'%') + QString(size / 2, u'&');
    case MaskedText::FirstLetters:
        return QString(size, u'p');
    }
    return {};
}

void maskedPageText(benchmark::State& state, MaskedText kind)
{
    const QString text = textToMask(state.range(0), kind);
    parlowen::Redactor redactor;
    redactor.addSecret(QStringLiteral("p@ss w:rd/#?%"), QStringLiteral("admin"));
    redactor.addSecret(QStringLiteral("s3cr&t=\u00fc+x y"), QStringLiteral("alice"));
    redactor.addSecret(QStringLiteral("1"), QStringLiteral("admin"));
    for (auto _ : state)
        benchmark::DoNotOptimize(redactor(text));
    state.SetBytesProcessed(state.iterations() * text.size() * qsizetype(sizeof(QChar)));
}

constexpr int64_t kKiB = 1024;
constexpr int64_t kMiB = 1024 * kKiB;

} // namespace

BENCHMARK_CAPTURE(pageTextAndWanAddress, textAreaLog, Layout::TextArea)
    ->Arg(64 * kKiB)
    ->Arg(kMiB)
    ->Arg(16 * kMiB)
    ->Unit(benchmark::kMillisecond);
BENCHMARK_CAPTURE(pageTextAndWanAddress, preLog, Layout::Pre)
    ->Arg(64 * kKiB)
    ->Arg(kMiB)
    ->Arg(16 * kMiB)
    ->Unit(benchmark::kMillisecond);
BENCHMARK_CAPTURE(pageTextAndWanAddress, tableLog, Layout::Table)
    ->Arg(64 * kKiB)
    ->Arg(kMiB)
    ->Arg(16 * kMiB)
    ->Unit(benchmark::kMillisecond);
BENCHMARK_CAPTURE(pageTextAndWanAddress, divLog, Layout::Div)
    ->Arg(64 * kKiB)
    ->Arg(kMiB)
    ->Arg(16 * kMiB)
    ->Unit(benchmark::kMillisecond);
BENCHMARK_CAPTURE(pageTextAndWanAddress, brLog, Layout::Br)
    ->Arg(64 * kKiB)
    ->Arg(kMiB)
    ->Arg(16 * kMiB)
    ->Unit(benchmark::kMillisecond);
BENCHMARK_CAPTURE(pageTextAndWanAddress, fontLog, Layout::Font)
    ->Arg(64 * kKiB)
    ->Arg(kMiB)
    ->Arg(16 * kMiB)
    ->Unit(benchmark::kMillisecond);

BENCHMARK_CAPTURE(maskedPageText, logText, MaskedText::Log)
    ->Arg(kMiB)
    ->Arg(16 * kMiB)
    ->Unit(benchmark::kMillisecond);
BENCHMARK_CAPTURE(maskedPageText, escapes, MaskedText::Escapes)
    ->Arg(kMiB)
    ->Arg(16 * kMiB)
    ->Unit(benchmark::kMillisecond);
BENCHMARK_CAPTURE(maskedPageText, firstLetters, MaskedText::FirstLetters)
    ->Arg(kMiB)
    ->Arg(16 * kMiB)
    ->Unit(benchmark::kMillisecond);

int main(int argc, char** argv)
{
    // The page alone, for timing the whole parlowen-check --page-text process.
    if (argc == 4 && std::strcmp(argv[1], "--page") == 0) {
        const QByteArray page = logPage(std::atoll(argv[3]), Layout(std::atoi(argv[2])));
        return std::fwrite(page.constData(), 1, size_t(page.size()), stdout) == size_t(page.size()) ? 0 : 1;
    }
    if (argc == 4 && std::strcmp(argv[1], "--memory") == 0) {
        std::printf("%f\n", peakMemoryRatio(std::atoll(argv[3]), Layout(std::atoi(argv[2]))));
        return 0;
    }
    benchmark::Initialize(&argc, argv);
    benchmark::RunSpecifiedBenchmarks();
    benchmark::Shutdown();
    return 0;
}
