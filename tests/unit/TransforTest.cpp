// Typed operators, comparisons, LIKE and number conversions.
#include <gtest/gtest.h>

#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <limits>
#include <random>
#include <string>
#include <vector>

#include "base/MemoryBlock.h"
#include "values/Transfor.h"

namespace {

using namespace qx;

// An operand as (type, bytes); texts keep their NUL.  Bytes sit one byte
// into the buffer so that every read is unaligned.
struct Operand {
    std::int16_t type = 0;
    std::vector<unsigned char> bytes;
    const void* Address() const { return bytes.size() > 1 ? bytes.data() + 1 : nullptr; }
    std::int32_t Size() const { return static_cast<std::int32_t>(bytes.size()) - 1; }
};

template <typename T>
Operand Num(std::int16_t type, T value) {
    Operand o{type, std::vector<unsigned char>(1 + sizeof(T))};
    std::memcpy(o.bytes.data() + 1, &value, sizeof value);
    return o;
}
Operand I8(std::int8_t v) { return Num(kOperandInt8, v); }
Operand I16(std::int16_t v) { return Num(kOperandInt16, v); }
Operand U16(std::uint16_t v) { return Num(kOperandUInt16, v); }
Operand I32(std::int32_t v) { return Num(kOperandInt32, v); }
Operand U32(std::uint32_t v) { return Num(kOperandUInt32, v); }
Operand F(float v) { return Num(kOperandFloat, v); }
Operand D(double v) { return Num(kOperandDouble, v); }
Operand Textual(std::int16_t type, const std::string& s) {
    Operand o{type, std::vector<unsigned char>(1 + s.size() + 1)};
    std::memcpy(o.bytes.data() + 1, s.c_str(), s.size() + 1);
    return o;
}
Operand T(const std::string& s) { return Textual(kOperandText, s); }
Operand Date(const std::string& s) { return Textual(kOperandDate, s); }
Operand Time(const std::string& s) { return Textual(kOperandTime, s); }
Operand None() { return Operand{}; }

// The result of ApplyOperator rendered as "type:size:value".
std::string Apply(const Operand& a, std::int16_t op, const Operand& b) {
    std::int16_t type = -1;
    std::int32_t size = -1;
    void* result = nullptr;
    if (!ApplyOperator(a.type, a.Size(), a.Address(), op, b.type, b.Size(), b.Address(), &type, &size, &result))
        return "fail";
    std::string value;
    char text[64];
    switch (type) {
        case kOperandInt8: { std::int8_t v; std::memcpy(&v, result, 1); value = std::to_string(v); break; }
        case kOperandInt16: { std::int16_t v; std::memcpy(&v, result, 2); value = std::to_string(v); break; }
        case kOperandUInt16: { std::uint16_t v; std::memcpy(&v, result, 2); value = std::to_string(v); break; }
        case kOperandInt32: { std::int32_t v; std::memcpy(&v, result, 4); value = std::to_string(v); break; }
        case kOperandUInt32: { std::uint32_t v; std::memcpy(&v, result, 4); value = std::to_string(v); break; }
        case kOperandFloat: case kOperandFloatAlt: {
            float v; std::memcpy(&v, result, 4); std::snprintf(text, sizeof text, "%g", v); value = text; break;
        }
        case kOperandDouble: {
            double v; std::memcpy(&v, result, 8); std::snprintf(text, sizeof text, "%g", v); value = text; break;
        }
        default: value = static_cast<const char*>(result); break;
    }
    EXPECT_EQ(FreeBlock(result), 1);
    return std::to_string(type) + ":" + std::to_string(size) + ":" + value;
}

struct ApplyCase {
    const char* what;
    Operand a;
    std::int16_t op;
    Operand b;
    const char* expected;
};

TEST(TransforTest, ApplyOperatorTable) {
    const double nan = std::numeric_limits<double>::quiet_NaN();
    const ApplyCase cases[] = {
        // Numbers take the first operand's type.
        {"int32 + real", I32(7), kOpPlus, D(2.5), "3:4:9"},
        {"real + int32", D(2.5), kOpPlus, I32(7), "7:8:9.5"},
        {"minus", I16(7), kOpMinus, I8(10), "1:2:-3"},
        {"times", U32(6), kOpTimes, F(0.5f), "4:4:3"},
        {"divide", D(1), kOpDivide, I16(4), "7:8:0.25"},
        {"float keeps float", F(1.5f), kOpPlus, D(0.25), "6:4:1.75"},
        {"float 11 keeps 11", Num(kOperandFloatAlt, 1.5f), kOpPlus, D(0.25), "11:4:1.75"},
        {"truncation toward zero", I32(0), kOpPlus, D(2.9), "3:4:2"},
        {"negative truncation", I32(0), kOpPlus, D(-2.9), "3:4:-2"},
        {"power unsupported", D(2), kOpPower, D(3), "fail"},
        {"comparison is no operator", D(2), kOpEqual, D(3), "fail"},
        // Integer results saturate; NaN stores 0; division by zero gives 0.
        {"int16 overflow", I16(30000), kOpPlus, I16(30000), "1:2:32767"},
        {"int16 underflow", I16(-30000), kOpMinus, I16(30000), "1:2:-32768"},
        {"uint16 below zero", U16(1), kOpMinus, I16(2), "2:2:0"},
        {"int8 overflow", I8(100), kOpTimes, I8(2), "5:1:127"},
        {"uint32 overflow", U32(4000000000u), kOpPlus, U32(4000000000u), "4:4:4294967295"},
        {"int32 huge", I32(1), kOpTimes, D(1e300), "3:4:2147483647"},
        {"NaN into int", I16(1), kOpTimes, D(nan), "1:2:0"},
        {"int divide by zero", I32(5), kOpDivide, I32(0), "3:4:0"},
        {"real divide by zero", D(5), kOpDivide, D(0), "7:8:0"},
        {"zero by zero", D(0), kOpDivide, D(-0.0), "7:8:0"},
        {"float overflow", F(1e30f), kOpTimes, D(1e30), "6:4:inf"},
        // Unary minus.
        {"unary minus uint16", U16(5), kOpMinus, None(), "1:2:-5"},
        {"unary minus uint32", U32(5), kOpMinus, None(), "3:4:-5"},
        {"unary minus real", D(2.5), kOpMinus, None(), "7:8:-2.5"},
        {"unary minus int16 min", I16(-32768), kOpMinus, None(), "1:2:32767"},
        {"unary plus", D(2.5), kOpPlus, None(), "fail"},
        {"unary minus text", T("AB"), kOpMinus, None(), "fail"},
        {"unary date", Date("19960229"), kOpMinus, None(), "9:9:19960229"},
        {"unary time", Time("1230"), kOpPlus, None(), "10:5:1230"},
        // Texts.
        {"concatenation", T("AB"), kOpPlus, T("CD"), "8:6:ABCD"},
        {"text minus", T("AB"), kOpMinus, T("CD"), "fail"},
        {"text and number", T("AB"), kOpPlus, I16(1), "fail"},
        {"number and text", I16(1), kOpPlus, T("AB"), "fail"},
        // Dates moved by days (every fourth year is a leap year).
        {"year end", Date("19961231"), kOpPlus, I16(1), "9:9:19970101"},
        {"back over year end", Date("19960101"), kOpMinus, I16(1), "9:9:19951231"},
        {"leap day", Date("19960228"), kOpPlus, I16(1), "9:9:19960229"},
        {"after leap day", Date("19960229"), kOpPlus, I16(1), "9:9:19960301"},
        {"no leap day", Date("19970228"), kOpPlus, I16(1), "9:9:19970301"},
        {"1900 is leap", Date("19000228"), kOpPlus, I16(1), "9:9:19000229"},
        {"2000 is leap", Date("20000228"), kOpPlus, I16(1), "9:9:20000229"},
        {"whole leap year", Date("19960101"), kOpPlus, I16(366), "9:9:19970101"},
        {"four years", Date("19960101"), kOpPlus, I32(1461), "9:9:20000101"},
        {"many years back", Date("20000301"), kOpMinus, I32(36525), "9:9:19000301"},
        {"days truncated", Date("19961231"), kOpPlus, D(1.9), "9:9:19970101"},
        {"negative days", Date("19970101"), kOpPlus, D(-1.9), "9:9:19961231"},
        {"short date", Date("961231"), kOpPlus, I16(1), "9:7:970101"},
        {"short date century", Date("991231"), kOpPlus, I16(1), "9:7:000101"},
        {"upper limit", Date("99991231"), kOpPlus, I16(1), "9:9:99991231"},
        {"lower limit", Date("00000101"), kOpMinus, D(1e300), "9:9:00000101"},
        {"bad date text", Date("ab"), kOpPlus, I16(1), "9:7:000101"},
        {"empty date", Date(""), kOpPlus, I16(0), "9:7:991231"},
        {"date times", Date("19961231"), kOpTimes, I16(2), "fail"},
        {"number + date", I16(1), kOpPlus, Date("19961231"), "fail"},
        {"date + text", Date("19961231"), kOpPlus, T("1"), "fail"},
        // Date - date: days from the second to the first.
        {"one day", Date("19970101"), kOpMinus, Date("19961231"), "1:2:1"},
        {"minus one day", Date("19961231"), kOpMinus, Date("19970101"), "1:2:-1"},
        {"common year", Date("19970301"), kOpMinus, Date("19960301"), "1:2:365"},
        {"leap year", Date("19960301"), kOpMinus, Date("19950301"), "1:2:366"},
        {"mixed lengths", Date("970101"), kOpMinus, Date("19961231"), "1:2:1"},
        {"clamped high", Date("20000101"), kOpMinus, Date("19000101"), "1:2:32767"},
        {"clamped low", Date("19000101"), kOpMinus, Date("20000101"), "1:2:-32768"},
        {"date + date", Date("19970101"), kOpPlus, Date("19961231"), "fail"},
        // Times.
        {"hours past midnight", Time("2300"), kOpPlus, I16(2), "10:5:0100"},
        {"hours before midnight", Time("0100"), kOpMinus, I16(3), "10:5:2200"},
        {"more than a day", Time("1230"), kOpPlus, I16(25), "10:5:1330"},
        {"hours truncated", Time("1230"), kOpMinus, D(-1.5), "10:5:1330"},
        {"huge hours", Time("1230"), kOpPlus, D(1e300), "10:5:1230"},
        {"time difference", Time("2300"), kOpMinus, Time("0100"), "10:5:2200"},
        {"over midnight", Time("0100"), kOpMinus, Time("2300"), "10:5:0200"},
        {"minutes", Time("0030"), kOpMinus, Time("0045"), "10:5:2345"},
        {"same time", Time("1200"), kOpMinus, Time("1200"), "10:5:0000"},
        {"bad hours", Time("9959"), kOpMinus, Time("0000"), "10:5:0359"},
        {"time + time", Time("1200"), kOpPlus, Time("0100"), "fail"},
        {"time and date", Time("1200"), kOpMinus, Date("19961231"), "fail"},
        {"unknown type", Num(12, 1.0), kOpPlus, D(1), "fail"},
    };
    for (const ApplyCase& c : cases) EXPECT_EQ(Apply(c.a, c.op, c.b), c.expected) << c.what;
}

struct CompareCase {
    const char* what;
    std::int16_t op;
    Operand a;
    Operand b;
    int expected;
};

TEST(TransforTest, CompareTypedTable) {
    const CompareCase cases[] = {
        {"beyond six decimals", kOpEqual, D(1.0000001), D(1.0000002), 1},
        {"sixth decimal", kOpEqual, D(1.000001), D(1.000002), 0},
        {"sixth decimal less", kOpLess, D(1.000001), D(1.000002), 1},
        {"integer and real", kOpEqual, I16(5), D(4.9999999), 1},
        {"not greater", kOpGreater, I16(5), D(4.9999999), 0},
        {"unsigned", kOpGreater, U32(4000000000u), I32(-1), 1},
        {"float", kOpEqual, F(0.1f), D(0.1), 1},
        {"<>", kOpNotEqual, D(1), D(2), 1},
        {"<=", kOpLessEqual, D(2), D(2), 1},
        {">=", kOpGreaterEqual, D(1), D(2), 0},
        {"unknown operator", kOpPlus, D(1), D(1), 0},
        {"number and text", kOpEqual, D(1), T("1"), 0},
        {"text and number", kOpEqual, T("1"), D(1), 0},
        {"null test zero", kOpNullTest, D(0.0000004), None(), 1},
        {"null test nonzero", kOpNullTest, D(0.000001), None(), 0},
        {"null test negative zero", kOpNullTest, D(-0.0), None(), 1},
        {"missing B reads 0", kOpEqual, D(0), None(), 1},
        {"texts ignore case", kOpEqual, T("abc"), T("ABC"), 1},
        {"case-insensitive order", kOpLess, T("a"), T("B"), 1},
        {"text order", kOpGreater, T("abd"), T("ABC"), 1},
        {"prefix is less", kOpLess, T("ab"), T("abc"), 1},
        {"date with short date", kOpEqual, Date("19961231"), T("961231"), 1},
        {"short date with date", kOpEqual, Date("961231"), Date("19961231"), 1},
        {"century skipped", kOpLess, Date("20000101"), T("991231"), 1},
        {"plain texts keep centuries", kOpEqual, T("19961231"), T("961231"), 0},
        {"time of 8 characters", kOpEqual, Time("00123000"), T("123000"), 1},
        {"date and time compare as texts", kOpEqual, Date("1200"), Time("1200"), 1},
        {"null test empty text", kOpNullTest, T(""), None(), 1},
        {"null test text", kOpNullTest, T("a"), None(), 0},
        {"unknown class", kOpEqual, Num(12, 1.0), Num(12, 1.0), 0},
    };
    for (const CompareCase& c : cases)
        EXPECT_EQ(CompareTyped(c.op, c.a.type, c.a.Address(), c.b.type, c.b.Address()), c.expected) << c.what;
}

// ---- The numeric path against the "%lf" round trip ----------------------

double Reference(double x) {
    char text[400];
    std::snprintf(text, sizeof text, "%lf", x);
    return std::strtod(text, nullptr);
}

bool SameDouble(double a, double b) {
    if (std::isnan(a) || std::isnan(b)) return std::isnan(a) && std::isnan(b);
    return a == b && std::signbit(a) == std::signbit(b);
}

// The relation on values already passed through the round trip.
int ReferenceRelation(std::int16_t op, double x, double y) {
    switch (op) {
        case kOpNullTest: return x == 0.0;
        case kOpNotEqual: return x != y;
        case kOpLessEqual: return x <= y;
        case kOpGreaterEqual: return x >= y;
        case kOpLess: return x < y;
        case kOpGreater: return x > y;
        default: return x == y;
    }
}

class Sampler {
public:
    explicit Sampler(unsigned seed) : rng_(seed) {}
    double Next() {
        std::uniform_int_distribution<int> kind(0, 11);
        std::uniform_int_distribution<std::int64_t> micro(-9000000000000, 9000000000000);
        std::uniform_int_distribution<int> exponent(-14, 20);
        std::uniform_real_distribution<double> unit(-1.0, 1.0);
        double sign = (rng_() & 1) ? -1.0 : 1.0;
        switch (kind(rng_)) {
            case 0: return unit(rng_) * std::pow(10.0, exponent(rng_));
            case 1: return (static_cast<double>(micro(rng_) / 1000) + 0.5) / 1e6;  // decimal ties
            case 2: {  // neighbours of decimal ties
                double tie = (static_cast<double>(micro(rng_) % 100000000) + 0.5) / 1e6;
                int steps = static_cast<int>(rng_() % 5) - 2;
                for (; steps < 0; ++steps) tie = std::nextafter(tie, -INFINITY);
                for (; steps > 0; --steps) tie = std::nextafter(tie, INFINITY);
                return tie;
            }
            case 3: return sign * static_cast<double>(rng_() % 1000000 * 2 + 1) / 128.0;  // exact binary ties
            case 4: return static_cast<double>(micro(rng_) / 1000000);                   // integers
            case 5: return sign * std::ldexp(static_cast<double>(rng_() % 1000 + 1), -static_cast<int>(rng_() % 40));
            case 6: {  // any bit pattern
                std::uint64_t bits = (static_cast<std::uint64_t>(rng_()) << 32) | rng_();
                double d;
                std::memcpy(&d, &bits, sizeof d);
                return d;
            }
            case 7: return sign * (4.4e9 + unit(rng_) * 2e8);     // around the fast-path limit
            case 8: return sign * (1e15 + unit(rng_) * 1e14);     // few fraction bits left
            case 9: return sign * unit(rng_) * 1e-6;              // below the sixth decimal
            case 10: {
                static const double specials[] = {0.0, -0.0, 0.0000005, -0.0000005, 1.2345675, -1.2345675,
                                                  0.0000015, 2.5e-6, 1e300, -1e300, 1e-300, 4.9e-324,
                                                  INFINITY, -INFINITY, NAN, 4503599627.0, 4503599627.370496,
                                                  9007199254740992.0, 9007199254740991.5, 0.0078125};
                return specials[rng_() % (sizeof specials / sizeof specials[0])];
            }
            default: return static_cast<double>(static_cast<float>(unit(rng_) * 1000));
        }
    }
    // Either a fresh value or one close to `other`, so that relations vary.
    double Near(double other) {
        switch (rng_() % 4) {
            case 0: return other;
            case 1: return std::nextafter(other, INFINITY);
            case 2: return other + ((rng_() & 1) ? 1e-7 : -1e-7);
            default: return Next();
        }
    }

private:
    std::mt19937 rng_;
};

TEST(TransforTest, SixDecimalRoundingMatchesPrintfRoundTrip) {
    Sampler sampler(12345);
    const double fixed[] = {0.0000005, 1.2345675, 0.0078125, 0.0234375, 1.0000005, 2.0000005, 0.9999995,
                            123456.0000005, 4503599626.9999995, -0.0, 5e-7, 4.9999999e-7};
    for (double x : fixed) EXPECT_TRUE(SameDouble(RoundToSixDecimals(x), Reference(x))) << x;
    for (int i = 0; i < 400000; ++i) {
        double x = sampler.Next();
        ASSERT_TRUE(SameDouble(RoundToSixDecimals(x), Reference(x))) << std::hexfloat << x;
    }
}

TEST(TransforTest, CompareTypedMatchesPrintfRoundTripOnRandomPairs) {
    Sampler sampler(777);
    const std::int16_t ops[] = {kOpNotEqual, kOpLessEqual, kOpGreaterEqual, kOpLess, kOpGreater, kOpEqual,
                                kOpNullTest};
    int holds = 0;
    for (int i = 0; i < 250000; ++i) {
        double a = sampler.Next(), b = sampler.Near(a);
        double ra = Reference(a), rb = Reference(b);
        for (std::int16_t op : ops) {
            int got = CompareTyped(op, kOperandDouble, &a, kOperandDouble, &b);
            ASSERT_EQ(got, ReferenceRelation(op, ra, rb)) << std::hexfloat << a << " op " << op << " " << b;
            holds += got;
        }
    }
    EXPECT_GT(holds, 250000);  // the pairs exercise both outcomes
}

// ---- LIKE ---------------------------------------------------------------

struct LikeCase {
    const char* value;
    const char* pattern;
    int expected;
};

TEST(TransforTest, MatchLikeTable) {
    const LikeCase cases[] = {
        {"ABCD", "A%", 1},     {"ABCD", "%CD", 1},    {"ABCD", "%BC%", 1},  {"ABCD", "A_CD", 1},
        {"ABCD", "A%D", 0},    {"A%D", "A%D", 1},     {"", "%", 1},         {"", "%%", 1},
        {"ABCD", "%%", 1},     {"", "", 1},           {"A", "", 0},         {"ABCD", "ABC", 0},
        {"ABC", "ABC_", 0},    {"ABCD", "_BCD", 1},   {"ABCD", "%ABCDE", 0}, {"ABCD", "ABCDE%", 0},
        {"AB", "%AB%", 1},     {"abcd", "A%", 0},     {"ABCD", "%_D", 1},   {"A", "%_%", 1},
        {"", "%_%", 0},        {"ABCD", "%X%", 0},    {"ABCD", "%D%", 1},   {"ABCD", "%A%", 1},
        {"A\xC3\xA9" "CD", "A_CD", 1},                 {"\xC3\xA9", "_", 1}, {"\xC3\xA9", "__", 0},
        {"x\xC3\xA9", "%_", 1}, {"ABCD", "%B_D", 1},  {"ABCD", "%B_", 0},   {"A_C", "A_C", 1},
    };
    for (const LikeCase& c : cases) EXPECT_EQ(MatchLike(c.value, c.pattern), c.expected) << c.value << " LIKE " << c.pattern;
    EXPECT_EQ(MatchLike(nullptr, "%"), 0);
}

// ---- Number texts -------------------------------------------------------

TEST(TransforTest, ReadNumberTable) {
    struct Case {
        const char* text;
        double expected;
    } cases[] = {
        {"1,5", 1.5},    {"-2.5E2", -250}, {"12a3", 123},       {"", 0},            {"0.1", 0.1},
        {"1.234567", 1.234567},            {"+3", 3},           {"1e-3", 0.001},    {"  42 ", 42},
        {"5E", 5},       {"-0.000001", -0.000001},              {"99999999999999999999999", 1e23},
        {"0.0000000000000000000000000000000000000000000001234", 1.234e-46},
        {"123456789012345678901234567890123456789012345678901234567890", 1.2345678901234568e59},
        {"1e400", INFINITY}, {"1e-400", 0.0},
    };
    for (const auto& c : cases) EXPECT_EQ(ReadNumber(c.text), c.expected) << c.text;
    EXPECT_EQ(ReadNumber(nullptr), 0.0);
    EXPECT_TRUE(std::signbit(ReadNumber("-0")));
}

}  // namespace
