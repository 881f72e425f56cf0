#pragma once
// Both programs hold the router's and the provider's passwords in memory. A
// core dump would write them to disk, where other people and crash reporters
// may read them, so neither program may leave one.

namespace parlowen {

// Makes this process non-dumpable (no core file, no ptrace by other
// processes of the same user, /proc files owned by root) and sets its core
// size limit to zero, as ssh-agent and gpg-agent do. Call first thing in
// main, before any password is read.
void forbidCoreDumps();

} // namespace parlowen
