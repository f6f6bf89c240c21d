// Reading and writing item values in record buffers, binary memos through
// the test host, and CompareValues.
#include <gtest/gtest.h>

#include <cmath>
#include <cstring>
#include <memory>
#include <string>
#include <vector>

#include "catalog/Cell.h"
#include "catalog/ItemDescriptor.h"
#include "catalog/QueryDictionary.h"
#include "catalog/TableRef.h"
#include "platform/BlockHeap.h"
#include "tests/unit/TestSupport.h"
#include "values/FieldType.h"

namespace {

using namespace qx;

// A table reference with a record of `recordSize` bytes and items added by hand.
class Table {
public:
    explicit Table(std::uint16_t recordSize, const char* name = "T") {
        owned_ = std::make_unique<TableRef>(&dictionary_, name, nullptr);
        ref = owned_.get();
        ref->SetRecordSize(recordSize, 1);
    }
    ItemDescriptor* Add(std::uint16_t type, std::uint16_t size, std::uint16_t offset, std::uint8_t keyKind = 0) {
        ItemDescriptor* item = ref->AddItem(ItemDescriptor::Create("I", type, size, keyKind, offset, 1, ref, ref->name.Get()));
        EXPECT_NE(item, nullptr);
        return item;
    }
    void Put(std::uint16_t offset, const std::string& bytes) { std::memcpy(ref->record + offset, bytes.data(), bytes.size()); }
    std::string Bytes(std::uint16_t offset, std::size_t count) const {
        return std::string(reinterpret_cast<const char*>(ref->record) + offset, count);
    }

    TableRef* ref;

private:
    QueryDictionary dictionary_{7, 0};
    std::unique_ptr<TableRef> owned_;
};

template <typename T>
std::string Raw(T value) {
    return std::string(reinterpret_cast<const char*>(&value), sizeof value);
}

std::string Fixed(std::int64_t units) {
    std::int16_t high = units < 0 ? -1 : 0;
    return Raw(units) + Raw(high);
}

double ReadNumberCell(ItemDescriptor* item) {
    double value;
    std::memcpy(&value, ReadCell(item, nullptr), sizeof value);
    return value;
}

std::string ReadTextCell(ItemDescriptor* item) { return static_cast<const char*>(ReadCell(item, nullptr)); }

// ---- Reading ----------------------------------------------------------

TEST(CellTest, ReadsNumbers) {
    struct Case {
        std::uint16_t type;
        std::string bytes;
        double expected;
    } cases[] = {
        {1, "\xFE", -2},
        {2, "\xFE", 254},
        {3, Raw<std::int16_t>(-300), -300},
        {4, Raw<std::uint16_t>(65000), 65000},
        {5, Raw<std::int32_t>(-70000), -70000},
        {6, Raw<std::uint32_t>(4000000000u), 4000000000.0},
        {7, Raw(0.1f), 0.1},  // through 7 significant digits, not 0.100000001
        {7, Raw(1234.5677f), 1234.568},
        {7, Raw(-2.5f), -2.5},
        {9, Raw(2.5), 2.5},
        {10, Fixed(1234567), 1.234567},
        {10, Fixed(-5000000), -5},
        {10, Fixed(0), 0},
    };
    for (const auto& c : cases) {
        Table t(32);
        ItemDescriptor* item = t.Add(c.type, static_cast<std::uint16_t>(c.bytes.size()), 3);
        t.Put(3, c.bytes);
        EXPECT_EQ(ReadNumberCell(item), c.expected) << "type " << c.type;
    }
}

TEST(CellTest, ReadsRawBytesFromAGivenRecordAndKeepsOneBuffer) {
    std::size_t live = platform::HeapLiveBlocks();
    {
        Table t(16);
        ItemDescriptor* raw = t.Add(0, 3, 2);
        unsigned char row[16] = {0, 0, 'x', '\0', 'y'};
        void* value = ReadCell(raw, row);
        ASSERT_NE(value, nullptr);
        EXPECT_EQ(std::memcmp(value, "x\0y", 3), 0);
        EXPECT_EQ(ReadCell(raw, nullptr), value);  // the same buffer, now from the current record
        EXPECT_EQ(std::memcmp(value, "\0\0\0", 3), 0);

        ItemDescriptor* unknown = t.Add(50, 4, 1);
        char* buffer = static_cast<char*>(ReadCell(unknown, nullptr));
        ASSERT_NE(buffer, nullptr);
        std::strcpy(buffer, "kept");
        EXPECT_STREQ(static_cast<char*>(ReadCell(unknown, nullptr)), "kept");

        ItemDescriptor* composite = t.Add(13, 4, 1, ItemDescriptor::kCompositeKey);
        EXPECT_EQ(ReadCell(composite, nullptr), nullptr);
        EXPECT_EQ(ReadCell(nullptr, nullptr), nullptr);
    }
    EXPECT_EQ(platform::HeapLiveBlocks(), live);  // value buffers go with their items
}

// ---- Writing ----------------------------------------------------------

struct WriteCase {
    const char* what;
    std::uint16_t type, size;
    double number;     // for numeric types
    std::string text;  // for the others
    std::string expected;
};

TEST(CellTest, WritesEveryType) {
    const double nan = std::nan("");
    const WriteCase cases[] = {
        {"int16 positive", 3, 2, 2.9, "", Raw<std::int16_t>(2)},
        {"int16 negative", 3, 2, -2.9, "", Raw<std::int16_t>(-2)},
        {"int8 low byte", 1, 1, 300, "", "\x2C"},
        {"uint8 of -1", 2, 1, -1, "", "\xFF"},
        {"uint16", 4, 2, 65535, "", "\xFF\xFF"},
        {"int32", 5, 4, -70000.7, "", Raw<std::int32_t>(-70000)},
        {"uint32 huge", 6, 4, 1e300, "", "\xFF\xFF\xFF\xFF"},
        {"uint32 NaN", 6, 4, nan, "", std::string(4, '\0')},
        {"float", 7, 4, 0.1, "", Raw(0.1f)},
        {"float overflow", 7, 4, 1e300, "", Raw(INFINITY)},
        {"double", 9, 8, -2.5, "", Raw(-2.5)},
        {"fixed point", 10, 10, 1.5, "", Fixed(1500000)},
        {"fixed point negative", 10, 10, -0.000001, "", Fixed(-1)},
        {"text 13", 13, 5, 0, "AB", "AB   "},
        {"text 13 cut", 13, 5, 0, "ABCDEFG", "ABCDE"},
        {"text 13 cut before a sequence", 13, 4, 0, "abc\xC3\xA9", "abc "},
        {"text 14", 14, 6, 0, "AB", "\x05" "AB   "},
        {"text 14 cut", 14, 6, 0, "ABCDEFGH", "\x05" "ABCDE"},
        {"text 15", 15, 6, 0, "AB", std::string("AB   \0", 6)},
        {"text 15 cut", 15, 6, 0, "ABCDEFGH", std::string("ABCDE\0", 6)},
        {"date 6 from 8", 98, 7, 0, "20010101", "010101"},
        {"date 8 from 8", 98, 9, 0, "20010101", "20010101"},
        {"date 8 from 6", 98, 9, 0, "961231", "19961231"},
        {"date 6 from 6", 98, 7, 0, "961231", "961231"},
        {"time", 99, 4, 0, "1230", "1230"},
        {"time cut", 99, 4, 0, "123045", "1230"},
        {"time padded", 99, 4, 0, "12", "12  "},
        {"raw", 0, 3, 0, std::string("a\0b", 3), std::string("a\0b", 3)},
    };
    for (const WriteCase& c : cases) {
        Table t(40);
        t.Put(0, std::string(40, '#'));
        ItemDescriptor* item = t.Add(c.type, c.size, 2);
        if (ValueClassOf(c.type) == kClassNumeric) WriteCell(item, &c.number);
        else WriteCell(item, c.text.data());
        EXPECT_EQ(item->written, 1) << c.what;
        EXPECT_EQ(t.Bytes(2, c.expected.size()), c.expected) << c.what;
        EXPECT_EQ(t.Bytes(0, 2), "##") << c.what;
        EXPECT_EQ(t.Bytes(2 + static_cast<std::uint16_t>(c.expected.size()), 1), "#") << c.what;
    }
}

TEST(CellTest, WrittenValuesReadBack) {
    Table t(64);
    ItemDescriptor* counted = t.Add(14, 10, 1);
    WriteCell(counted, "AB");
    EXPECT_EQ(ReadTextCell(counted), "AB");
    ItemDescriptor* date = t.Add(98, 7, 11);
    WriteCell(date, "20010101");
    EXPECT_EQ(ReadTextCell(date), "19010101");  // a 6-character field keeps no century
    ItemDescriptor* fixed = t.Add(10, 10, 18);
    double value = -1234.567891;
    WriteCell(fixed, &value);
    EXPECT_EQ(ReadNumberCell(fixed), value);
    ItemDescriptor* real = t.Add(7, 4, 28);
    value = 0.3;
    WriteCell(real, &value);
    EXPECT_EQ(ReadNumberCell(real), 0.3);
}

// ---- Memos through the host ---------------------------------------------

class CellMemoTest : public qxtest::EngineTest {
protected:
    void SetUp() override {
        qxtest::EngineTest::SetUp();
        testhost::AddTable("T", {{"M", 12, 4}});
    }
    static std::uint32_t AddMemo(const std::string& data) {
        return testhost::AddMemo("T", std::vector<std::uint8_t>(data.begin(), data.end()));
    }
};

TEST_F(CellMemoTest, BinaryMemosShowTheirFirstHalfInHexadecimal) {
    std::string big(5000, '\0');
    for (std::size_t i = 0; i < big.size(); ++i) big[i] = static_cast<char>(i);
    std::string bigHex;
    for (std::size_t i = 0; i < 2048; ++i) {
        char two[3];
        std::snprintf(two, sizeof two, "%02X", static_cast<unsigned char>(big[i]));
        bigHex += two;
    }
    struct Case {
        const char* what;
        std::uint32_t reference;
        bool fail;
        std::string expected;
    } cases[] = {
        {"three bytes", AddMemo("\x01\xAB\xFF"), false, "01"},
        {"four bytes", AddMemo("\x01\xAB\xFF\x10"), false, "01AB"},
        {"one byte", AddMemo("\x7F"), false, ""},
        {"4096 bytes read, 2048 shown", AddMemo(big), false, bigHex},
        {"host failure", AddMemo("\x01\x02"), true, ""},
    };
    for (const auto& c : cases) {
        testhost::GetFaults().memoReadFails = c.fail;
        Table t(8);
        ItemDescriptor* memo = t.Add(22, 4, 1);
        t.Put(1, Raw(c.reference));
        EXPECT_EQ(ReadTextCell(memo), c.expected) << c.what;
    }
    testhost::GetFaults().memoReadFails = false;
    EXPECT_EQ(testhost::Log().back(), "OGETMEMO T " + std::to_string(cases[4].reference) + " 22");
}

}  // namespace
