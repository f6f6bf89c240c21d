// Memo items from INSERT to QXSQLGetLongData: literal text, memo parameters
// given by the caller, and binary memos handed back by handle.
#include <gtest/gtest.h>

#include <cstring>
#include <string>
#include <vector>

#include "obhost.h"
#include "tests/sql/SqlTestSupport.h"
#include "tests/unit/TestSupport.h"

namespace {

class MemoEndToEndTest : public qxtest::EngineTest {};

std::vector<unsigned char> ValueBlock(const std::string& data, unsigned char headerExtra) {
    std::vector<unsigned char> block(OBHOST_MEMO_HEADER_SIZE + headerExtra + data.size(), 0);
    std::uint32_t length = static_cast<std::uint32_t>(data.size());
    std::memcpy(block.data() + 54, &length, 4);
    block[58] = headerExtra;
    std::memcpy(block.data() + OBHOST_MEMO_HEADER_SIZE + headerExtra, data.data(), data.size());
    return block;
}

TEST_F(MemoEndToEndTest, ParametersGoInAndHandlesComeOut) {
    testhost::AddTable("DOC", {{"ID", 5, 4}, {"NOTE", 12, 4}, {"PHOTO", 22, 4}});
    std::vector<unsigned char> text = ValueBlock("a text memo", 3);
    std::vector<unsigned char> photo = ValueBlock(std::string("\x01\xAB\xFF\x00\x10", 5), 0);
    std::vector<unsigned char> table(2 + 16, 0);
    std::uint64_t a = reinterpret_cast<std::uintptr_t>(text.data()), b = reinterpret_cast<std::uintptr_t>(photo.data());
    std::memcpy(table.data() + 2, &a, 8);
    std::memcpy(table.data() + 10, &b, 8);
    auto memoValues = reinterpret_cast<std::uintptr_t>(table.data());

    auto r = qxtest::RunStatement("INSERT INTO DOC VALUES (1, {OBMemoBinaire('NOTE')}, {OBMemoBinaire('PHOTO','Champ')})",
                                  memoValues);
    ASSERT_EQ(r.rc, 0) << r.error;
    r = qxtest::RunStatement("INSERT INTO DOC (ID, NOTE) VALUES (2, 'literal')");
    ASSERT_EQ(r.rc, 0) << r.error;

    std::vector<char> info(4096, 0);
    uintptr_t handle = 0;
    ASSERT_EQ(QXSQLExecReq(&handle, "SELECT * FROM DOC", reinterpret_cast<ExecInfo*>(info.data()), 1, 0), 0);
    char line[8192];
    ASSERT_EQ(QXSQLFetchNext(handle), 0);
    ASSERT_EQ(QXSQLValLine(handle, "|", line), 0);
    EXPECT_STREQ(line, "1|a text memo|01AB");  // hex of the first half of the binary data
    uintptr_t value = 0;
    EXPECT_EQ(QXSQLGetLongData(handle, 1, &value), -1);  // ID is not a memo column
    EXPECT_EQ(value, 0u);
    EXPECT_EQ(QXSQLGetLongData(handle, 2, &value), 0);   // a text memo comes by handle too
    ASSERT_EQ(QXSQLGetLongData(handle, 3, &value), 0);
    const auto* block = reinterpret_cast<const unsigned char*>(value);
    std::uint32_t length;
    std::memcpy(&length, block + 54, 4);
    ASSERT_EQ(length, 5u);
    EXPECT_EQ(std::memcmp(block + OBHOST_MEMO_HEADER_SIZE + block[58], "\x01\xAB\xFF\x00\x10", 5), 0);

    ASSERT_EQ(QXSQLFetchNext(handle), 0);
    QXSQLValLine(handle, nullptr, line);
    EXPECT_STREQ(line, "2\tliteral\t");
    EXPECT_EQ(QXSQLGetLongData(handle, 3, &value), 100);  // no binary memo in this record
    EXPECT_EQ(value, 0u);
    EXPECT_EQ(QXSQLGetLongData(handle, 0, &value), -1);
    EXPECT_EQ(QXSQLGetLongData(handle, 4, &value), -1);
    EXPECT_EQ(QXSQLFetchNext(handle), -1);
    EXPECT_EQ(QXSQLFetchNext(handle), -1);
    EXPECT_EQ(QXSQLFinRequete(handle), 0);
}

}  // namespace
