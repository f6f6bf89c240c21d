// qxsql: the command-line shell.  Parses the arguments, starts a session
// on the database directory and feeds it statements from the arguments,
// from -f files, from standard input or from the prompt; the exit status
// is 0 when everything succeeded, 1 otherwise.
#include <unistd.h>

#include <iostream>

#include "shell/CommandLine.h"
#include "shell/Completion.h"
#include "shell/CtrlC.h"
#include "shell/Importer.h"
#include "shell/Language.h"
#include "shell/LineEditor.h"
#include "shell/SchemaSql.h"
#include "shell/ScriptRunner.h"
#include "shell/Session.h"

int main(int argc, char** argv) {
    using namespace qxsql;
    std::ios::sync_with_stdio(false);

    SetLanguage(ChooseLanguage(CommandLine::LanguageOption(argc, argv)));
    ShellOptions options;
    std::string error;
    switch (CommandLine::Parse(argc, argv, options, error)) {
        case CommandLine::Action::Help:
            std::cout << CommandLine::Usage();
            return 0;
        case CommandLine::Action::Version:
            std::cout << CommandLine::VersionText();
            return 0;
        case CommandLine::Action::Fail:
            std::cerr << "qxsql: " << error << '\n' << Say("Try 'qxsql --help'.", "Essayez « qxsql --help ».") << '\n';
            return 1;
        case CommandLine::Action::Run:
            break;
    }
    ctrlc::Install();
    bool stdinTerminal = isatty(STDIN_FILENO) != 0;
    if (!options.modeGiven) options.settings.mode = isatty(STDOUT_FILENO) != 0 ? OutputMode::Table : OutputMode::Tsv;

    ShellSettings settings = options.settings;
    int status = 0;
    {
        Session session(settings, std::cout, std::cerr);
        if (session.Start(options)) {
            ScriptRunner runner(session);
            if (!options.files.empty() || !options.sql.empty() || !options.imports.empty()) {
                for (const std::vector<std::string>& words : options.imports) {
                    ImportRequest request;
                    std::string error;
                    if (session.StopRequested() || ctrlc::Pressed()) break;
                    if (ParseImportWords(words, request, error)) ImportFile(session, request);
                }
                for (const std::string& file : options.files) {
                    if (session.StopRequested()) break;
                    runner.RunFile(file, 0);
                }
                for (const std::string& text : options.sql) runner.RunArgument(text);
            } else if (stdinTerminal || options.interactive) {
                if (stdinTerminal)
                    std::cout << Say("qxsql %1 on %2. Statements end with ';'. Type .help for help.",
                                     "qxsql %1 sur %2. Les instructions finissent par « ; ». Tapez .help pour l'aide.",
                                     {QXSQL_VERSION, options.databaseDir})
                              << '\n';
                LineEditor editor(std::cin, std::cout, stdinTerminal);
                editor.SetWordSource([&session]() {
                    std::vector<std::string> words = SqlWords();
                    std::vector<SchemaTable> tables;
                    DescribeTables(session.HostContext(), nullptr, tables);
                    for (const SchemaTable& table : tables) {
                        words.push_back(table.name);
                        for (const SchemaItem& item : table.items) words.push_back(item.name);
                    }
                    return words;
                });
                runner.RunInteractive(editor);
            } else {
                runner.RunStream(std::cin, 0);
            }
        }
        session.RestoreOutput();
        session.Stop();
        status = session.Failed() ? 1 : 0;
    }
    std::cout.flush();
    return status;
}
