// Interrupt: a request that the statement running in the process stop.
// It may come from another thread or from a signal handler, so it is one
// lock-free flag.  Statement start clears it; the loops over host records
// look at it and end the statement, which then fails with kMsgInterrupted.
#pragma once

namespace qx {

void RequestInterrupt();
bool InterruptRequested();
void ClearInterrupt();

}  // namespace qx
