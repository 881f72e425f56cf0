#pragma once
// The request that carries the address to a provider of an update URL: the
// account where the provider reads it, the addresses under the names it
// reads, and nothing the user typed lost. A provider that takes one family
// a request gets a second one for the IPv6 address.

#include "check/providerrequest.h"
#include "check/providers.h"
#include "check/updateurl.h"

#include <QList>

namespace parlowen {

// For a row of UpdateProtocol::UpdateUrl. Always over https, which every
// such provider serves: an account must not cross the network in clear.
// The Service URL's own query stays, but for the names set here. One
// request, or the IPv4 address's and then the IPv6 address's where
// IPv6=yes goes to a provider of Ipv6Form::SecondRequest.
QList<ProviderRequest> updateRequests(const Provider& provider, const UpdateFields& fields);

// For a Service URL of no row: the update template, and the two fields
// to answer a challenge of the Service URL's own host with, unless the
// Service URL carries an account of its own.
ProviderRequest templateRequest(const UpdateFields& fields);

} // namespace parlowen
