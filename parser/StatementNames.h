// StatementNames: the tables, correlation names and item names a statement
// mentions, in the order the parser meets them.  Once parsing ends, the
// dictionary view of the statement is built from them (one table reference
// per distinct name, in this order) and asks the host about exactly these.
#pragma once

#include <cstddef>
#include <string>
#include <vector>

namespace qx {

struct StatementNames {
    static constexpr std::size_t kNone = static_cast<std::size_t>(-1);

    struct Table {
        std::string name;             // table or correlation name as written
        std::size_t aliasOf = kNone;  // for a correlation name: the index of the table it stands for
        bool allItems = false;        // every item of the table counts as referenced (SELECT *)
        bool usedName = false;        // the statement uses the table under this name
    };

    std::vector<Table> tables;       // distinct names, first mention first
    std::vector<std::string> items;  // item names as written (qualified or not), in order

    // The index of the entry named `name`; a new entry standing for
    // `aliasOf` when there is none.  May throw std::bad_alloc.
    std::size_t FindOrAdd(const std::string& name, std::size_t aliasOf = kNone) {
        for (std::size_t i = 0; i < tables.size(); ++i)
            if (tables[i].name == name) return i;
        tables.push_back(Table{name, aliasOf, false, false});
        return tables.size() - 1;
    }
};

}  // namespace qx
