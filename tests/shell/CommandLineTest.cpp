// Argument parsing: each case is an argument vector and what it must give.
#include <gtest/gtest.h>

#include "shell/CommandLine.h"

namespace qxsql {
namespace {

struct ArgsCase {
    std::vector<const char*> args;  // without argv[0]
    CommandLine::Action action;
    const char* error;  // part of the error text when Fail
};

const ArgsCase kCases[] = {
    {{"db"}, CommandLine::Action::Run, ""},
    {{"--help"}, CommandLine::Action::Help, ""},
    {{"db", "-h"}, CommandLine::Action::Help, ""},
    {{"--version"}, CommandLine::Action::Version, ""},
    {{}, CommandLine::Action::Fail, "no database directory"},
    {{"--bail"}, CommandLine::Action::Fail, "no database directory"},
    {{"db", "--frobnicate"}, CommandLine::Action::Fail, "unknown option '--frobnicate'"},
    {{"db", "-m"}, CommandLine::Action::Fail, "needs a value"},
    {{"db", "-m", "xml"}, CommandLine::Action::Fail, "unknown output mode 'xml'"},
    {{"db", "--headers", "maybe"}, CommandLine::Action::Fail, "on or off"},
    {{"db", "--lang", "de"}, CommandLine::Action::Fail, "en or fr"},
    {{"db", "--memory-limit", "1.5G"}, CommandLine::Action::Fail, "512M or 2G"},
    {{"db", "--bail=yes"}, CommandLine::Action::Fail, "takes no value"},
    {{""}, CommandLine::Action::Fail, "empty name"},
};

TEST(CommandLine, Actions) {
    for (const ArgsCase& c : kCases) {
        std::vector<const char*> argv = {"qxsql"};
        argv.insert(argv.end(), c.args.begin(), c.args.end());
        ShellOptions options;
        std::string error;
        auto action = CommandLine::Parse(static_cast<int>(argv.size()), argv.data(), options, error);
        std::string shown;
        for (const char* a : c.args) shown += std::string(a) + " ";
        EXPECT_EQ(action, c.action) << shown;
        EXPECT_NE(error.find(c.error), std::string::npos) << shown << "-> " << error;
    }
}

TEST(CommandLine, FullRun) {
    const char* argv[] = {"qxsql", "--create", "-m", "csv",  "--headers=off", "-f", "a.sql", "db", "SELECT 1",
                          "--bail", "--file=b.sql", "--lang", "en", "--echo", "--memory-limit=64M", "--", "-x", "--mode"};
    ShellOptions options;
    std::string error;
    ASSERT_EQ(CommandLine::Parse(static_cast<int>(std::size(argv)), argv, options, error), CommandLine::Action::Run)
        << error;
    EXPECT_EQ(options.databaseDir, "db");
    EXPECT_TRUE(options.create);
    EXPECT_TRUE(options.modeGiven);
    EXPECT_EQ(options.settings.mode, OutputMode::Csv);
    EXPECT_EQ(options.settings.headers, std::optional<bool>(false));
    EXPECT_TRUE(options.settings.bail);
    EXPECT_TRUE(options.settings.echo);
    EXPECT_EQ(options.language, "en");
    EXPECT_EQ(options.memoryLimit, "64M");
    EXPECT_EQ(options.files, (std::vector<std::string>{"a.sql", "b.sql"}));
    EXPECT_EQ(options.sql, (std::vector<std::string>{"SELECT 1", "-x", "--mode"}));
}

TEST(CommandLine, HeadersFollowModeUnlessSet) {
    ShellSettings settings;
    const struct {
        OutputMode mode;
        bool shown;
    } defaults[] = {{OutputMode::Table, true}, {OutputMode::Csv, true}, {OutputMode::Tsv, false}};
    for (const auto& d : defaults) {
        settings.mode = d.mode;
        settings.headers.reset();
        EXPECT_EQ(settings.HeadersShown(), d.shown) << OutputModeName(d.mode);
        settings.headers = !d.shown;
        EXPECT_EQ(settings.HeadersShown(), !d.shown) << OutputModeName(d.mode);
    }
}

}  // namespace
}  // namespace qxsql
