#pragma once
// Every simulated provider: its --provider key, the host names it answers
// under, the play that answers it, and where its secrets travel besides the
// usual places, for the log.

#include "sim/providerplays.h"

#include <QStringView>

#include <array>
#include <span>

namespace parlowen::sim {

struct ProviderEntry {
    const char* name;
    std::array<const char*, 2> hosts; // the main one first; nullptr when it has one
    FakeResponse (*play)(ProviderCall& call);
    const char* pathSecret = nullptr; // a pattern whose first group is a token in the raw target
    bool userIsSecret = false;        // user names may carry the token (IPv64)
};

std::span<const ProviderEntry> providerEntries();
// nullptr for a name not listed.
const ProviderEntry* providerEntry(QStringView name);

} // namespace parlowen::sim
