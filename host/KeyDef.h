// KeyDef: a named key over one or more items (a composite key).
//
// A key over a single item that bears the item's own name is not a KeyDef:
// it is the item's `key` property.  A KeyDef is reported to the engine as an
// item of size 0 with compositeKey set, after the file's data items.
#pragma once

#include <string>
#include <vector>

#include "host/ItemDef.h"

namespace qxhost {

struct KeyDef {
    std::string name;                 // upper case, at most 10 bytes, distinct from item names
    KeyMode mode = KeyMode::Unique;   // Unique or Duplicates
    std::vector<std::size_t> items;   // indexes into the file's items, in key order
    std::vector<bool> descending;     // per entry of `items`: that item orders from the largest value
    int line = 0;                     // line of the analysis file (0: not from a file)
};

}  // namespace qxhost
