#pragma once
// Rows of tst_providers' tables for IPv6=yes and IPv6=only: every provider
// that takes an IPv6 address, in its own form.

#include <QByteArray>
#include <QList>
#include <QMetaType>
#include <QString>

struct Answer {
    QByteArray expected; // "METHOD url" of the request this answers
    int status;
    QByteArray body;
};

Q_DECLARE_METATYPE(QList<Answer>)

inline const QString Ipv6Address = QStringLiteral("2001:db8:1::10");

// theAddressGoesWhereTheProviderReadsIt: IPv6=yes, IPv6=only, and IPv6=yes
// without an address of this computer's, for each provider of an update URL.
void addIpv6RequestRows();
// anApiChangesTheRecordOnlyWhenItHoldsAnotherAddress: the AAAA record after
// the A record, or alone.
void addIpv6ApiRows();
// ipv6IsRefusedBeforeAnythingIsSent: the providers and Service URLs an
// IPv6 address cannot go to, in words, and some it can.
void addIpv6RefusalRows();
