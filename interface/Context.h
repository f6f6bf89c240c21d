// Placeholder until the memo parameter scan lands.
#pragma once
#include <cstdint>
namespace qx {
class MemoContext;
MemoContext* NewMemoContext();
void FreeMemoContext(MemoContext* context);
std::int32_t ScanMemoReferences(MemoContext* context, const char* statement);
std::int32_t GetMemoInfo(MemoContext* context, std::int32_t index, char* name, std::uint32_t capacity,
                         std::int32_t* kind);
std::int32_t ReplaceMemo(MemoContext* context, char* statement, std::int32_t index, const char* replacement,
                         std::uint32_t capacity);
// Replaces every memo reference of `statement` by its numbered marker.
void ReplaceMemoReferences(char* statement, std::uint32_t capacity);
}  // namespace qx
