// MemoryBudget: the bound on one statement's working memory.
//
// Only the structures whose size follows the data are counted: tuple sets
// and their hashes, memory tables and their row hashes, key hashes, the
// sorter's keys and the row lists of nested SELECTs.  What follows the
// statement's text (tree, plan, dictionary, value lists) is not.  Each such
// structure holds a MemoryCharge, made while the statement is compiled or
// run, which charges the budget of that statement in whole chunks before
// the structure grows and gives the bytes back as it shrinks or dies.
//
// A charge that would pass the limit is refused and the budget stays
// exceeded: every later charge is refused too, so the statement stops at
// the next growth of any structure.  The structure fails through the error
// path it already has; the request pipeline then reports the bound.
//
// One budget lives in each request (interface/SqlRequest.h); the request
// pipeline makes it the current one while QXSQLExecReq runs.  The engine
// runs one call at a time, like the block heap.
#pragma once

#include <cstdint>

namespace qx {

class MemoryBudget {
public:
    // No constructor: the zero state of a zero-filled request is a budget
    // without a limit that has charged nothing.

    // Empties the budget and sets its limit in bytes (0: no limit).
    void Start(std::uint64_t limitBytes);
    // Takes `bytes`; false (and exceeded from then on) when that would pass
    // the limit.  With `optional`, a refusal only says no: for memory a
    // structure can do without (a cache), the statement goes on.
    bool Charge(std::uint64_t bytes, bool optional = false);
    void Release(std::uint64_t bytes);

    bool Exceeded() const { return exceeded_; }
    // An allocation was refused while the budget was current (whatever its limit).
    void NoteRefusedAllocation() { allocationRefused_ = true; }
    bool AllocationRefused() const { return allocationRefused_; }
    std::uint64_t Limit() const { return limit_; }
    std::uint64_t Used() const { return used_; }

    // The budget of the statement being compiled or run, or null.
    static MemoryBudget* Current();

    // Makes a budget the current one for its lifetime, then restores the previous one.
    class Scope {
    public:
        explicit Scope(MemoryBudget* budget);
        ~Scope();
        Scope(const Scope&) = delete;
        Scope& operator=(const Scope&) = delete;

    private:
        MemoryBudget* previous_;
    };

private:
    std::uint64_t limit_;  // bytes; 0: no limit
    std::uint64_t used_;   // bytes charged and not released
    bool exceeded_;        // a charge was refused
    bool allocationRefused_;  // the heap refused an allocation
};

// One structure's share of the budget current when it was made (none
// outside a statement: then nothing is counted).  Movable, not copyable.
class MemoryCharge {
public:
    static constexpr std::uint64_t kChunk = 64 * 1024;  // bytes charged or released at a time

    MemoryCharge() : budget_(MemoryBudget::Current()) {}
    ~MemoryCharge() { Hold(0); }
    MemoryCharge(MemoryCharge&& other) noexcept;
    MemoryCharge& operator=(MemoryCharge&& other) noexcept;
    MemoryCharge(const MemoryCharge&) = delete;
    MemoryCharge& operator=(const MemoryCharge&) = delete;

    // The structure is about to hold `bytes` in all: charges whole chunks
    // as it grows, releases them as it shrinks.  False when the budget
    // refuses (nothing changes then).  Shrinking always succeeds.
    bool Hold(std::uint64_t bytes, bool optional = false);
    bool Add(std::uint64_t bytes) { return Hold(held_ + bytes); }
    // For memory the structure can do without: a refusal leaves the budget
    // as it was, not exceeded.
    bool TryAdd(std::uint64_t bytes) { return Hold(held_ + bytes, true); }
    // True once the budget is exceeded, by this structure or another: no growth may follow.
    bool Refused() const { return budget_ != nullptr && budget_->Exceeded(); }
    std::uint64_t Held() const { return held_; }

private:
    MemoryBudget* budget_;       // not owned; null: nothing counted
    std::uint64_t held_ = 0;     // bytes the structure says it holds
    std::uint64_t charged_ = 0;  // bytes taken from the budget: held_ rounded up to chunks
};

// The limit every new statement starts with (bytes; 0: no limit).  Set at
// instance start-up from the profile.
void SetStatementMemoryLimit(std::uint64_t bytes);
std::uint64_t StatementMemoryLimit();

}  // namespace qx
