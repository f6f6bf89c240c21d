#include "base/MemoryBudget.h"

namespace qx {
namespace {

MemoryBudget* g_current = nullptr;
std::uint64_t g_statementLimit = 0;

std::uint64_t RoundUpToChunk(std::uint64_t bytes) {
    if (bytes > UINT64_MAX - MemoryCharge::kChunk) return UINT64_MAX;  // refused by any limit
    std::uint64_t chunks = bytes / MemoryCharge::kChunk + (bytes % MemoryCharge::kChunk != 0 ? 1 : 0);
    return chunks * MemoryCharge::kChunk;
}

}  // namespace

void MemoryBudget::Start(std::uint64_t limitBytes) {
    limit_ = limitBytes;
    used_ = 0;
    exceeded_ = false;
    allocationRefused_ = false;
}

bool MemoryBudget::Charge(std::uint64_t bytes, bool optional) {
    if (exceeded_) return false;
    if (limit_ != 0 && (bytes > limit_ || used_ > limit_ - bytes)) {
        if (!optional) exceeded_ = true;
        return false;
    }
    used_ += bytes;
    return true;
}

void MemoryBudget::Release(std::uint64_t bytes) { used_ = bytes < used_ ? used_ - bytes : 0; }

MemoryBudget* MemoryBudget::Current() { return g_current; }

MemoryBudget::Scope::Scope(MemoryBudget* budget) : previous_(g_current) { g_current = budget; }

MemoryBudget::Scope::~Scope() { g_current = previous_; }

MemoryCharge::MemoryCharge(MemoryCharge&& other) noexcept
    : budget_(other.budget_), held_(other.held_), charged_(other.charged_) {
    other.held_ = other.charged_ = 0;
}

MemoryCharge& MemoryCharge::operator=(MemoryCharge&& other) noexcept {
    if (this != &other) {
        Hold(0);
        budget_ = other.budget_;
        held_ = other.held_;
        charged_ = other.charged_;
        other.held_ = other.charged_ = 0;
    }
    return *this;
}

bool MemoryCharge::Hold(std::uint64_t bytes, bool optional) {
    // Most calls stay within the chunks already charged: one comparison.
    if (budget_ != nullptr && (bytes > charged_ || charged_ - bytes >= kChunk)) {
        std::uint64_t wanted = RoundUpToChunk(bytes);
        if (wanted > charged_) {
            if (!budget_->Charge(wanted - charged_, optional)) return false;
        } else {
            budget_->Release(charged_ - wanted);
        }
        charged_ = wanted;
    }
    held_ = bytes;
    return true;
}

void SetStatementMemoryLimit(std::uint64_t bytes) { g_statementLimit = bytes; }

std::uint64_t StatementMemoryLimit() { return g_statementLimit; }

}  // namespace qx
