// StrictValues: the checks of strict mode on a value about to be stored.
//
// Under the lenient rules a value is fitted to its item: integers keep
// their low bytes, texts are cut, a date keeps its first eight characters
// whatever they are, a text that is no number reads as 0.  Under strict
// mode each of these is an error naming the table, the item and the value,
// raised before anything of the statement is written.  A value that passes
// may come back in a normalised form (a date as YYYYMMDD, a time as HHMM)
// so that what is stored is what was meant.
#pragma once

#include "base/Error.h"
#include "exec/Value.h"

namespace qx {

class ItemDescriptor;

// Checks `value` (an evaluated value of VALUES, SET or an INSERT ... SELECT
// row) for `item` of `table`.  On success `stored` is the value to write:
// `value` itself (moved) or its normalised form.
Status CheckStrictValue(const ItemDescriptor& item, const char* table, Value& value, Value& stored);

}  // namespace qx
