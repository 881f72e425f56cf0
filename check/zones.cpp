// Where a host name's zone may begin.
#include "check/zones.h"

namespace parlowen {

namespace {
// A name this deep is asked for its few longest endings only: each is a
// request, and no home names its host with more levels than that.
constexpr qsizetype MostCandidates = 6;
} // namespace

QString plainHost(const QString& host)
{
    QString plain = host.trimmed().toLower();
    if (plain.endsWith(u'.'))
        plain.chop(1);
    return plain;
}

QStringList zoneCandidates(const QString& host)
{
    const QStringList labels = plainHost(host).split(u'.');
    QStringList candidates;
    for (qsizetype first = 0; labels.size() - first >= 2 && candidates.size() < MostCandidates; ++first)
        candidates << labels.sliced(first).join(u'.');
    return candidates;
}

QString nameInZone(const QString& host, const QString& zone)
{
    const QString plain = plainHost(host);
    if (plain == zone)
        return QStringLiteral("@");
    return plain.chopped(zone.size() + 1);
}

AnswerJudgement noSuchRecord(const QString& host, const QString& zone, QStringView where, QStringView type)
{
    const QString theZone = zone.isEmpty() ? QStringLiteral("The zone") : QStringLiteral("The zone ") + zone;
    return {
        UpdateOutcome::NotAccepted,
        QStringLiteral("%1 has no %2 record for %3, and Parlowen changes records but does not make them. Add "
                       "one %4, then it is kept up to date.")
            .arg(theZone, type, plainHost(host), where)};
}

} // namespace parlowen
