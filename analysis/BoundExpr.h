// BoundExpr: a value expression after binding - every name resolved to the
// item it stands for, every literal converted once, every operator and
// function named - with the class typing gave it.
//
// An item reference reads its value through `slot`: the position of the item
// among the items the enclosing predicate reads (BoundPredicate::items), so
// evaluation finds it by index in the values it is handed.
#pragma once

#include <cstddef>
#include <cstdint>
#include <memory>
#include <string>
#include <vector>

#include "analysis/TypeClass.h"
#include "values/Operator.h"

namespace qx {

class ItemDescriptor;
struct BoundCondition;

enum class ExprKind : std::uint8_t {
    kItem,           // an item of a table: `item`, read through `slot`
    kNumber,         // a numeric literal: `number` (`text` as written)
    kText,           // a string literal: `text`
    kDate,           // DATE 'x': `text` holds its YYYYMMDD digits
    kTime,           // TIME 'x': `text` holds its HHMM digits
    kNegate,         // - operands[0]
    kArithmetic,     // operands[0] `op` operands[1]
    kFunction,       // `function` (operands[0])
    kCountStar,      // COUNT(*) in a condition: the number of rows of the result it is computed for
    kAggregate,      // an aggregate of a grouped SELECT: `aggregate` over operands[0] (none for COUNT(*)), `slot` its index
    kParenthesized,  // "( condition )" written where a value stands: `condition`
    kCurrentDate,    // CURRENT DATE: today, as YYYYMMDD
    kCurrentTime,    // CURRENT TIME: now, as HHMMSS
    kDefault,        // DEFAULT or NULL in a list of values: the item's empty value
    kSubSelect,      // "(SELECT ...)" where a value stands: the first value of nested SELECT `block`'s rows
    kNoValue,        // an expression that gives no value (a name in VALUES, other aggregates, date parts)
    kParameter,      // "?": the value bound to parameter `slot` (from 0) when the statement runs
};

enum class Aggregate : std::uint8_t {
    kCountRows,  // COUNT(*)
    kCount,      // COUNT(x)
    kSum,
    kAvg,
    kMin,
    kMax,
};

enum class Function : std::uint8_t {
    kNone,
    kDigits,
    kFloat,
    kInteger,
    kLength,
    kHex,      // the bytes of a text in hexadecimal
    kYear,     // parts of a date (YYYYMMDD) or a time (HHMM[SS])
    kMonth,
    kDay,
    kHour,
    kMinute,
    kSecond,
    kUpper,
    kLower,
    kSubstr,   // SUBSTR(text, start [, length]), in characters from 1
    kTrim,     // without its leading and trailing blanks
    kAbs,
    kRound,    // ROUND(number [, decimals])
};

struct BoundExpr {
    ExprKind kind = ExprKind::kNoValue;
    TypeClass typeClass = TypeClass::kNone;
    OperatorCode op = 0;              // kArithmetic: kOpPlus, kOpMinus, kOpTimes or kOpDivide
    Function function = Function::kNone;
    Aggregate aggregate = Aggregate::kCountRows;  // kAggregate
    bool distinct = false;            // kAggregate: over distinct values
    ItemDescriptor* item = nullptr;   // kItem (owned by its table); kSubSelect: its column's item, if one
    int block = -1;                   // kSubSelect
    std::size_t slot = 0;             // kItem: index in the enclosing predicate's items; kAggregate: in the SELECT's aggregates; kParameter: its number
    double number = 0;                // kNumber
    std::string text;                 // literal text, or the words as written (EXPLAIN)
    std::vector<std::unique_ptr<BoundExpr>> operands;
    std::unique_ptr<BoundCondition> condition;  // kParenthesized

    BoundExpr();
    ~BoundExpr();
    explicit BoundExpr(ExprKind k, TypeClass c = TypeClass::kNone);
    BoundExpr(const BoundExpr&) = delete;
    BoundExpr& operator=(const BoundExpr&) = delete;

    // True for a number or string literal.
    bool IsLiteral() const { return kind == ExprKind::kNumber || kind == ExprKind::kText; }
};

}  // namespace qx
