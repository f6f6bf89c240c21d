// Placeholder until expression evaluation lands.
#pragma once
#include "base/ListElement.h"
namespace qx {
class QueryPlan;
class ExpressionEvaluator : public ListElement {
public:
    explicit ExpressionEvaluator(QueryPlan* plan) : plan_(plan) {}
private:
    QueryPlan* plan_;
};
}  // namespace qx
