// SqlTestRunner: runs one data-driven SQL test file through the engine's
// exported calls and compares what comes back.
//
// A file is a sequence of records separated by blank lines:
//
//   # comment
//   host qx                               (first record) run over a scratch database of the
//                                         QX file engine instead of the test host
//   host reopen                           close the QX database and open it again; the lines
//                                         after it are first added to its analysis file
//   language en|fr                        message language from here on
//   strict on|off                         strict values from here on (off at the start)
//   table NAME ITEM:TYPE:SIZE[:aN][:kK][:c] ...   a test-host table (array N, key kind K, composite)
//   row NAME v1 v2 ...                    a record; values are numbers, 'text' (quotes doubled
//                                         inside), or - for a zero-filled item
//   deleted NAME N                        record N of NAME becomes a deleted record
//   memo N 'data'                         memo parameter N ({OBMemoBinaire(...)} number N) of the
//                                         following statements: a memo value block holding data
//   unique NAME ITEM ...                  the test host refuses duplicates of these items
//   fault FIELD VALUE | fault reset       a failure answer of the test host (readStatus,
//                                         readStatusAtRecord, writeStatus, writeDuplicate,
//                                         memoWriteStatus, memoReadFails, describeRefuseAt)
//   statement ok                          the next line(s) up to the blank line are one statement
//   statement error STATE                 ... expected to fail; after "----" the error text on one
//                                         line, "\n" standing for a line feed
//   query [columns]                       a statement and, after "----", its rows one per line,
//                                         values joined by tabs as QXSQLValLine writes them; with
//                                         "columns", the first expected line is the column
//                                         description with "|" standing for CR LF
//   ok                                    one statement a line, each expected to succeed
//   errors STATE                          one failing statement a line: its text, " ==> ", and
//                                         the error text it must give with SQLSTATE STATE
//
// Tables are described to the scriptable test host, so a file states its
// own schema and data.  The runner prints one line per failing record and
// ends with "N passed, N failed".
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <fstream>
#include <sstream>
#include <string>
#include <vector>

#include "base/Messages.h"
#include "interface/SqlRequest.h"
#include "obsqleng.h"
#include "tests/sql/SqlTestSupport.h"
#include "tests/testhost/TestHost.h"

namespace {

struct Record {
    int line = 0;
    std::vector<std::string> lines;
};

std::vector<Record> ReadRecords(const std::string& path) {
    std::ifstream in(path);
    std::vector<Record> records;
    Record current;
    std::string text;
    int number = 0;
    while (std::getline(in, text)) {
        ++number;
        if (!text.empty() && text.back() == '\r') text.pop_back();
        if (text.empty()) {
            if (!current.lines.empty()) records.push_back(current);
            current = Record();
            continue;
        }
        if (current.lines.empty() && text[0] == '#') continue;
        if (current.lines.empty()) current.line = number;
        current.lines.push_back(text);
    }
    if (!current.lines.empty()) records.push_back(current);
    return records;
}

std::vector<std::string> Words(const std::string& line) {
    std::istringstream in(line);
    std::vector<std::string> words;
    std::string w;
    while (in >> w) words.push_back(w);
    return words;
}

// Splits a record's lines at "----" into statement text and expected lines.
void SplitRecord(const Record& r, std::string& statement, std::vector<std::string>& expected) {
    bool after = false;
    for (std::size_t i = 1; i < r.lines.size(); ++i) {
        if (!after && r.lines[i] == "----") {
            after = true;
            continue;
        }
        if (after) {
            expected.push_back(r.lines[i]);
        } else {
            if (!statement.empty()) statement += "\n";
            statement += r.lines[i];
        }
    }
}

std::string Unescape(const std::string& s) {
    std::string out;
    for (std::size_t i = 0; i < s.size(); ++i) {
        if (s[i] == '\\' && i + 1 < s.size() && s[i + 1] == 'n') {
            out += '\n';
            ++i;
        } else if (s[i] == '\\' && i + 1 < s.size() && s[i + 1] == 't') {
            out += '\t';
            ++i;
        } else {
            out += s[i];
        }
    }
    return out;
}

std::string Join(const std::vector<std::string>& lines) {
    std::string out;
    for (const std::string& l : lines) out += l + "\n";
    return out;
}

class Runner {
public:
    explicit Runner(std::string path) : path_(std::move(path)) {}

    int Run() {
        testhost::Reset();
        if (OB4InitInstance(0, testhost::ModuleTable()) != 1) {
            std::printf("%s: engine start-up failed\n", path_.c_str());
            return 1;
        }
        qx::SetEnglishMessages(0);
        for (const Record& r : ReadRecords(path_)) RunRecord(r);
        OBSQLFinInstance(0);
        if (usingQx_) qxtest::CloseQxDatabase();
        std::printf("%s: %d passed, %d failed\n", path_.c_str(), passed_, failed_);
        std::printf("%d passed, %d failed\n", passed_, failed_);
        return failed_ == 0 ? 0 : 1;
    }

private:
    void Fail(const Record& r, const std::string& why, int lineOffset = 0) {
        ++failed_;
        std::printf("%s:%d: %s\n", path_.c_str(), r.line + lineOffset, why.c_str());
    }

    void RunRecord(const Record& r) {
        std::vector<std::string> head = Words(r.lines[0]);
        const std::string& verb = head[0];
        std::string error;
        if (verb == "host") {
            if (head.size() > 1 && head[1] == "qx") {
                std::string error;
                if (!qxtest::OpenQxDatabase(error)) return Fail(r, error);
                usingQx_ = true;
            }
            std::string added;
            for (std::size_t i = 1; i < r.lines.size(); ++i) added += r.lines[i] + "\n";
            if (head.size() > 1 && head[1] == "reopen" && !qxtest::ReopenQxDatabase(error, added))
                return Fail(r, error);
            return;
        }
        if (verb == "strict") {
            qxtest::SetStrict(head.size() > 1 && head[1] == "on");
            return;
        }
        if (verb == "language") {
            qx::SetEnglishMessages(head.size() > 1 && head[1] == "en" ? 1 : 0);
            return;
        }
        if (verb == "table" || verb == "row" || verb == "deleted" || verb == "fault" || verb == "unique" ||
            verb == "memo") {
            for (const std::string& line : r.lines)
                if (!qxtest::ApplyHostDirective(line, error)) return Fail(r, error);
            return;
        }
        if (verb == "ok") {
            for (std::size_t i = 1; i < r.lines.size(); ++i) {
                qxtest::StatementResult result = qxtest::RunStatement(r.lines[i]);
                if (result.rc != 0) {
                    Fail(r, "expected success, got " + result.state + ": " + result.error, static_cast<int>(i));
                    continue;
                }
                ++passed_;
            }
            return;
        }
        if (verb == "errors") {
            for (std::size_t i = 1; i < r.lines.size(); ++i) {
                std::size_t cut = r.lines[i].find(" ==> ");
                const int at = static_cast<int>(i);
                if (cut == std::string::npos) {
                    Fail(r, "no ' ==> ' on the line", at);
                    continue;
                }
                std::string want = (head.size() > 1 ? head[1] : "") + ": " + Unescape(r.lines[i].substr(cut + 5));
                qxtest::StatementResult result = qxtest::RunStatement(r.lines[i].substr(0, cut));
                std::string got = result.rc == 0 ? "success" : result.state + ": " + result.error;
                if (got != want) {
                    Fail(r, "error differs:\n  got:      " + got + "\n  expected: " + want, at);
                    continue;
                }
                ++passed_;
            }
            return;
        }
        std::string statement;
        std::vector<std::string> expected;
        SplitRecord(r, statement, expected);
        qxtest::StatementResult result = qxtest::RunStatement(statement);
        if (verb == "statement" && head.size() > 1 && head[1] == "ok") {
            if (result.rc != 0) return Fail(r, "expected success, got " + result.state + ": " + result.error);
            ++passed_;
            return;
        }
        if (verb == "statement" && head.size() > 1 && head[1] == "error") {
            if (result.rc == 0) return Fail(r, "expected an error, statement succeeded");
            if (head.size() > 2 && result.state != head[2])
                return Fail(r, "expected SQLSTATE " + head[2] + ", got " + result.state + ": " + result.error);
            if (!expected.empty() && result.error != Unescape(expected[0]))
                return Fail(r, "error text differs:\n  got:      " + result.error + "\n  expected: " + Unescape(expected[0]));
            ++passed_;
            return;
        }
        if (verb == "query") {
            if (result.rc != 0) return Fail(r, "query failed: " + result.state + ": " + result.error);
            std::vector<std::string> got = result.rows;
            if (head.size() > 1 && head[1] == "columns") {
                std::string columns = result.columns;
                for (std::size_t p = 0; (p = columns.find("\r\n", p)) != std::string::npos;) columns.replace(p, 2, "|");
                got.insert(got.begin(), columns);
            }
            for (std::string& e : expected) e = Unescape(e);
            if (got != expected) return Fail(r, "rows differ:\n--- got\n" + Join(got) + "--- expected\n" + Join(expected));
            ++passed_;
            return;
        }
        Fail(r, "unknown record '" + verb + "'");
    }

    std::string path_;
    int passed_ = 0;
    int failed_ = 0;
    bool usingQx_ = false;
};

}  // namespace

int main(int argc, char** argv) {
    int status = 0;
    for (int i = 1; i < argc; ++i) status |= Runner(argv[i]).Run();
    return status;
}
