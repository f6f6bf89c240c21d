// DatabaseLock: the lock that lets several connections (processes, or
// threads each with its own connection) share one database directory.
//
// qx.lock holds no lock by its existence: connections take an open file
// description lock (fcntl F_OFD_SETLK) on it, shared to read and exclusive
// to write, for the length of a statement or of a transaction, waiting up
// to a busy timeout.  Its first bytes are the state connections share:
//
//   0  u64 changeCounter   +1 at every commit: a connection that sees it
//                          moved since its last lock reloads its tables
//   8  u64 committedEnd    where the log's committed frames end; a log
//                          longer than that with no writer holding the
//                          lock was left by a writer that died: hot
//
// Both are written only under the exclusive lock.
#pragma once

#include <cstdint>
#include <string>

namespace qxhost {

class DatabaseLock {
public:
    static constexpr const char* kFileName = "qx.lock";
    enum class Level { kNone, kRead, kWrite };
    struct Shared {
        std::uint64_t changeCounter = 0;
        std::uint64_t committedEnd = 0;
    };

    DatabaseLock() = default;
    ~DatabaseLock();
    DatabaseLock(const DatabaseLock&) = delete;
    DatabaseLock& operator=(const DatabaseLock&) = delete;

    // Opens (creating) qx.lock in `directory`; a read-only directory without one gives a
    // connection that takes no locks.
    bool Open(const std::string& directory, std::string& error);
    // Takes `level` (also from kRead to kWrite and back), waiting up to `timeoutMs`;
    // false when another connection held it that long.  The lock held stays as it was.
    bool Take(Level level, long timeoutMs);
    void Release();
    Level Held() const { return held_; }

    Shared Read() const;
    void Write(const Shared& shared);

private:
    bool TryOnce(Level level);

    int fd_ = -1;  // owned
    Level held_ = Level::kNone;
};

}  // namespace qxhost
