// Runs one end-to-end case file of the qxsql shell: scripted runs of the
// binary compared with their expected output.  Usage:
//
//   shell_case_runner QXSQL CASEFILE WORKDIR
//
// WORKDIR is emptied first; every run of the file shares it, so a run can
// build a database that the next ones read.  The case file:
//
//   # a comment (outside sections)
//   === file NAME            the lines up to the next "===" are written to WORKDIR/NAME as they are
//   === run ARGS             run qxsql with ARGS (blank separated; '...' or "..." keep
//   <stdin lines>            blanks; {work} stands for WORKDIR); the lines up to the first
//   --- stdout               "---" are its standard input; then what it must write:
//   <lines>                  stdout and stderr (absent: must be empty), exit status
//   --- stderr ~             (absent: 0).  "~" after the name: the lines, joined by
//   <regex lines>            LF, are one regular expression (ECMAScript) that the whole
//   --- status 1             output must match; "escaped" after the name: the lines
//                            use \t, \r, \\ and \xHH escapes.
//
// Every block (file, input, expected text) ends at the next "===" or "---"
// line, less its trailing lines that are blank or start with "#" (so
// comments and blank lines may separate runs).  In expected text {work}
// stands for WORKDIR too.  The shell runs with
// HOME=WORKDIR and OMBREL_INI=WORKDIR/none.ini, unless a run sets
// OMBREL_INI itself with "env OMBREL_INI=PATH" as its first argument; "env
// NAME=VALUE" sets any other variable (LC_ALL, to choose the language).
#include <fcntl.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <iostream>
#include <regex>
#include <sstream>
#include <string>
#include <vector>

namespace fs = std::filesystem;

namespace {

struct Expectation {
    bool given = false;
    bool regex = false;
    bool escaped = false;
    std::string text;
};

struct Run {
    int line = 0;  // line of "=== run" in the case file
    std::vector<std::string> args;
    std::string input;
    Expectation out, err;
    int status = 0;
};

std::string Replace(std::string text, const std::string& from, const std::string& to) {
    for (std::size_t at = text.find(from); at != std::string::npos; at = text.find(from, at + to.size()))
        text.replace(at, from.size(), to);
    return text;
}

std::string Unescape(const std::string& text) {
    std::string out;
    for (std::size_t i = 0; i < text.size(); ++i) {
        if (text[i] != '\\' || i + 1 >= text.size()) {
            out.push_back(text[i]);
            continue;
        }
        char c = text[++i];
        if (c == 't') out.push_back('\t');
        else if (c == 'r') out.push_back('\r');
        else if (c == 'n') out.push_back('\n');
        else if (c == 'x' && i + 2 < text.size()) {
            out.push_back(static_cast<char>(std::stoi(text.substr(i + 1, 2), nullptr, 16)));
            i += 2;
        } else out.push_back(c);
    }
    return out;
}

std::vector<std::string> SplitArgs(const std::string& text) {
    std::vector<std::string> args;
    std::size_t i = 0;
    while (i < text.size()) {
        while (i < text.size() && text[i] == ' ') ++i;
        if (i >= text.size()) break;
        std::string arg;
        while (i < text.size() && text[i] != ' ') {
            if (text[i] == '\'' || text[i] == '"') {
                std::size_t close = text.find(text[i], i + 1);
                if (close == std::string::npos) close = text.size();
                arg += text.substr(i + 1, close - i - 1);
                i = close + 1;
            } else {
                arg.push_back(text[i++]);
            }
        }
        args.push_back(arg);
    }
    return args;
}

std::string ReadFile(const std::string& path) {
    std::ifstream in(path, std::ios::binary);
    std::ostringstream text;
    text << in.rdbuf();
    return text.str();
}

// Runs qxsql; fills out, err and the exit status (-1: killed by a signal).
int Execute(const std::string& qxsql, const Run& run, const std::string& work, std::string& out, std::string& err) {
    std::string inPath = work + "/.stdin", outPath = work + "/.stdout", errPath = work + "/.stderr";
    std::ofstream(inPath, std::ios::binary) << run.input;
    std::vector<std::string> args = run.args;
    std::string ombrel = work + "/none.ini";
    std::string variable;  // NAME=VALUE given after "env", OMBREL_INI aside
    if (!args.empty() && args[0] == "env" && args.size() > 1) {
        if (args[1].rfind("OMBREL_INI=", 0) == 0) ombrel = args[1].substr(args[1].find('=') + 1);
        else variable = args[1];
        args.erase(args.begin(), args.begin() + 2);
    }
    pid_t child = fork();
    if (child == 0) {
        int in = open(inPath.c_str(), O_RDONLY);
        int o = open(outPath.c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0644);
        int e = open(errPath.c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0644);
        if (in < 0 || o < 0 || e < 0) _exit(127);
        dup2(in, 0);
        dup2(o, 1);
        dup2(e, 2);
        for (const char* name : {"LC_ALL", "LC_MESSAGES", "LANG"}) unsetenv(name);  // English unless a run says
        setenv("HOME", work.c_str(), 1);
        setenv("OMBREL_INI", ombrel.c_str(), 1);
        if (!variable.empty()) putenv(variable.data());
        std::vector<char*> argv;
        argv.push_back(const_cast<char*>(qxsql.c_str()));
        for (auto& a : args) argv.push_back(const_cast<char*>(a.c_str()));
        argv.push_back(nullptr);
        if (chdir(work.c_str()) != 0) _exit(127);
        execv(qxsql.c_str(), argv.data());
        _exit(127);
    }
    int status = 0;
    waitpid(child, &status, 0);
    out = ReadFile(outPath);
    err = ReadFile(errPath);
    return WIFEXITED(status) ? WEXITSTATUS(status) : -1;
}

// Lines from `i` up to the next "===" or "---" line, less trailing blank
// and "#" lines; `i` is left on that next line.
std::string Block(const std::vector<std::string>& lines, std::size_t& i) {
    std::size_t start = i;
    while (i < lines.size() && lines[i].rfind("---", 0) != 0 && lines[i].rfind("===", 0) != 0) ++i;
    std::size_t end = i;
    while (end > start && (lines[end - 1].empty() || lines[end - 1][0] == '#')) --end;
    std::string text;
    for (std::size_t k = start; k < end; ++k) text += lines[k] + "\n";
    return text;
}

bool Check(const char* what, const Expectation& expected, const std::string& actual, const std::string& work) {
    std::string text = Replace(expected.text, "{work}", work);
    if (expected.escaped) text = Unescape(text);
    bool ok;
    if (expected.regex) {
        std::string pattern = text;
        if (!pattern.empty() && pattern.back() == '\n') pattern.pop_back();
        ok = std::regex_match(actual, std::regex(pattern, std::regex::ECMAScript));
    } else {
        ok = actual == text;
    }
    if (!ok) {
        std::cerr << "  " << what << (expected.regex ? " does not match" : " differs") << "\n  --- expected\n"
                  << text << "\n  --- actual\n" << actual << "\n  ---\n";
    }
    return ok;
}

}  // namespace

int main(int argc, char** argv) {
    if (argc != 4) {
        std::cerr << "usage: shell_case_runner QXSQL CASEFILE WORKDIR\n";
        return 2;
    }
    std::string qxsql = fs::absolute(argv[1]).string();
    std::string casePath = argv[2];
    std::string work = fs::absolute(argv[3]).string();
    fs::remove_all(work);
    fs::create_directories(work);

    std::ifstream in(casePath);
    if (!in) {
        std::cerr << "cannot read " << casePath << "\n";
        return 2;
    }
    std::vector<std::string> lines;
    for (std::string line; std::getline(in, line);) lines.push_back(line);

    int failures = 0, runs = 0;
    std::size_t i = 0;
    while (i < lines.size()) {
        const std::string& line = lines[i];
        if (line.rfind("=== file ", 0) == 0) {
            fs::path path = fs::path(work) / line.substr(9);
            fs::create_directories(path.parent_path());
            ++i;
            std::ofstream(path, std::ios::binary) << Block(lines, i);
            continue;
        }
        if (line.rfind("=== run", 0) != 0) {
            ++i;  // comments and blank lines between sections
            continue;
        }
        Run run;
        run.line = static_cast<int>(i + 1);
        run.args = SplitArgs(line.size() > 8 ? line.substr(8) : "");
        for (auto& a : run.args) a = Replace(a, "{work}", work);
        ++i;
        run.input = Block(lines, i);
        while (i < lines.size() && lines[i].rfind("---", 0) == 0) {
            std::string header = lines[i];
            std::istringstream words(header.substr(3));
            std::string name, flag;
            words >> name >> flag;
            ++i;
            if (name == "status") {
                run.status = std::atoi(flag.c_str());
                continue;
            }
            Expectation* target = name == "stdout" ? &run.out : name == "stderr" ? &run.err : nullptr;
            if (target == nullptr) {
                std::cerr << casePath << ":" << i << ": unknown section '" << header << "'\n";
                return 2;
            }
            target->given = true;
            target->regex = flag == "~";
            target->escaped = flag == "escaped";
            target->text = Block(lines, i);
        }
        ++runs;
        std::string out, err;
        int status = Execute(qxsql, run, work, out, err);
        bool ok = Check("stdout", run.out, out, work);
        ok = Check("stderr", run.err, err, work) && ok;
        if (status != run.status) {
            std::cerr << "  exit status " << status << ", expected " << run.status << "\n";
            ok = false;
        }
        if (!ok) {
            std::cerr << casePath << ":" << run.line << ": run failed: " << lines[run.line - 1] << "\n\n";
            ++failures;
        }
    }
    std::cout << casePath << ": " << runs - failures << " of " << runs << " runs passed\n";
    return failures == 0 && runs > 0 ? 0 : 1;
}
