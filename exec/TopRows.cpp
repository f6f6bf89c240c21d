#include "exec/TopRows.h"

#include <algorithm>
#include <cstring>
#include <new>

#include "analysis/BoundStatement.h"
#include "catalog/Cell.h"
#include "catalog/ItemDescriptor.h"
#include "catalog/TableRef.h"
#include "values/FieldType.h"

namespace qx {

TopRows::TopRows(TableRef& result, const std::vector<OrderKey>& keys, std::size_t keep)
    : result_(result), keep_(keep) {
    for (const OrderKey& order : keys) {
        ItemDescriptor* item = result.FindItemQualified(order.name.c_str());
        if (item == nullptr) break;  // compares equal from here on
        std::int16_t valueClass = ValueClassOf(item->type);
        bool comparable = (valueClass == kClassNumeric || valueClass == kClassText || valueClass == kClassDate ||
                           valueClass == kClassTime) &&
                          item->keyKind != ItemDescriptor::kCompositeKey;
        if (!comparable) break;
        keys_.push_back(Key{item, valueClass == kClassNumeric, order.descending});
    }
}

bool TopRows::Take(Row& row, std::uint64_t sequence) {
    try {
        row.bytes.assign(result_.record, result_.record + result_.recordSize);
        row.numbers.clear();
        row.texts.clear();
        for (const Key& key : keys_) {
            const void* value = ReadCell(key.item, result_.record);
            if (value == nullptr) return false;
            if (key.numeric) {
                double x;
                std::memcpy(&x, value, sizeof x);
                row.numbers.push_back(x);
            } else {
                row.texts.emplace_back(static_cast<const char*>(value));
            }
        }
        row.sequence = sequence;
        return true;
    } catch (const std::bad_alloc&) {
        return false;
    }
}

bool TopRows::Before(const Row& a, const Row& b) const {
    std::size_t number = 0, text = 0;
    for (const Key& key : keys_) {
        int c;
        if (key.numeric) {
            double x = a.numbers[number], y = b.numbers[number];
            ++number;
            c = x < y ? -1 : x > y ? 1 : 0;
        } else {
            c = std::strcmp(a.texts[text].c_str(), b.texts[text].c_str());
            ++text;
        }
        if (c != 0) return key.descending ? c > 0 : c < 0;
    }
    return a.sequence < b.sequence;
}

bool TopRows::CurrentBefore(const Row& row, std::uint64_t sequence) const {
    std::size_t number = 0, text = 0;
    for (const Key& key : keys_) {
        const void* value = ReadCell(key.item, result_.record);
        if (value == nullptr) return false;
        int c;
        if (key.numeric) {
            double x;
            std::memcpy(&x, value, sizeof x);
            double y = row.numbers[number++];
            c = x < y ? -1 : x > y ? 1 : 0;
        } else {
            c = std::strcmp(static_cast<const char*>(value), row.texts[text++].c_str());
        }
        if (c != 0) return key.descending ? c > 0 : c < 0;
    }
    return sequence < row.sequence;
}

bool TopRows::Offer() {
    if (keep_ == 0) return true;
    std::uint64_t sequence = next_++;
    auto before = [this](const Row& a, const Row& b) { return Before(a, b); };
    if (heap_.size() < keep_) {
        if (!charge_.Add(result_.recordSize + 64)) return false;
        Row row;
        if (!Take(row, sequence)) return false;
        try {
            heap_.push_back(std::move(row));
        } catch (const std::bad_alloc&) {
            return false;
        }
        std::push_heap(heap_.begin(), heap_.end(), before);
        return true;
    }
    if (!CurrentBefore(heap_.front(), sequence)) return true;
    std::pop_heap(heap_.begin(), heap_.end(), before);
    if (!Take(heap_.back(), sequence)) return false;
    std::push_heap(heap_.begin(), heap_.end(), before);
    return true;
}

bool TopRows::Write() {
    std::sort_heap(heap_.begin(), heap_.end(), [this](const Row& a, const Row& b) { return Before(a, b); });
    for (const Row& row : heap_) {
        std::memcpy(result_.record, row.bytes.data(), result_.recordSize);
        if (result_.WriteRecord(0) != TableRef::kWriteOk) return false;
    }
    heap_.clear();
    return true;
}

}  // namespace qx
