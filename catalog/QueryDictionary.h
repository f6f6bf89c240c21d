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

#include <cstdint>

#include "base/Error.h"
#include "base/List.h"
#include "base/ListElement.h"
#include "catalog/NameSlotSet.h"
#include "catalog/TableRef.h"
#include "obhost.h"
#include "parser/StatementNames.h"

namespace qx {

class QueryDictionary : public ListElement {
public:
    static constexpr std::uint16_t kNameWidth = 20;    // item names that fit a fixed slot
    static constexpr std::size_t kMaxFileName = 8;     // table names the host can be asked about

    std::uint16_t hostContext = 0;  // the caller's context word, first argument of every callback
    std::uintptr_t memoValues = 0;  // the caller's memo parameter table (address), or 0
    List tables{0, 4};              // owned TableRefs, in the order the parser met them
    List items{0, 4};               // descriptors of referenced items, owned by their TableRefs (detached at destruction)
    DictionaryExchange info{};      // area through which OGETINFOSOBD answers
    NameSlotSet referencedNames{kNameWidth};  // item names the statement mentions (until loading)
    List otherItems{0, 4};          // owned descriptors "FILE.ITEM" of unmentioned items, no owner

    QueryDictionary(std::uint16_t hostContext, std::uintptr_t memoValues);
    // Detaches `items`, then destroys the tables (and their descriptors) and `otherItems`.
    ~QueryDictionary() override;

    // The reference named `name` when one exists; else a new one appended to
    // `tables` with `aliasOf` set (and `unnamed` 1 when `name` is null or
    // empty).  Null when memory runs out.
    TableRef* FindOrAddTable(const char* name, TableRef* aliasOf);
    // One reference per table and correlation name of `names`, in order,
    // and every item name noted.  Fails only when memory runs out.
    Status AddNames(const StatementNames& names);
    // Notes the part of `name` after its first "." (the whole name without
    // one) as a referenced item name.  Returns 1.
    std::int16_t NoteItemName(const char* name);
    // Asks the host about every table and its items and builds the
    // descriptors.  Fails with 4243 for the first unknown table, 4241 for a
    // dictionary answer that cannot be laid out in the record, 4242 when
    // memory runs out.
    Status LoadDescriptions();

private:
    // Reads the items of table `table` (found by the host, `info` answered
    // for operation 0).  0 when the layout had to be cut short (`status` set).
    std::int16_t LoadItems(TableRef* table, const char* fileName, Status& status);
};

}  // namespace qx
