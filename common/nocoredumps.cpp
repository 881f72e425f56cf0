// Keeps the passwords in memory out of core files.
#include "common/nocoredumps.h"

#include <sys/prctl.h>
#include <sys/resource.h>

namespace parlowen {

void forbidCoreDumps()
{
    // Both calls only lower what the process may do, so neither can fail for
    // want of permission; there is nothing useful to do if one did.
    const rlimit none{0, 0};
    setrlimit(RLIMIT_CORE, &none);
    prctl(PR_SET_DUMPABLE, 0, 0, 0, 0);
}

} // namespace parlowen
