#pragma once
// Where a host name's zone may begin, for the JSON APIs that ask for the
// registered domain and the name within it.

#include "check/outcome.h"

#include <QString>
#include <QStringList>
#include <QStringView>

namespace parlowen {

// The host name and the names it ends in, longest first, down to two
// labels: the zone is the first of them the provider knows. A public suffix
// such as co.uk is asked too, since no list of them is kept: the provider
// knows none as a zone of yours.
QStringList zoneCandidates(const QString& host);

// The name within the zone, "@" for the zone itself; the host is in it.
QString nameInZone(const QString& host, const QString& zone);

// The host name as the APIs compare it: lower case, without a final dot.
QString plainHost(const QString& host);

// The verdict on a record that is not there to update: Parlowen changes
// records, it does not make them, so that a typing error never makes one.
// type: "A" or "AAAA".
AnswerJudgement noSuchRecord(const QString& host, const QString& zone, QStringView where,
                             QStringView type = u"A");

} // namespace parlowen
