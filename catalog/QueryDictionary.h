// QueryDictionary: the per-request view of the host's data dictionary (the
// analysis) - the tables and correlation names a statement names, the item
// names it mentions, and, once loaded, one ItemDescriptor per item used.
//
// AddNames fills it with what the parser noted (StatementNames);
// LoadDescriptions then asks the host (OGETINFOSOBD) about every table and
// item; name resolution and execution look items up here.
// The request owns the dictionary until QXSQLFinRequete; the dictionary owns
// every TableRef (`tables`) and the descriptors of `otherItems`; `items`
// only refers to descriptors owned by the TableRefs.
#pragma once

#include <cstddef>
#include <cstdint>
#include <functional>
#include <memory>
#include <vector>

#include "base/Error.h"
#include "catalog/NameSlotSet.h"
#include "catalog/TableRef.h"
#include "obhost.h"
#include "parser/StatementNames.h"

namespace qx {

class QueryDictionary {
public:
    static constexpr std::uint16_t kNameWidth = 20;    // item names that fit a fixed slot
    static constexpr std::size_t kMaxFileName = 8;     // table names the host can be asked about
    // Most references `tables` holds, and most descriptors `items` and
    // `otherItems` each hold.
    static constexpr std::size_t kMaxTables = 16383;
    static constexpr std::size_t kMaxItems = TableRef::kMaxItems;

    std::uint16_t hostContext = 0;  // the caller's context word, first argument of every callback
    std::uintptr_t memoValues = 0;  // the caller's memo parameter table (address), or 0
    std::vector<std::unique_ptr<TableRef>> tables;  // in the order the parser met them
    std::vector<ItemDescriptor*> items;              // descriptors of referenced items, owned by their TableRefs
    DictionaryExchange info{};      // area through which OGETINFOSOBD answers
    NameSlotSet referencedNames{kNameWidth};  // item names the statement mentions (until loading)
    std::vector<std::unique_ptr<ItemDescriptor>> otherItems;  // "FILE.ITEM" of unmentioned items, no owner

    QueryDictionary(std::uint16_t hostContext, std::uintptr_t memoValues);
    QueryDictionary(const QueryDictionary&) = delete;
    QueryDictionary& operator=(const QueryDictionary&) = delete;
    ~QueryDictionary();

    // The reference named `name` when one exists; else a new one appended to
    // `tables` with `aliasOf` set (and `unnamed` 1 when `name` is null or
    // empty).  Null when memory runs out or `tables` holds kMaxTables.
    TableRef* FindOrAddTable(const char* name, TableRef* aliasOf);
    // Drops a table FindOrAddTable added (a result table made again).
    void RemoveTable(const TableRef* table);
    // One reference per table and correlation name of `names`, in order,
    // and every item name noted.  Fails only when memory runs out.
    Status AddNames(const StatementNames& names);
    // Notes the part of `name` after its first "." (the whole name without
    // one) as a referenced item name.  Returns 1.
    std::int16_t NoteItemName(const char* name);
    // Asks the host about every table and its items and builds the
    // descriptors.  A table the host does not describe goes to
    // `unknownTable` when one is given, which may make it a memory table
    // (a view: `found` set, with its items and those of its correlation
    // names); its failure ends the loading.  Fails with 4243 for the first
    // table left unknown, 4241 for a dictionary answer that cannot be laid
    // out in the record, 4242 when memory runs out.
    using UnknownTable = std::function<Status(TableRef& table)>;
    Status LoadDescriptions(const UnknownTable& unknownTable = nullptr);

private:
    // Reads the items of table `table` (found by the host, `info` answered
    // for operation 0).  0 when the layout had to be cut short (`status` set).
    std::int16_t LoadItems(TableRef* table, const char* fileName, Status& status);
};

}  // namespace qx
