// Tab completion: the word the cursor ends, and what completing it adds.
#include <gtest/gtest.h>

#include "shell/Completion.h"

namespace qxsql {
namespace {

TEST(CompletionTest, WordAndMatches) {
    EXPECT_EQ(WordBefore("SELECT NA FROM", 9), "NA");
    EXPECT_EQ(WordBefore(" .sch", 5), ".sch");
    EXPECT_EQ(WordBefore("SELECT a.it", 11), "it");
    const std::vector<std::string> words = {"SELECT", "CLIENTS", "CLIENT_ID", "CITY", ".schema"};
    struct Case {
        const char* prefix;
        const char* insert;
        std::vector<std::string> matches;
    } const cases[] = {
        {"sel", "ect ", {}},
        {"CLI", "ENT", {"CLIENTS", "CLIENT_ID"}},
        {"c", "", {"city", "client_id", "clients"}},
        {".s", "chema ", {}},
        {"xyz", "", {}},
    };
    for (const Case& c : cases) {
        Completion completion = Complete(c.prefix, words);
        EXPECT_EQ(completion.insert, c.insert) << c.prefix;
        EXPECT_EQ(completion.matches, c.matches) << c.prefix;
    }
}

}  // namespace
}  // namespace qxsql
