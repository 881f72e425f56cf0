// The file size limit as an error a save reports, not a signal that kills.
#include "common/filesizelimit.h"

#include <csignal>

namespace parlowen {

void makeFileSizeLimitAnError()
{
    std::signal(SIGXFSZ, SIG_IGN);
}

} // namespace parlowen
