// The 10-byte fixed-point field: text and double conversions both ways.
#include <gtest/gtest.h>

#include <cmath>
#include <cstring>
#include <random>
#include <string>

#include "values/FixedPoint.h"
#include "values/Transfor.h"

namespace {

using namespace qx;

// A field holding `units` (value times 10^6), sign-extended to 80 bits.
std::string Field(std::int64_t units, bool top = false) {
    unsigned char bytes[10];
    std::uint64_t low = static_cast<std::uint64_t>(units);
    std::memcpy(bytes, &low, 8);
    std::uint16_t high = units < 0 ? 0xFFFF : 0;
    if (top) high ^= 0x8000;
    std::memcpy(bytes + 8, &high, 2);
    return std::string(reinterpret_cast<char*>(bytes), 10);
}

std::string Text(const std::string& field) {
    char text[kFixedPointTextCapacity];
    FixedPointToText(field.data(), text);
    return text;
}

TEST(FixedPointTest, FieldToText) {
    struct Case {
        std::string field;
        const char* text;
        double real;
    } cases[] = {
        {Field(1234567), "1.234567", 1.234567},
        {Field(-5000000), "-5", -5},
        {Field(0), "0", 0},
        {Field(1), "0.000001", 0.000001},
        {Field(-1), "-0.000001", -0.000001},
        {Field(-120), "-0.00012", -0.00012},
        {Field(123456789000000), "123456789", 123456789},
        {Field(-1, true), "604462909807314587.353087", 604462909807314587.353087},  // 2^79 - 1
        {Field(0, true), "-604462909807314587.353088", -604462909807314587.353088}, // -2^79
    };
    for (const auto& c : cases) {
        EXPECT_EQ(Text(c.field), c.text);
        EXPECT_EQ(FixedPointToReal(c.field.data()), c.real) << c.text;
    }
}

TEST(FixedPointTest, TextToField) {
    struct Case {
        std::string text;
        std::string stored;  // the field read back as text
    } cases[] = {
        {"1.5", "1.5"},
        {"-2.25", "-2.25"},
        {"  +3", "3"},
        {"1.2345678", "1.234567"},  // a seventh decimal ends the reading
        {"12abc", "12"},
        {"", "0"},
        {"-0", "0"},
        {"nan", "0"},
        {std::string(99, '0') + "7", "0"},  // reading stops after 99 characters
        {std::string(98, '0') + "7", "7"},
        {"604462909807314587.353087", "604462909807314587.353087"},
        {"-604462909807314587.353087", "-604462909807314587.353087"},
        // Overflow ends the conversion with the digits taken so far, unscaled.
        {"604462909807314587.353088", "60446290980731458.735308"},
        {"-604462909807314587.353088", "-60446290980731458.735308"},
        {"604462909807314588", "60446290980731458.8"},  // the fifth zero decimal overflows
    };
    for (const auto& c : cases) {
        char field[10];
        std::memset(field, 0x55, sizeof field);
        TextToFixedPoint(c.text.c_str(), field);
        EXPECT_EQ(Text(std::string(field, 10)), c.stored) << c.text;
    }
    char field[10];
    TextToFixedPoint("-1.5", field);
    EXPECT_EQ(std::string(field, 10), Field(-1500000));
    TextToFixedPoint("604462909807314587.353087", field);
    EXPECT_EQ(std::string(field, 10), Field(-1, true));
}

TEST(FixedPointTest, RealRoundTripEqualsSixDecimalRounding) {
    std::mt19937_64 rng(99);
    std::uniform_real_distribution<double> unit(-1.0, 1.0);
    std::uniform_int_distribution<int> exponent(-8, 17);
    const double fixed[] = {0.0, -0.0, 1.5, -2.25, 1234.567891, -0.000001, 0.0000005, 123456789012.123456};
    auto check = [](double x) {
        char field[10];
        RealToFixedPoint(x, field);
        EXPECT_EQ(FixedPointToReal(field), RoundToSixDecimals(x)) << x;
    };
    for (double x : fixed) check(x);
    for (int i = 0; i < 20000; ++i) check(unit(rng) * std::pow(10.0, exponent(rng)));
}

TEST(FixedPointTest, HugeRealsStopWithoutUndefinedBehaviour) {
    char field[10];
    RealToFixedPoint(1e30, field);  // "%f" gives 31 integer digits: 24 are taken
    EXPECT_EQ(Text(std::string(field, 10)), "100000000000000001.988462");
    RealToFixedPoint(-1e300, field);
    EXPECT_LT(FixedPointToReal(field), 0);
    RealToFixedPoint(INFINITY, field);
    EXPECT_EQ(FixedPointToReal(field), 0);
}

}  // namespace
