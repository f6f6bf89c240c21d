// DotCommands: parsing and carrying out the dot commands.
#include "shell/DotCommands.h"

#include <cstdlib>
#include <memory>

#include "qxhost.h"
#include "shell/Importer.h"
#include "shell/Language.h"
#include "shell/SchemaSql.h"
#include "shell/ScriptRunner.h"
#include "shell/Session.h"
#include "shell/TextUtil.h"

namespace qxsql {

std::string DotCommands::HelpText() {
    return Say(".check             check every file of the database: one line per problem\n"
               ".dump [TABLE]      the statements that rebuild TABLE, or every table, and its rows\n"
               ".echo on|off       print each statement before running it\n"
               ".headers on|off    show the column names (all modes but line and json)\n"
               ".help              show this text\n"
               ".import FILE TABLE [--csv|--tsv] [--skip N]\n"
               "                   load a file whose first line names the items (or makes TABLE)\n"
               ".indexes [TABLE]   list the indexes (keys) of TABLE, or of every table\n"
               ".memo              list the bound memo parameters\n"
               ".memo N FILE       bind memo parameter N to the contents of FILE: the N-th\n"
               "                   {OBMemoBinaire('name')} of the following statements\n"
               ".memo clear        drop every memo binding\n"
               ".mode [MODE]       show or set the output mode: table, box, markdown, line,\n"
               "                   tsv, csv or json\n"
               ".once FILE         write the output of the next statement or command to FILE\n"
               ".output [FILE]     write the output to FILE from now on, or again to the screen\n"
               ".quit              leave the shell (also .exit)\n"
               ".read FILE         run the statements and dot commands of FILE\n"
               ".schema [TABLE]    the CREATE statements of TABLE, or of every table\n"
               ".tables            list the tables\n"
               ".timeout MS        wait up to MS milliseconds for another connection's lock\n"
               "                   before a statement fails as busy (default 5000)\n"
               ".timer on|off      show how long each statement takes (on standard error)\n"
               ".vacuum            rewrite the database to its live size (records are numbered again)\n"
               "Statements end with ';' and may span lines; '--' starts a comment.\n",
               ".check             vérifier chaque fichier de la base : une ligne par problème\n"
               ".dump [TABLE]      les instructions qui refont TABLE, ou toutes les tables, et ses lignes\n"
               ".echo on|off       afficher chaque instruction avant de l'exécuter\n"
               ".headers on|off    afficher les noms des colonnes (tous les modes sauf line et json)\n"
               ".help              afficher ce texte\n"
               ".import FICHIER TABLE [--csv|--tsv] [--skip N]\n"
               "                   charger un fichier dont la première ligne nomme les rubriques\n"
               "                   (ou crée TABLE)\n"
               ".indexes [TABLE]   les index (clés) de TABLE, ou de toutes les tables\n"
               ".memo              les paramètres de mémo liés\n"
               ".memo N FICHIER    lier le paramètre de mémo N au contenu de FICHIER : la N-ième\n"
               "                   {OBMemoBinaire('nom')} des instructions suivantes\n"
               ".memo clear        défaire toutes les liaisons de mémos\n"
               ".mode [MODE]       afficher ou choisir le mode de sortie : table, box, markdown,\n"
               "                   line, tsv, csv ou json\n"
               ".once FICHIER      écrire la sortie de l'instruction ou commande suivante dans FICHIER\n"
               ".output [FICHIER]  écrire la sortie dans FICHIER désormais, ou de nouveau à l'écran\n"
               ".quit              quitter le shell (aussi .exit)\n"
               ".read FICHIER      exécuter les instructions et commandes de FICHIER\n"
               ".schema [TABLE]    les instructions CREATE de TABLE, ou de toutes les tables\n"
               ".tables            la liste des tables\n"
               ".timeout MS        attendre jusqu'à MS millisecondes le verrou d'une autre connexion\n"
               "                   avant qu'une instruction échoue (5000 par défaut)\n"
               ".timer on|off      afficher la durée de chaque instruction (sur la sortie d'erreur)\n"
               ".vacuum            réécrire la base à sa taille utile (les fiches sont renumérotées)\n"
               "Les instructions finissent par « ; » et peuvent tenir sur plusieurs lignes ;\n"
               "« -- » commence un commentaire.\n");
}

bool DotCommands::Usage(const std::string& usage) {
    session_.ReportShellError(Say("usage: %1", "usage : %1", {usage}));
    return false;
}

bool DotCommands::Run(std::string_view line, int depth) {
    std::vector<std::string> words;
    if (!SplitWords(Trim(line), words)) {
        session_.ReportShellError(Say("unclosed quote in '%1'", "guillemet non fermé dans « %1 »", {Trim(line)}));
        return false;
    }
    if (words.empty()) return true;
    const std::string& name = words[0];
    auto is = [&](const char* command) { return EqualsIgnoreCase(name, command); };

    if (is(".help")) {
        session_.Out() << HelpText();
        return true;
    }
    if (is(".quit") || is(".exit")) {
        session_.RequestStop();
        return true;
    }
    if (is(".import")) {
        ImportRequest request;
        std::string error;
        if (!ParseImportWords(std::vector<std::string>(words.begin() + 1, words.end()), request, error))
            return Usage(Say(".import FILE TABLE [--csv|--tsv] [--skip N]: %1",
                             ".import FICHIER TABLE [--csv|--tsv] [--skip N] : %1", {error}));
        return ImportFile(session_, request);
    }
    if (is(".tables")) return words.size() == 1 ? Tables() : Usage(".tables");
    if (is(".schema")) return words.size() <= 2 ? Schema(words, Listing::Statements) : Usage(".schema [TABLE]");
    if (is(".indexes")) return words.size() <= 2 ? Schema(words, Listing::IndexNames) : Usage(".indexes [TABLE]");
    if (is(".dump")) return words.size() <= 2 ? Schema(words, Listing::Dump) : Usage(".dump [TABLE]");
    if (is(".output")) {
        if (words.size() > 2) return Usage(Say(".output [FILE]", ".output [FICHIER]"));
        if (words.size() == 1) {
            session_.RestoreOutput();
            return true;
        }
        return session_.RedirectOutput(words[1], false);
    }
    if (is(".once")) return words.size() == 2 ? session_.RedirectOutput(words[1], true) : Usage(Say(".once FILE", ".once FICHIER"));
    if (is(".mode")) return Mode(words);
    if (is(".headers")) return Headers(words);
    if (is(".timer")) return Flag(words, session_.Settings().timer) || Usage(".timer on|off");
    if (is(".echo")) return Flag(words, session_.Settings().echo) || Usage(".echo on|off");
    if (is(".memo")) return Memo(words);
    if (is(".timeout")) {
        char* end = nullptr;
        long ms = words.size() == 2 ? std::strtol(words[1].c_str(), &end, 10) : -1;
        if (ms < 0 || end == nullptr || *end != '\0') return Usage(".timeout MS");
        return QXHostSetOption(session_.HostContext(), QXHOST_OPTION_BUSY_TIMEOUT, ms) == 0 ||
               Usage(Say(".timeout MS (with a database open)", ".timeout MS (avec une base ouverte)"));
    }
    if (is(".check")) return words.size() == 1 ? Check() : Usage(".check");
    if (is(".vacuum")) {
        if (words.size() != 1) return Usage(".vacuum");
        char error[512] = "";
        int rc = QXHostVacuum(session_.HostContext(), error, sizeof error);
        if (rc == 0) return true;
        session_.ReportShellError(rc < 0 ? Say("no database is open", "aucune base n'est ouverte")
                                         : Say("cannot compact: %1", "compactage impossible : %1", {error}));
        return false;
    }
    if (is(".read")) {
        if (words.size() != 2) return Usage(Say(".read FILE", ".read FICHIER"));
        return runner_.RunFile(words[1], depth + 1);
    }
    session_.ReportShellError(Say("unknown command '%1' (.help lists the commands)",
                                  "commande inconnue « %1 » (.help donne la liste des commandes)", {name}));
    return false;
}

bool DotCommands::Check() {
    auto print = [](void* out, const char* line) { *static_cast<std::ostream*>(out) << line << '\n'; };
    int problems = QXHostCheck(session_.HostContext(), print, &session_.Out());
    if (problems == 0) {
        session_.Out() << "ok\n";
        return true;
    }
    session_.ReportShellError(problems < 0 ? Say("no database is open", "aucune base n'est ouverte")
                                           : Say("%1 problem(s) found", "%1 problème(s) trouvé(s)",
                                                 {std::to_string(problems)}));
    return false;
}

bool DotCommands::Tables() {
    std::uint16_t context = session_.HostContext();
    int count = QXHostTableCount(context);
    if (count < 0) {
        session_.ReportShellError(Say("no database is open", "aucune base n'est ouverte"));
        return false;
    }
    std::string name(64, '\0');
    for (int i = 0; i < count; ++i) {
        int rc;
        while ((rc = QXHostTableName(context, i, name.data(), name.size())) == -2) name.resize(name.size() * 2);
        if (rc == 0) session_.Out() << name.c_str() << '\n';
    }
    return true;
}

bool DotCommands::Schema(const std::vector<std::string>& words, Listing listing) {
    const char* table = words.size() > 1 ? words[1].c_str() : nullptr;
    std::size_t size = 64 * 1024;
    std::unique_ptr<char[]> text;
    int rc;
    for (;;) {
        text = std::make_unique<char[]>(size);
        text[0] = '\0';
        rc = QXHostDescribe(session_.HostContext(), table, text.get(), size);
        if (rc != -2 || size >= (std::size_t{1} << 30)) break;
        size *= 2;
    }
    if (rc == -1) {
        session_.ReportShellError(table != nullptr ? Say("no table '%1' in the analysis", "pas de table « %1 » dans l'analyse",
                                                         {words[1]})
                                                   : Say("no database is open", "aucune base n'est ouverte"));
        return false;
    }
    std::ostream& out = session_.Out();
    std::vector<SchemaTable> tables = SchemaTable::Parse(text.get());
    bool ok = true;
    for (const SchemaTable& schema : tables) {
        if (listing == Listing::IndexNames) {
            for (const SchemaIndex& index : schema.indexes) {
                out << index.name << " ON " << schema.name << " (";
                for (std::size_t i = 0; i < index.items.size(); ++i) out << (i > 0 ? ", " : "") << index.items[i];
                out << (index.unique ? ") UNIQUE\n" : ")\n");
            }
            continue;
        }
        out << schema.CreateStatements();
    }
    if (listing == Listing::Dump) {
        for (const SchemaTable& schema : tables) ok = DumpRows(schema) && ok;
    }
    return ok;
}

bool DotCommands::DumpRows(const SchemaTable& table) {
    std::string columns = table.ColumnList();
    if (columns.empty()) return true;
    std::vector<bool> quoted;
    for (const SchemaItem& item : table.items) {
        if (item.sqlType.empty()) continue;
        bool text = item.sqlType.rfind("CHAR", 0) == 0 || item.sqlType == "DATE" || item.sqlType == "TIME";
        quoted.push_back(text);
    }
    std::ostream& out = session_.Out();
    std::string head = "INSERT INTO " + table.name + " (" + columns + ") VALUES (";
    return session_.Query("SELECT " + columns + " FROM " + table.name,
                          [&](const std::vector<std::string_view>& values) {
                              out << head;
                              for (std::size_t i = 0; i < values.size(); ++i) {
                                  if (i > 0) out << ", ";
                                  if (quoted[i] || values[i].empty()) {
                                      out << SqlString(values[i]);
                                  } else {
                                      out << values[i];
                                  }
                              }
                              out << ");\n";
                          });
}

bool DotCommands::Mode(const std::vector<std::string>& words) {
    ShellSettings& settings = session_.Settings();
    if (words.size() == 1) {
        session_.Out() << OutputModeName(settings.mode) << '\n';
        return true;
    }
    if (words.size() != 2 || !ParseOutputMode(words[1], settings.mode)) return Usage(".mode table|box|markdown|line|tsv|csv|json");
    return true;
}

bool DotCommands::Headers(const std::vector<std::string>& words) {
    ShellSettings& settings = session_.Settings();
    if (words.size() == 1) {
        session_.Out() << (settings.HeadersShown() ? "on" : "off") << '\n';
        return true;
    }
    bool value = false;
    if (words.size() != 2 || !ParseOnOff(words[1], value)) return Usage(".headers on|off");
    settings.headers = value;
    return true;
}

bool DotCommands::Flag(const std::vector<std::string>& words, bool& flag) {
    if (words.size() == 1) {
        session_.Out() << (flag ? "on" : "off") << '\n';
        return true;
    }
    return words.size() == 2 && ParseOnOff(words[1], flag);
}

bool DotCommands::Memo(const std::vector<std::string>& words) {
    MemoBindings& memos = session_.Memos();
    if (words.size() == 1) {
        memos.List(session_.Out());
        return true;
    }
    if (words.size() == 2 && EqualsIgnoreCase(words[1], "clear")) {
        memos.Clear();
        return true;
    }
    if (words.size() != 3) return Usage(Say(".memo N FILE | .memo clear | .memo", ".memo N FICHIER | .memo clear | .memo"));
    char* end = nullptr;
    long number = std::strtol(words[1].c_str(), &end, 10);
    if (words[1].empty() || *end != '\0' || number < 1 || number > MemoBindings::kMaxParameters) {
        session_.ReportShellError(Say("memo parameter numbers go from 1 to %1", "les paramètres de mémo vont de 1 à %1",
                                      {std::to_string(MemoBindings::kMaxParameters)}));
        return false;
    }
    std::string error;
    if (!memos.BindFile(static_cast<int>(number), words[2], error)) {
        session_.ReportShellError(error);
        return false;
    }
    return true;
}

}  // namespace qxsql
