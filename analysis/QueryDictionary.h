// Placeholder until the dictionary view lands.
#pragma once
#include <cstdint>
#include "base/ListElement.h"
namespace qx {
struct SqlRequest;
class QueryDictionary : public ListElement {
public:
    explicit QueryDictionary(SqlRequest* request) : request_(request) {}
    std::int16_t LoadDescriptions() { return 1; }
private:
    SqlRequest* request_;
};
}  // namespace qx
