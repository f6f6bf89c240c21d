#include "odbc/FieldValue.h"

#include <cstdio>

namespace qxodbc {

std::string FieldValue::AsText() const {
    char buffer[64];
    switch (kind) {
        case FieldKind::kNull: return {};
        case FieldKind::kInteger: std::snprintf(buffer, sizeof buffer, "%lld", static_cast<long long>(integer)); break;
        case FieldKind::kReal: std::snprintf(buffer, sizeof buffer, "%.17g", real); break;
        case FieldKind::kDecimal: case FieldKind::kText: return text;
        case FieldKind::kDate:
            std::snprintf(buffer, sizeof buffer, "%04lld-%02lld-%02lld", static_cast<long long>(integer / 10000),
                          static_cast<long long>(integer / 100 % 100), static_cast<long long>(integer % 100));
            break;
        case FieldKind::kTime:
            std::snprintf(buffer, sizeof buffer, "%02lld:%02lld:%02lld", static_cast<long long>(integer / 10000),
                          static_cast<long long>(integer / 100 % 100), static_cast<long long>(integer % 100));
            break;
    }
    if (kind == FieldKind::kReal) {
        // The shortest form that reads back as the same double.
        for (int digits = 6; digits < 17; ++digits) {
            char shorter[64];
            std::snprintf(shorter, sizeof shorter, "%.*g", digits, real);
            double back = 0;
            if (std::sscanf(shorter, "%lf", &back) == 1 && back == real) return shorter;
        }
    }
    return buffer;
}

}  // namespace qxodbc
