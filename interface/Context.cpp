#include "interface/Context.h"
namespace qx {
MemoContext* NewMemoContext() { return nullptr; }
void FreeMemoContext(MemoContext*) {}
std::int32_t ScanMemoReferences(MemoContext*, const char*) { return 0; }
std::int32_t GetMemoInfo(MemoContext*, std::int32_t, char*, std::uint32_t, std::int32_t*) { return 0; }
std::int32_t ReplaceMemo(MemoContext*, char*, std::int32_t, const char*, std::uint32_t) { return 0; }
void ReplaceMemoReferences(char*, std::uint32_t) {}
}  // namespace qx
