// DatabaseRegistry: context numbers of the open databases (see DatabaseRegistry.h).
#include "host/DatabaseRegistry.h"

#include <mutex>

#include "host/Database.h"

namespace qxhost {
namespace {

// Threads may each open and close their own connection: the slots change under it.
std::mutex g_slotsMutex;

}  // namespace

Database* DatabaseRegistry::slots_[DatabaseRegistry::kSlots] = {};
std::uint32_t DatabaseRegistry::next_ = 1;

std::uint16_t DatabaseRegistry::Add(std::unique_ptr<Database> db) {
    std::lock_guard<std::mutex> guard(g_slotsMutex);
    for (std::uint32_t tries = 0; tries < kSlots - 1; ++tries) {
        std::uint32_t context = next_;
        next_ = next_ + 1 < kSlots ? next_ + 1 : 1;
        if (!slots_[context]) {
            slots_[context] = db.release();
            return static_cast<std::uint16_t>(context);
        }
    }
    return 0;
}

bool DatabaseRegistry::Remove(std::uint32_t context) {
    Database* db = nullptr;
    {
        std::lock_guard<std::mutex> guard(g_slotsMutex);
        if (context == 0 || context >= kSlots || !slots_[context]) return false;
        db = slots_[context];
        slots_[context] = nullptr;
    }
    delete db;
    return true;
}

}  // namespace qxhost
