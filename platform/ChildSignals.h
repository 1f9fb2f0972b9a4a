// The signal state of the programs this process starts, the same whether they are spawned or
// forked: no signal blocked, the broken-pipe signal at its default action, and no signal ignored
// that this process did not itself inherit as ignored (what its own parent asked for).
#pragma once

#include <spawn.h>

namespace platform {

// Gives a spawn's attributes (initialised by the caller) that state; 0 or the error number.
int SetChildSignals(posix_spawnattr_t& attributes);

// The same state, in a child between fork and exec (async-signal-safe).
void ResetChildSignals();

}  // namespace platform
