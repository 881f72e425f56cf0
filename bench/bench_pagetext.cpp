// How fast a router's system-log page turns into text and yields its WAN
// address, for generated pages of realistic shape and growing size.

#include "check/wanaddress.h"
#include "html/pagetext.h"
#include "sim/routersim.h"

#include <benchmark/benchmark.h>

#include <QByteArray>

using parlowen::sim::htmlEscaped;
using parlowen::sim::syslogLine;

namespace {

enum class Layout { TextArea, Pre, Table };

// A page shaped like a router's log page: head with a style sheet, a layout
// table with the menu, then the log, with the WAN line near the end.
QByteArray logPage(qsizetype targetSize, Layout layout)
{
    QByteArray page =
        "<!DOCTYPE html>\r\n<html><head><title>System Log</title>\r\n"
        "<style>body{font-family:sans-serif} td.menu{width:180px} .log{font-size:11px}</style>\r\n"
        "<script>function refresh(){location.reload();}</script></head>\r\n"
        "<body><table width=\"100%\"><tr><td class=\"menu\"><a href=\"status.htm\">Status</a><br>"
        "<a href=\"syslog.htm\">System Log</a><br><a href=\"wan.htm\">WAN</a></td>\r\n<td>"
        "<h2>System Log</h2><form action=\"syslog.htm\"><input type=\"button\" value=\"Refresh\" "
        "onclick=\"refresh()\"></form>\r\n";
    page.reserve(targetSize + 4096);
    switch (layout) {
    case Layout::TextArea:
        page += "<textarea class=\"log\" rows=\"30\" cols=\"120\" readonly>\n";
        break;
    case Layout::Pre:
        page += "<pre class=\"log\">\n";
        break;
    case Layout::Table:
        page += "<table class=\"log\">\r\n";
        break;
    }
    int n = 0;
    auto addLine = [&](const QByteArray& line) {
        if (layout == Layout::Table) {
            const qsizetype stamp = 15;
            page += "<tr><td>" + line.left(stamp) + "</td><td>" + htmlEscaped(line.mid(stamp + 1)) +
                    "</td></tr>\r\n";
        } else {
            page += htmlEscaped(line) + "\r\n";
        }
    };
    while (page.size() < targetSize - 2048)
        addLine(syslogLine(n++));
    addLine("Jan  1 23:59:58 pppd[1024]: WAN IP is 203.0.113.7");
    for (int i = 0; i < 5; ++i)
        addLine(syslogLine(n++));
    switch (layout) {
    case Layout::TextArea:
        page += "</textarea>";
        break;
    case Layout::Pre:
        page += "</pre>";
        break;
    case Layout::Table:
        page += "</table>";
        break;
    }
    page += "\r\n</td></tr></table></body></html>\r\n";
    return page;
}

void pageTextAndWanAddress(benchmark::State& state, Layout layout)
{
    const QByteArray page = logPage(state.range(0), layout);
    for (auto _ : state) {
        // pageText takes its body by value; copying the QByteArray only
        // shares the buffer, as the browser engine's reply would.
        const QString text = parlowen::pageText(page, "text/html");
        const std::optional<QString> address = parlowen::extractWanAddress(text);
        if (!address || *address != QLatin1String("203.0.113.7"))
            state.SkipWithError("WAN address not found");
        benchmark::DoNotOptimize(address);
    }
    state.SetBytesProcessed(state.iterations() * page.size());
}

void textAreaLog(benchmark::State& state)
{
    pageTextAndWanAddress(state, Layout::TextArea);
}

void preLog(benchmark::State& state)
{
    pageTextAndWanAddress(state, Layout::Pre);
}

void tableLog(benchmark::State& state)
{
    pageTextAndWanAddress(state, Layout::Table);
}

constexpr int64_t kKiB = 1024;
constexpr int64_t kMiB = 1024 * kKiB;

} // namespace

BENCHMARK(textAreaLog)->Arg(64 * kKiB)->Arg(kMiB)->Arg(16 * kMiB)->Unit(benchmark::kMillisecond);
BENCHMARK(preLog)->Arg(64 * kKiB)->Arg(kMiB)->Arg(16 * kMiB)->Unit(benchmark::kMillisecond);
BENCHMARK(tableLog)->Arg(64 * kKiB)->Arg(kMiB)->Arg(16 * kMiB)->Unit(benchmark::kMillisecond);

BENCHMARK_MAIN();
