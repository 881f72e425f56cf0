#pragma once
// The one request that carries the address to a provider of an update URL:
// the account where the provider reads it, the address under the name it
// reads, and nothing the user typed lost.

#include "check/providerrequest.h"
#include "check/providers.h"
#include "check/updateurl.h"

namespace parlowen {

// For a row of UpdateProtocol::UpdateUrl. Always over https, which every
// such provider serves: an account must not cross the network in clear.
// The Service URL's own query stays, but for the names set here.
ProviderRequest updateRequest(const Provider& provider, const UpdateFields& fields);

// For a Service URL of no row: the update template, and the two fields
// to answer a challenge of the Service URL's own host with, unless the
// Service URL carries an account of its own.
ProviderRequest templateRequest(const UpdateFields& fields);

} // namespace parlowen
