#pragma once
// Each simulated provider's answer to one request that reached its host.
// Every play reads the account first, so that a refusal of the account is
// what a wrong secret gets whatever else is wrong with the request.

#include "sim/providercall.h"

namespace parlowen::sim {

// The dyndns2 family, by the row of sim/dyndns2rules.cpp that call.name names.
FakeResponse playDyndns2(ProviderCall& call);
FakeResponse playDesec(ProviderCall& call);
FakeResponse playDynv6(ProviderCall& call);
FakeResponse playDuckDns(ProviderCall& call);
FakeResponse playFreeDns(ProviderCall& call);
FakeResponse playFreeDnsV2(ProviderCall& call);
FakeResponse playYdns(ProviderCall& call);
FakeResponse playYdnsToken(ProviderCall& call);
FakeResponse playNamecheap(ProviderCall& call);
FakeResponse playCloudflare(ProviderCall& call);
FakeResponse playPorkbun(ProviderCall& call);
FakeResponse playGandi(ProviderCall& call);
FakeResponse playGoDaddy(ProviderCall& call);

} // namespace parlowen::sim
