// Placeholder until the grammar lands: every statement is refused.
#pragma once
#include <cstdint>
#include "base/ListElement.h"
namespace qx {
struct SqlRequest;
class Parser : public ListElement {
public:
    explicit Parser(SqlRequest* request) : request_(request) {}
    std::int16_t Parse();
private:
    SqlRequest* request_;
};
}  // namespace qx
