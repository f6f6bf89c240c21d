// Column description, fetch and value line of a result table,
// directly and through the exported calls.
#include <gtest/gtest.h>

#include <cstdlib>
#include <cstring>
#include <string>
#include <vector>

#include "base/MemoryBlock.h"
#include "catalog/ItemDescriptor.h"
#include "catalog/QueryDictionary.h"
#include "catalog/TableRef.h"
#include "exec/ResultColumns.h"
#include "interface/SqlRequest.h"
#include "tests/unit/TestSupport.h"

namespace {

using namespace qx;

struct ColumnDef {
    const char* name;
    std::uint16_t type, size;
    std::uint8_t keyKind;
};

// A memory table with the given columns and rows (each row the bytes after
// byte 0, which stays 0), as the result set builds it.
class ResultTable {
public:
    ResultTable(const std::vector<ColumnDef>& columns, const std::vector<std::string>& rows) {
        request = static_cast<SqlRequest*>(std::calloc(1, sizeof(SqlRequest)));
        request->hostContext = 5;
        std::memcpy(request->sqlState, "-----", 6);
        table = new TableRef(&dictionary, nullptr, nullptr);
        table->unnamed = 1;
        std::uint16_t offset = 1;
        for (const ColumnDef& c : columns) {
            auto* item = new ItemDescriptor(c.name, c.type, c.size, c.keyKind, offset, 1, table, "T");
            EXPECT_EQ(table->AddItem(item), 1);
            offset = static_cast<std::uint16_t>(offset + c.size);
        }
        table->SetRecordSize(offset, 1);
        if (!rows.empty()) {
            table->rows = static_cast<unsigned char*>(AllocBlock(static_cast<std::uint32_t>(offset * rows.size())));
            for (std::size_t r = 0; r < rows.size(); ++r) {
                EXPECT_EQ(rows[r].size() + 1, offset);
                std::memcpy(table->rows + r * offset + 1, rows[r].data(), rows[r].size());
            }
            table->rowCount = table->rowCapacity = static_cast<std::int32_t>(rows.size());
        }
        request->resultSet = table;
    }
    ~ResultTable() {
        delete table;
        std::free(request);
    }
    std::uintptr_t Handle() const { return reinterpret_cast<std::uintptr_t>(request); }
    std::string Line(const char* separator = nullptr) {
        char out[1024];
        WriteResultLine(table, separator, out);
        return out;
    }

    SqlRequest* request;
    QueryDictionary dictionary{5, 0};
    TableRef* table;
};

template <typename T>
std::string Raw(T value) {
    return std::string(reinterpret_cast<const char*>(&value), sizeof value);
}

TEST(ResultColumnsTest, ColumnDescriptionLines) {
    struct Case {
        ColumnDef column;
        const char* line;
    } cases[] = {
        {{"A", 1, 1, 0}, "A\tN\t16\t1"},     {{"B", 2, 1, 0}, "B\tN\t16\t1"},
        {{"C", 3, 2, 0}, "C\tN\t16\t2"},     {{"D", 4, 2, 0}, "D\tN\t16\t2"},
        {{"E", 5, 4, 0}, "E\tN\t16\t4"},     {{"F", 6, 4, 0}, "F\tN\t16\t4"},
        {{"G", 7, 4, 0}, "G\tN\t16\t4"},     {{"H", 9, 8, 0}, "H\tN\t16\t8"},
        {{"I", 10, 10, 0}, "I\tN\t16\t10"},  {{"J", 12, 4, 0}, "J\tT\t9\t4"},
        {{"K", 13, 20, 0}, "K\tT\t9\t20"},   {{"L", 14, 20, 0}, "L\tT\t9\t19"},
        {{"M", 15, 20, 0}, "M\tT\t9\t19"},   {{"N", 22, 4, 0}, "N\tT\t0\t4"},
        {{"O", 98, 9, 0}, "O\tT\t17\t8"},    {{"P", 99, 4, 0}, "P\tT\t18\t4"},
        {{"Q", 0, 6, 0}, "Q\tN\t0\t6"},      {{"R", 17, 3, 0}, "R\tN\t0\t3"},
        {{"S", 50, 3, 0}, "S\tN\t0\t0"},     {{"", 9, 8, 0}, "\tN\t16\t8"},
    };
    std::vector<ColumnDef> all;
    std::string expected;
    for (const auto& c : cases) {
        ResultTable one({c.column}, {});
        char text[256];
        EXPECT_EQ(WriteColumnDescription(one.table, text), 1);
        EXPECT_STREQ(text, c.line);
        all.push_back(c.column);
        expected += (expected.empty() ? "" : "\r\n") + std::string(c.line);
    }
    ResultTable table(all, {});
    std::vector<char> text(4096, 'x');
    EXPECT_EQ(WriteColumnDescription(table.table, text.data()), static_cast<std::uint16_t>(all.size()));
    EXPECT_EQ(std::string(text.data()), expected);

    ResultTable empty({}, {});
    EXPECT_EQ(WriteColumnDescription(empty.table, text.data()), 0);
    EXPECT_STREQ(text.data(), "");
}

TEST(ResultColumnsTest, FetchAndValueLines) {
    ResultTable t({{"N", 9, 8, 0}, {"F", 7, 4, 0}, {"I", 3, 2, 0}, {"T", 13, 6, 0}, {"K", 13, 4, 255},
                   {"X", 0, 2, 0}, {"D", 98, 7, 0}},
                  {Raw(2.5) + Raw(0.1f) + Raw<std::int16_t>(-7) + "ab    " + "kkkk" + "zz" + "961231 ",
                   Raw(1e20) + Raw(1e20f) + Raw<std::int16_t>(0) + "      " + "kkkk" + "zz" + "000101 ",
                   Raw(-0.1234567) + Raw(12345678.0f) + Raw<std::int16_t>(3) + "x y   " + "kkkk" + "zz" + "991231 "});
    EXPECT_EQ(ResultRowCount(t.table), 3u);
    const char* lines[] = {
        "2.5|0.1|-7|ab|<clé composée>|<type inconnu>|19961231",
        "100000000000000000000|100000002004087734272|0||<clé composée>|<type inconnu>|19000101",
        "-0.123457|12345678|3|x y|<clé composée>|<type inconnu>|19991231",
    };
    for (std::uint32_t row = 1; row <= 3; ++row) {
        EXPECT_EQ(FetchResultRow(t.table, row), static_cast<std::int32_t>(row));
        EXPECT_EQ(t.table->currentRecord, row);
        EXPECT_EQ(t.Line("|"), lines[row - 1]);
    }
    EXPECT_EQ(FetchResultRow(t.table, 4), 0);
    EXPECT_EQ(FetchResultRow(t.table, 0), 0);
    EXPECT_EQ(t.table->currentRecord, 3u);  // a fetch past the end leaves the row
    EXPECT_EQ(t.Line("|"), lines[2]);
    EXPECT_EQ(t.Line(), "-0.123457\t12345678\t3\tx y\t<clé composée>\t<type inconnu>\t19991231");
}

TEST(ResultColumnsTest, ExportedFetchAndValLine) {
    ResultTable t({{"N", 9, 8, 0}, {"T", 13, 3, 0}}, {Raw(2.5) + "abc", Raw(2.0) + "de "});
    char out[256];
    EXPECT_EQ(QXSQLFetchNext(t.Handle()), 0);
    EXPECT_EQ(QXSQLValLine(t.Handle(), nullptr, out), 0);
    EXPECT_STREQ(out, "2.5\tabc");
    EXPECT_EQ(QXSQLFetchNext(t.Handle()), 0);
    EXPECT_EQ(QXSQLValLine(t.Handle(), ", ", out), 0);
    EXPECT_STREQ(out, "2, de");
    EXPECT_EQ(QXSQLFetchNext(t.Handle()), -1);
    EXPECT_EQ(QXSQLFetchNext(t.Handle()), -1);
    EXPECT_EQ(t.request->rowNumber, 4u);
    EXPECT_EQ(QXSQLValLine(t.Handle(), nullptr, out), 0);  // still the last row
    EXPECT_STREQ(out, "2\tde");
}

}  // namespace
