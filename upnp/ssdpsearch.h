#pragma once
// The search for the router's gateway, on a socket of our own: it asks the
// router itself and the SSDP group, and ends as soon as the router has
// answered, so that no other device's answers, however many, can hold it.

#include <netinet/in.h>

#include <functional>
#include <string>

namespace parlowen::upnp {

// Every answer's LOCATION is handed to answered as it comes; the search ends
// when that returns true, or after milliseconds.
void searchGateways(in_addr router, int milliseconds,
                    const std::function<bool(const std::string& location)>& answered);

} // namespace parlowen::upnp
