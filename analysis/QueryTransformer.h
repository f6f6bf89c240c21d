// Placeholder until name resolution and typing land.
#pragma once
#include <cstdint>
#include "base/ListElement.h"
namespace qx {
struct SqlRequest;
class QueryPlan;
class QueryTransformer : public ListElement {
public:
    explicit QueryTransformer(SqlRequest* request) : request_(request) {}
    std::int16_t Transform(QueryPlan*) { return 1; }
private:
    SqlRequest* request_;
};
}  // namespace qx
