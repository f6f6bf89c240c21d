// Per-type tables of the field type codes.
#include <gtest/gtest.h>

#include "values/FieldType.h"

namespace {

using namespace qx;

struct TypeRow {
    std::uint16_t type;
    std::int16_t valueClass;
    std::uint16_t display;  // for a declared size of 20
    std::uint16_t buffer;   // for a declared size of 20
    char letter;
    std::uint16_t host;
    std::int16_t evaluation;
};

TEST(FieldTypeTest, TablesForEveryTypeCode) {
    const TypeRow rows[] = {
        {0, 0, 20, 20, 'N', 0, 12},   {8, 0, 20, 20, 'N', 0, 12},   {11, 0, 20, 20, 'N', 0, 12},
        {16, 0, 20, 20, 'N', 0, 12},  {17, 0, 20, 20, 'N', 0, 12},  {1, 1, 1, 8, 'N', 16, 7},
        {2, 1, 1, 8, 'N', 16, 7},     {3, 1, 2, 8, 'N', 16, 7},     {4, 1, 2, 8, 'N', 16, 7},
        {5, 1, 4, 8, 'N', 16, 7},     {6, 1, 4, 8, 'N', 16, 7},     {7, 1, 4, 8, 'N', 16, 7},
        {9, 1, 8, 8, 'N', 16, 7},     {10, 1, 10, 8, 'N', 16, 7},   {12, 2, 20, 4097, 'T', 9, 8},
        {13, 2, 20, 21, 'T', 9, 8},   {14, 2, 19, 20, 'T', 9, 8},   {15, 2, 19, 20, 'T', 9, 8},
        {22, 2, 20, 4097, 'T', 0, 8}, {98, 3, 19, 9, 'T', 17, 9},   {99, 4, 4, 5, 'T', 18, 10},
        {18, 0, 0, 0, 'N', 0, 12},    {100, 0, 0, 0, 'N', 0, 12},   {65535, 0, 0, 0, 'N', 0, 12},
    };
    for (const TypeRow& r : rows) {
        EXPECT_EQ(ValueClassOf(r.type), r.valueClass) << r.type;
        EXPECT_EQ(DisplaySizeOf(r.type, 20), r.display) << r.type;
        EXPECT_EQ(ValueBufferSizeOf(r.type, 20), r.buffer) << r.type;
        EXPECT_EQ(TypeLetter(r.type), r.letter) << r.type;
        EXPECT_EQ(HostTypeNumber(r.type), r.host) << r.type;
        EXPECT_EQ(EvaluationKindOf(r.type), r.evaluation) << r.type;
    }
    // Declared size 0 never wraps around.
    EXPECT_EQ(DisplaySizeOf(15, 0), 0);
    EXPECT_EQ(DisplaySizeOf(98, 7), 6);
    EXPECT_EQ(ValueBufferSizeOf(13, 65535), 65535);
}

}  // namespace
