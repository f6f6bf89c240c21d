#include "base/MemoryBlock.h"

#include <cerrno>
#include <cstdio>

#include "base/MemoryBudget.h"
#include "base/Messages.h"
#include "platform/BlockHeap.h"
#include "platform/MessageSink.h"

namespace qx {
namespace {

constexpr int kMsgNullAddress = 1002;
constexpr int kMsgReleaseFailed = 1004;
constexpr int kMsgNoMemory = 1067;
constexpr int kMsgTooLarge = 1081;
constexpr int kMsgNotABlock = 1417;

int High16(const void* p) { return static_cast<int>((reinterpret_cast<std::uintptr_t>(p) >> 16) & 0xFFFF); }
int Low16(const void* p) { return static_cast<int>(reinterpret_cast<std::uintptr_t>(p) & 0xFFFF); }

void* Reallocate(void* block, std::uint32_t newSize) {
    void* moved = platform::HeapReallocate(block, static_cast<std::size_t>(newSize) + 4);
    if (moved == nullptr) {
        NoteAllocationFailure();
        ReportError(kMsgNoMemory);
    }
    return moved;
}

}  // namespace

void* AllocBlock(std::uint32_t size) {
    if (size < 16) size = 16;
    if (size > kMaxBlockSize) {
        NoteAllocationFailure();
        ReportError(kMsgTooLarge);
        return nullptr;
    }
    void* block = platform::HeapAllocate(size);
    if (block == nullptr) {
        NoteAllocationFailure();
        ReportError(kMsgNoMemory);
    }
    return block;
}

void* AllocLargeBlock(std::uint32_t size) {
    void* block = platform::HeapAllocate(size);
    if (block == nullptr) {
        NoteAllocationFailure();
        ReportError(kMsgNoMemory);
    }
    return block;
}

void* ReallocBlock(void* block, std::uint32_t newSize) {
    if (newSize > kMaxBlockSize) {
        NoteAllocationFailure();
        ReportError(kMsgTooLarge);
        return nullptr;
    }
    return Reallocate(block, newSize);
}

void* ReallocLargeBlock(void* block, std::uint32_t newSize) { return Reallocate(block, newSize); }

std::int16_t FreeBlock(void* block) {
    if (block == nullptr) {
        ReportError(kMsgNullAddress);
        return 0;
    }
    if (!platform::HeapOwns(block)) {
        char text[64];
        std::snprintf(text, sizeof text, "Erreur GlobalHandle %d", EINVAL);
        platform::ShowMessageBox("Erreur", text);
        ReportError(kMsgNotABlock, High16(block), Low16(block));
        return 0;
    }
    // Blocks keep no lock count here, so the "still locked" case (1418) cannot arise.
    if (!platform::HeapRelease(block)) {
        ReportError(kMsgReleaseFailed);
        return 0;
    }
    return 1;
}

void* LockBlockHandle(std::uintptr_t handle) {
    if (handle == 0) {
        ReportError(kMsgNoMemory);
        return nullptr;
    }
    return reinterpret_cast<void*>(handle);
}

std::int16_t UnlockBlockHandle(std::uintptr_t) { return 1; }

void NoteAllocationFailure() {
    if (MemoryBudget* budget = MemoryBudget::Current()) budget->NoteRefusedAllocation();
}

}  // namespace qx
