// RowReader: separator choice, splitting and the line buffer.
#include "shell/RowReader.h"

#include <unordered_set>

namespace qxsql {
namespace {

constexpr char kUnitSeparator = '\x1f';
constexpr std::size_t kMaxSeparator = 4;
// Longest text the engine makes of a value beyond the column's display
// size: a number in fixed notation, a memo's text or hexadecimal form,
// the markers of composite keys and unknown types.
constexpr std::size_t kValueSlack = 8192;

std::size_t CountOf(std::string_view text, char c) {
    std::size_t n = 0;
    for (char x : text)
        if (x == c) ++n;
    return n;
}

}  // namespace

std::size_t RowReader::LineCapacity(const std::vector<ResultColumn>& columns) {
    std::size_t capacity = 1;
    for (const auto& column : columns) capacity += column.size + kValueSlack + kMaxSeparator;
    return capacity;
}

RowReader::RowReader(const std::vector<ResultColumn>& columns, LineSource source)
    : count_(columns.size()), source_(std::move(source)), buffer_(LineCapacity(columns), '\0') {}

std::string RowReader::ChooseSeparator(std::string_view sample) {
    bool present[256] = {};
    for (char c : sample) present[static_cast<unsigned char>(c)] = true;
    for (unsigned char preferred : {0x1F, 0x1E, 0x1D, 0x1C})
        if (!present[preferred]) return std::string(1, static_cast<char>(preferred));
    for (int b = 1; b < 256; ++b)
        if (!present[b]) return std::string(1, static_cast<char>(b));

    // Every byte occurs: look for a run of k distinct bytes that does not.
    // At most sample.size() k-grams exist, so the search stops early.
    for (std::size_t k = 2; k <= kMaxSeparator; ++k) {
        std::unordered_set<std::uint32_t> grams;
        for (std::size_t i = 0; i + k <= sample.size(); ++i) {
            std::uint32_t gram = 0;
            for (std::size_t j = 0; j < k; ++j) gram = (gram << 8) | static_cast<unsigned char>(sample[i + j]);
            grams.insert(gram);
        }
        unsigned char digits[kMaxSeparator];
        for (std::size_t j = 0; j < k; ++j) digits[j] = 1;
        for (;;) {
            bool distinct = true;
            std::uint32_t gram = 0;
            for (std::size_t j = 0; j < k; ++j) {
                gram = (gram << 8) | digits[j];
                for (std::size_t m = 0; m < j; ++m)
                    if (digits[m] == digits[j]) distinct = false;
            }
            if (distinct && grams.count(gram) == 0)
                return std::string(reinterpret_cast<const char*>(digits), k);
            std::size_t j = k;  // next candidate, as an odometer over bytes 1..255
            while (j > 0 && digits[j - 1] == 255) digits[--j] = 1;
            if (j == 0) break;
            ++digits[j - 1];
        }
    }
    return std::string(1, kUnitSeparator);  // unreachable for rows shorter than 4 GB
}

void RowReader::Split(std::string_view line, std::string_view separator, std::size_t count,
                      std::vector<std::string_view>& values) {
    values.clear();
    if (count == 0) return;
    while (values.size() + 1 < count) {
        std::size_t at = separator.empty() ? std::string_view::npos : line.find(separator);
        if (at == std::string_view::npos) break;
        values.push_back(line.substr(0, at));
        line.remove_prefix(at + separator.size());
    }
    values.push_back(line);
    values.resize(count);
}

bool RowReader::ReadValues(std::vector<std::string_view>& values) {
    const char first[2] = {kUnitSeparator, '\0'};
    buffer_[0] = '\0';
    if (source_(first, buffer_.data()) != 0) return false;
    std::string_view line(buffer_.data());
    if (count_ <= 1 || CountOf(line, kUnitSeparator) == count_ - 1) {  // one column: the line is the value
        Split(line, std::string_view(first, 1), count_, values);
        return true;
    }
    std::string separator = ChooseSeparator(line);
    buffer_[0] = '\0';
    if (source_(separator.c_str(), buffer_.data()) != 0) return false;
    Split(std::string_view(buffer_.data()), separator, count_, values);
    return true;
}

}  // namespace qxsql
