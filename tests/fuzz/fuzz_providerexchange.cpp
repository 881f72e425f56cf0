// Fuzzes an update against every provider of the table with hostile answers:
// each exchange ends within a few requests, every request goes to the
// provider's own host over https, and no verdict quotes the password.

#include "check/checksettings.h"
#include "check/providerexchange.h"
#include "check/providers.h"

#include <QUrl>

#include <fuzzer/FuzzedDataProvider.h>

#include <cstdio>
#include <cstdlib>

using namespace parlowen;

namespace {

// The longest exchange: six zone candidates, the record, the change.
constexpr int MostRequests = 8;
const QString Password = QStringLiteral("Fz9-secret-Q");

[[noreturn]] void fail(const char* what, const QString& detail)
{
    std::fprintf(stderr, "invariant broken: %s\n%s\n", what, qUtf8Printable(detail));
    std::abort();
}

QString text(FuzzedDataProvider& input, size_t most)
{
    const std::string bytes = input.ConsumeRandomLengthString(most);
    return QString::fromUtf8(bytes.data(), qsizetype(bytes.size()));
}

QString serviceUrlOf(const Provider& provider, FuzzedDataProvider& input)
{
    const QString host = provider.hosts.split(u' ').first().toString();
    return QStringLiteral("https://") + host + provider.path.toString() + text(input, 64);
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size)
{
    FuzzedDataProvider input(data, size);
    const auto rows = providers();
    const Provider& provider = rows[input.ConsumeIntegralInRange<size_t>(0, rows.size() - 1)];
    const QString service = serviceUrlOf(provider, input);
    const QString host = text(input, 80);
    const QString user = text(input, 32);
    const CheckSettings settings{{}, QStringLiteral("192.0.2.1"), service, user, Password, host};
    const Redactor shown = redactorFor(settings);
    const std::unique_ptr<ProviderExchange> exchange =
        exchangeFor({service, user, Password, host, "203.0.113.7"});
    // What follows the path may make it another row's URL, or none's.
    const Provider* row = providerFor(service);
    const QString expectedHost =
        !row || row->requestHost.isEmpty() ? QUrl(service.trimmed()).host() : row->requestHost.toString();

    ProviderRequest request = exchange->first();
    for (int sent = 1;; ++sent) {
        const QUrl url(request.url);
        if (row && (url.scheme() != QLatin1String("https") ||
                    (row->protocol == UpdateProtocol::UpdateUrl && url.host() != expectedHost)))
            fail("a request leaves the provider's own host or https", request.url);
        if (sent > MostRequests)
            fail("the exchange does not end", request.url);
        LoadedPage answer;
        answer.httpStatus = input.ConsumeIntegralInRange(0, 600);
        answer.body = QByteArray::fromStdString(input.ConsumeRandomLengthString(4096));
        answer.text = QString::fromUtf8(answer.body);
        const auto next = exchange->next(answer, shown);
        if (const auto* judgement = std::get_if<AnswerJudgement>(&next)) {
            if (judgement->reason.contains(Password))
                fail("a verdict quotes the password", judgement->reason);
            return 0;
        }
        request = std::get<ProviderRequest>(next);
    }
}
