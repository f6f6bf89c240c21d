// Engine: the SQL engine and the file engine as the driver shares them
// between connections.  The engine is started once for the process and
// takes one call at a time, so every driver entry point that reaches it
// holds the lock; it stops when the last connection closes.
#pragma once

#include <mutex>
#include <string>

namespace qxodbc {

class Engine {
public:
    // The lock every entry point takes before touching a handle.
    static std::mutex& Lock();
    // Starts the engine for one more connection; false with `error` set
    // when it does not start.
    static bool Acquire(std::string& error);
    // One connection fewer; the last one stops the engine.
    static void Release();
};

}  // namespace qxodbc
