#include "exec/RowSorter.h"

#include <algorithm>
#include <cstring>
#include <new>
#include <string>
#include <vector>

#include "analysis/BoundStatement.h"
#include "base/MemoryBlock.h"
#include "base/MemoryBudget.h"
#include "catalog/Cell.h"
#include "catalog/ItemDescriptor.h"
#include "catalog/TableRef.h"
#include "values/FieldType.h"

namespace qx {
namespace {

// The sort keys of one ORDER BY item, read once per row.
struct KeyColumn {
    bool descending = false;
    bool numeric = false;
    std::vector<double> numbers;
    std::vector<std::string> texts;
};

}  // namespace

std::int16_t SortRows(TableRef& table, const std::vector<OrderKey>& orderBy, std::int64_t keep) {
    if (!table.IsMemoryTable()) return 0;
    if (orderBy.empty() || table.rowCount < 2) return 1;
    auto rowCount = static_cast<std::uint64_t>(table.rowCount);
    MemoryCharge charge;  // the keys, the order and its merge buffer, the sorted copy
    const std::size_t inlineText = std::string().capacity();
    try {
        std::vector<KeyColumn> keys;
        for (const OrderKey& order : orderBy) {
            ItemDescriptor* item = table.FindItemQualified(order.name.c_str());
            if (item == nullptr) break;  // compares equal from here on
            std::int16_t valueClass = ValueClassOf(item->type);
            KeyColumn key;
            key.descending = order.descending;
            key.numeric = valueClass == kClassNumeric;
            bool comparable = (key.numeric || valueClass == kClassText || valueClass == kClassDate ||
                               valueClass == kClassTime) &&
                              item->keyKind != ItemDescriptor::kCompositeKey;
            if (!charge.Add(rowCount * (key.numeric ? sizeof(double) : sizeof(std::string)))) return 0;
            if (key.numeric) key.numbers.reserve(rowCount);
            else key.texts.reserve(rowCount);
            for (std::int32_t r = 1; r <= table.rowCount; ++r) {
                const void* value = comparable ? ReadCell(item, table.RowAddress(r)) : nullptr;
                if (comparable && value == nullptr) return 0;  // no buffer for the value: out of memory
                if (key.numeric) {
                    double x = 0;
                    if (value != nullptr) std::memcpy(&x, value, sizeof x);
                    key.numbers.push_back(x);
                } else {
                    key.texts.emplace_back(value != nullptr ? static_cast<const char*>(value) : "");
                    // A text longer than the string's own buffer takes a block of its own.
                    std::size_t capacity = key.texts.back().capacity();
                    if (capacity > inlineText && !charge.Add(capacity + 1)) return 0;
                }
            }
            keys.push_back(std::move(key));
        }
        if (keys.empty()) return 1;
        std::size_t bytes = static_cast<std::size_t>(table.rowCount) * table.recordSize;
        if (!charge.Add(2 * rowCount * sizeof(std::int32_t) + bytes)) return 0;
        std::vector<std::int32_t> order(static_cast<std::size_t>(table.rowCount));
        for (std::size_t i = 0; i < order.size(); ++i) order[i] = static_cast<std::int32_t>(i);
        auto before = [&keys](std::int32_t a, std::int32_t b) {
            for (const KeyColumn& key : keys) {
                int c;
                if (key.numeric) {
                    double x = key.numbers[a], y = key.numbers[b];
                    c = x < y ? -1 : x > y ? 1 : 0;
                } else {
                    // Byte order of unsigned characters, as text values compare.
                    c = std::strcmp(key.texts[a].c_str(), key.texts[b].c_str());
                    c = c < 0 ? -1 : c > 0 ? 1 : 0;
                }
                if (c != 0) return key.descending ? c > 0 : c < 0;
            }
            return false;
        };
        std::size_t placed = order.size();
        if (keep >= 0 && static_cast<std::size_t>(keep) < order.size()) {
            // Only the first rows are wanted: they are found without sorting
            // the others, equal keys still in their order.
            placed = static_cast<std::size_t>(keep);
            std::partial_sort(order.begin(), order.begin() + static_cast<std::ptrdiff_t>(placed), order.end(),
                              [&before](std::int32_t a, std::int32_t b) { return before(a, b) || (!before(b, a) && a < b); });
        } else {
            std::stable_sort(order.begin(), order.end(), before);
        }
        auto* sorted = static_cast<unsigned char*>(AllocLargeBlock(static_cast<std::uint32_t>(bytes)));
        if (sorted == nullptr) return 0;
        for (std::size_t k = 0; k < placed; ++k)
            std::memcpy(sorted + k * table.recordSize, table.RowAddress(order[k] + 1), table.recordSize);
        std::memcpy(table.rows, sorted, placed * table.recordSize);
        FreeBlock(sorted);
        table.RowsReordered();
        return 1;
    } catch (const std::bad_alloc&) {
        return 0;
    }
}

}  // namespace qx
