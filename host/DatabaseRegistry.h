// DatabaseRegistry: the open databases by host context number (1..65535).
//
// The registry owns every open Database.  Lookup is an array index, so the
// callbacks find their database in constant time.  Numbers are handed out
// round-robin, so a closed context is not reused at once.  Opening and
// closing may come from several threads (each with its own connections);
// a context is used by one thread at a time.
#pragma once

#include <cstdint>
#include <memory>

namespace qxhost {

class Database;

class DatabaseRegistry {
public:
    // Takes ownership; returns the context number, or 0 when 65535 databases are open.
    static std::uint16_t Add(std::unique_ptr<Database> db);
    // The database of `context`, or null.
    static Database* Find(std::uint32_t context) { return context < kSlots ? slots_[context] : nullptr; }
    // Closes and forgets the database of `context`; false when there is none.
    static bool Remove(std::uint32_t context);

private:
    static constexpr std::uint32_t kSlots = 65536;
    static Database* slots_[kSlots];   // slot 0 is never used; owned pointers
    static std::uint32_t next_;
};

}  // namespace qxhost
