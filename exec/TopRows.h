// TopRows: the first rows of a result in ORDER BY order, found in one pass
// over the rows without keeping the others (ORDER BY ... LIMIT).  A heap
// holds at most `keep` rows, the last of them in order on top; a new row
// that sorts before the top replaces it.  Keys compare as RowSorter compares
// them, and rows with equal keys keep the order they came in, so the rows
// kept are the first `keep` rows of the stable sort.
#pragma once

#include <cstddef>
#include <cstdint>
#include <string>
#include <vector>

#include "base/MemoryBudget.h"

namespace qx {

class ItemDescriptor;
class TableRef;
struct OrderKey;

class TopRows {
public:
    TopRows(TableRef& result, const std::vector<OrderKey>& keys, std::size_t keep);

    // Considers the result's current record; false when memory runs out.
    bool Offer();
    // Appends the kept rows, in order, to the result table; false when memory runs out.
    bool Write();

private:
    struct Key {
        ItemDescriptor* item;
        bool numeric;
        bool descending;
    };
    struct Row {
        std::vector<unsigned char> bytes;
        std::vector<double> numbers;     // the numeric keys, in key order
        std::vector<std::string> texts;  // the text keys, in key order
        std::uint64_t sequence = 0;      // arrival order
    };

    // True when `a` sorts before `b`.
    bool Before(const Row& a, const Row& b) const;
    // True when the current record sorts before `row`.
    bool CurrentBefore(const Row& row, std::uint64_t sequence) const;
    // The current record as a row (its keys read out).
    bool Take(Row& row, std::uint64_t sequence);

    TableRef& result_;
    std::vector<Key> keys_;
    std::size_t keep_;
    std::vector<Row> heap_;
    std::uint64_t next_ = 0;
    MemoryCharge charge_;
};

}  // namespace qx
