// ChangeCounter: how many records the file engine has added, rewritten or
// deleted, so that the shell can say "N rows changed" after INSERT, UPDATE
// and DELETE (the SQL engine itself reports no count).  The count comes
// from the file engine's QXHostChangeCount(context) when the loaded
// libobhost32.so has it; older builds lack it and then no count is shown.
#pragma once

#include <cstdint>

namespace qxsql {

class ChangeCounter {
public:
    ChangeCounter();  // looks the call up in the loaded libraries

    bool Available() const { return count_ != nullptr; }
    // Changes since the database `context` was opened; 0 when not available.
    std::uint32_t Count(std::uint16_t context) const;

private:
    using CountCall = std::uint32_t (*)(std::uint16_t);
    CountCall count_ = nullptr;  // QXHostChangeCount, or null
};

}  // namespace qxsql
