// NumberText: shortest round-trip text of a number.
#include "shell/NumberText.h"

#include <charconv>
#include <cmath>

namespace qxsql {

std::string NumberText(double value, bool single) {
    if (value == 0) return "0";
    if (!std::isfinite(value)) return std::isnan(value) ? "NaN" : value > 0 ? "Inf" : "-Inf";
    double magnitude = std::fabs(value);
    single = single && magnitude <= 3.4028234663852886e38;  // FLT_MAX: a float item holds no more
    auto format =
        magnitude >= 1e-5 && magnitude < 1e16 ? std::chars_format::fixed : std::chars_format::scientific;
    char buffer[400];
    auto result = single ? std::to_chars(buffer, buffer + sizeof buffer, static_cast<float>(value), format)
                         : std::to_chars(buffer, buffer + sizeof buffer, value, format);
    return result.ec == std::errc() ? std::string(buffer, result.ptr) : std::string();
}

}  // namespace qxsql
