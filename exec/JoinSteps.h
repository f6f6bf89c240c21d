// JoinSteps: the selection of a SELECT whose FROM list holds a LEFT JOIN.
// Its tables are joined in the order written, each step keeping the
// combinations of the tables so far with the records of the next one that
// its ON condition accepts; a LEFT JOIN also keeps, once, each combination
// that no record of its table matches, with that table on no record (its
// items read as empty values).  WHERE then keeps the combinations it holds
// for.  An ON condition that equates an item of the step's table with an
// item of an earlier one looks the matching records up by hash.
#pragma once

#include <cstdint>

namespace qx {

class QueryPlan;
class SelectBlock;

// 1 with the block's conditionResult set to its combinations; 0 after an
// error was raised through the block.  A block without a LEFT JOIN is
// walked the same way, its tables joined with no ON condition: every
// combination WHERE holds for (a condition the set algebra of RowSelection
// cannot reduce, such as an OR whose sides read different tables).
std::int16_t RunJoinSteps(QueryPlan& plan, SelectBlock& block);

}  // namespace qx
