// The memo parameter table and value blocks as the engine reads them.
#include <gtest/gtest.h>

#include <cstring>
#include <fstream>

#include "obhost.h"
#include "shell/MemoBindings.h"

namespace qxsql {
namespace {

const unsigned char* Entry(std::uintptr_t table, int n) {
    std::uint64_t address;
    std::memcpy(&address, reinterpret_cast<const unsigned char*>(table) + 2 + 8 * (n - 1), sizeof address);
    return reinterpret_cast<const unsigned char*>(static_cast<std::uintptr_t>(address));
}

template <typename T>
T At(const unsigned char* block, std::size_t offset) {
    T value;
    std::memcpy(&value, block + offset, sizeof value);
    return value;
}

TEST(MemoBindings, TableAndBlocksLayout) {
    MemoBindings memos;
    std::string error;
    EXPECT_EQ(memos.TableAddress(), 0u);
    ASSERT_TRUE(memos.BindData(1, "one", "hello", error)) << error;
    ASSERT_TRUE(memos.BindData(3, "three", std::string("\0\1\2", 3), error)) << error;

    std::uintptr_t table = memos.TableAddress();
    ASSERT_NE(table, 0u);
    EXPECT_EQ(At<std::uint16_t>(reinterpret_cast<const unsigned char*>(table), 0), MemoBindings::kMaxParameters);
    EXPECT_EQ(Entry(table, 2), nullptr);
    EXPECT_EQ(Entry(table, MemoBindings::kMaxParameters), nullptr);

    const unsigned char* one = Entry(table, 1);
    ASSERT_NE(one, nullptr);
    EXPECT_EQ(At<std::uint16_t>(one, 3), 74);
    EXPECT_EQ(At<std::uint32_t>(one, 54), 5u);
    EXPECT_EQ(one[58], 0);
    EXPECT_EQ(std::string(reinterpret_cast<const char*>(one) + 74, 5), "hello");

    const unsigned char* three = Entry(table, 3);
    ASSERT_NE(three, nullptr);
    EXPECT_EQ(At<std::uint32_t>(three, 54), 3u);
    EXPECT_EQ(std::memcmp(three + 74, "\0\1\2", 3), 0);

    EXPECT_TRUE(memos.IsBound(1));
    EXPECT_FALSE(memos.IsBound(2));
    EXPECT_TRUE(memos.IsBound(3));
    EXPECT_FALSE(memos.IsBound(0));
    memos.Clear();
    EXPECT_FALSE(memos.IsBound(1));
    EXPECT_EQ(memos.TableAddress(), 0u);
}

TEST(MemoBindings, RefusesBadNumbersAndMissingFiles) {
    MemoBindings memos;
    std::string error;
    EXPECT_FALSE(memos.BindData(0, "x", "x", error));
    EXPECT_FALSE(memos.BindData(MemoBindings::kMaxParameters + 1, "x", "x", error));
    EXPECT_TRUE(memos.BindData(MemoBindings::kMaxParameters, "x", "", error));
    EXPECT_FALSE(memos.BindFile(1, "/nonexistent/memo.bin", error));
    EXPECT_NE(error.find("cannot open"), std::string::npos);
}

TEST(MemoBindings, FileContentsAndListing) {
    std::string path = ::testing::TempDir() + "qxsql_memo_test.bin";
    std::ofstream(path, std::ios::binary) << std::string("a\0b", 3);
    MemoBindings memos;
    std::string error;
    ASSERT_TRUE(memos.BindFile(2, path, error)) << error;
    const unsigned char* block = Entry(memos.TableAddress(), 2);
    EXPECT_EQ(At<std::uint32_t>(block, 54), 3u);
    EXPECT_EQ(std::memcmp(block + 74, "a\0b", 3), 0);
    std::ostringstream listing;
    memos.List(listing);
    EXPECT_EQ(listing.str(), "2: " + path + " (3 bytes)\n");
}

}  // namespace
}  // namespace qxsql
