// Placeholder until the plan lands.
#pragma once
#include "base/ListElement.h"
namespace qx {
struct SqlRequest;
class QueryPlan : public ListElement {
public:
    explicit QueryPlan(SqlRequest* request) : request_(request) {}
    void Execute(SqlRequest*) {}
private:
    SqlRequest* request_;
};
}  // namespace qx
