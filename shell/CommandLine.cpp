// CommandLine: argument parsing, usage and version.
#include "shell/CommandLine.h"

#include <cstring>
#include <string_view>

#include "shell/Language.h"

namespace qxsql {
namespace {

// For "--name=value" gives "value"; for "--name" or "-x" takes the next argument.
bool TakeValue(int argc, const char* const* argv, int& i, std::string_view inlineValue, bool hasInline,
               std::string& value, std::string& error) {
    if (hasInline) {
        value.assign(inlineValue);
        return true;
    }
    if (i + 1 >= argc) {
        error = Say("option '%1' needs a value", "l'option « %1 » demande une valeur", {argv[i]});
        return false;
    }
    value = argv[++i];
    return true;
}

// Digits, then K, M or G and a final B, each optional: the engine's syntax.
bool IsByteSize(std::string_view text) {
    std::size_t i = 0;
    while (i < text.size() && text[i] >= '0' && text[i] <= '9') ++i;
    if (i == 0 || i > 18) return false;  // no digit, or more than the engine can count
    if (i < text.size() && std::strchr("kKmMgG", text[i]) != nullptr) {
        ++i;
        if (i < text.size() && (text[i] == 'b' || text[i] == 'B')) ++i;
    }
    return i == text.size();
}

}  // namespace

CommandLine::Action CommandLine::Parse(int argc, const char* const* argv, ShellOptions& options,
                                       std::string& error) {
    bool optionsEnded = false;
    bool haveDir = false;
    for (int i = 1; i < argc; ++i) {
        std::string_view arg(argv[i]);
        if (!optionsEnded && arg == "--") {
            optionsEnded = true;
            continue;
        }
        if (optionsEnded || arg.size() < 2 || arg[0] != '-') {
            if (!haveDir) {
                options.databaseDir.assign(arg);
                haveDir = true;
            } else {
                options.sql.emplace_back(arg);
            }
            continue;
        }

        std::string_view name = arg;
        std::string_view inlineValue;
        bool hasInline = false;
        if (arg.substr(0, 2) == "--") {
            std::size_t equals = arg.find('=');
            if (equals != std::string_view::npos) {
                name = arg.substr(0, equals);
                inlineValue = arg.substr(equals + 1);
                hasInline = true;
            }
        }
        std::string value;
        if (name == "-h" || name == "--help") return Action::Help;
        if (name == "--version") return Action::Version;
        if (hasInline && (name == "--create" || name == "--compat" || name == "--bail" || name == "--echo" ||
                          name == "--interactive")) {
            error = Say("option '%1' takes no value", "l'option « %1 » ne prend pas de valeur", {name});
            return Action::Fail;
        }
        if (name == "--create") {
            options.create = true;
        } else if (name == "--compat") {
            options.compat = true;
        } else if (name == "--bail") {
            options.settings.bail = true;
        } else if (name == "--echo") {
            options.settings.echo = true;
        } else if (name == "-i" || name == "--interactive") {
            options.interactive = true;
        } else if (name == "-f" || name == "--file") {
            if (!TakeValue(argc, argv, i, inlineValue, hasInline, value, error)) return Action::Fail;
            options.files.push_back(value);
        } else if (name == "--import") {
            if (hasInline || i + 2 >= argc) {
                error = Say("--import takes two values: FILE TABLE", "--import prend deux valeurs : FICHIER TABLE");
                return Action::Fail;
            }
            options.imports.push_back({argv[i + 1], argv[i + 2]});
            i += 2;
        } else if (name == "-m" || name == "--mode") {
            if (!TakeValue(argc, argv, i, inlineValue, hasInline, value, error)) return Action::Fail;
            if (!ParseOutputMode(value, options.settings.mode)) {
                error = Say("unknown output mode '%1' (table, box, markdown, line, tsv, csv or json)",
                            "mode de sortie inconnu « %1 » (table, box, markdown, line, tsv, csv ou json)", {value});
                return Action::Fail;
            }
            options.modeGiven = true;
        } else if (name == "--headers") {
            if (!TakeValue(argc, argv, i, inlineValue, hasInline, value, error)) return Action::Fail;
            if (value != "on" && value != "off") {
                error = Say("--headers takes on or off, not '%1'", "--headers prend on ou off, pas « %1 »", {value});
                return Action::Fail;
            }
            options.settings.headers = value == "on";
        } else if (name == "--lang") {
            if (!TakeValue(argc, argv, i, inlineValue, hasInline, value, error)) return Action::Fail;
            if (value != "en" && value != "fr") {
                error = Say("--lang takes en or fr, not '%1'", "--lang prend en ou fr, pas « %1 »", {value});
                return Action::Fail;
            }
            options.language = value;
        } else if (name == "--memory-limit") {
            if (!TakeValue(argc, argv, i, inlineValue, hasInline, value, error)) return Action::Fail;
            if (!IsByteSize(value)) {
                error = Say("--memory-limit takes a size such as 512M or 2G (0: no limit), not '%1'",
                            "--memory-limit prend une taille comme 512M ou 2G (0 : sans limite), pas « %1 »", {value});
                return Action::Fail;
            }
            options.memoryLimit = value;
        } else {
            error = Say("unknown option '%1'", "option inconnue « %1 »", {arg});
            return Action::Fail;
        }
    }
    if (!haveDir) {
        error = Say("no database directory given", "aucun dossier de base donné");
        return Action::Fail;
    }
    if (options.databaseDir.empty()) {
        error = Say("the database directory is an empty name", "le dossier de la base a un nom vide");
        return Action::Fail;
    }
    return Action::Run;
}

std::string CommandLine::LanguageOption(int argc, const char* const* argv) {
    std::string language;
    for (int i = 1; i < argc; ++i) {
        std::string_view arg(argv[i]);
        if (arg == "--") break;
        std::string_view value = arg.substr(0, 7) == "--lang=" ? arg.substr(7)
                                 : arg == "--lang" && i + 1 < argc ? std::string_view(argv[++i])
                                                                   : std::string_view();
        if (value == "en" || value == "fr") language = value;
    }
    return language;
}

std::string CommandLine::Usage() {
    return Say("Usage: qxsql [options] DBDIR [SQL ...]\n"
               "Runs SQL statements on the QX database in directory DBDIR.\n"
               "Statements come from the SQL arguments, from -f FILE, from standard input\n"
               "when it is not a terminal, or else from an interactive prompt.  Text holding\n"
               "several statements is split at ';' outside string literals.\n"
               "\n"
               "Options:\n"
               "      --create          create DBDIR (with an empty analysis) when it is missing\n"
               "      --compat          lenient values: unknown items skipped, values fitted to\n"
               "                        their items (by default a bad value fails the statement)\n"
               "  -f, --file FILE       run the statements and dot commands of FILE\n"
               "      --import FILE TABLE  load a CSV file (TSV: .tsv, .tab) into TABLE first\n"
               "  -m, --mode MODE       output mode: table, box, markdown, line, tsv, csv or json\n"
               "                        (default: table on a terminal, tsv otherwise)\n"
               "      --headers on|off  print the column names (default: off in tsv mode)\n"
               "      --bail            stop at the first error\n"
               "      --lang en|fr      language of the messages for this run (default: the\n"
               "                        profile's LANGUAGE, else fr when LANG starts with fr, else en)\n"
               "      --memory-limit SIZE  working memory of one statement (512M, 2G; 0: no limit)\n"
               "      --echo            print each statement before running it\n"
               "  -i, --interactive     prompt for input even when standard input is not a terminal\n"
               "  -h, --help            show this help and exit\n"
               "      --version         show the version and exit\n"
               "\n"
               "Errors go to standard error as 'Error SQLSTATE: message'.  The exit status is 0\n"
               "when every statement succeeded, 1 otherwise.  Type .help for the dot commands.\n",
               "Usage : qxsql [options] DOSSIER [SQL ...]\n"
               "Exécute des instructions SQL sur la base QX du dossier DOSSIER.\n"
               "Les instructions viennent des arguments SQL, de -f FICHIER, de l'entrée standard\n"
               "quand ce n'est pas un terminal, sinon d'une invite interactive.  Un texte de\n"
               "plusieurs instructions est coupé aux « ; » hors des chaînes.\n"
               "\n"
               "Options :\n"
               "      --create          créer DOSSIER (avec une analyse vide) s'il n'existe pas\n"
               "      --compat          valeurs tolérantes : rubriques inconnues ignorées, valeurs\n"
               "                        ajustées (par défaut une valeur fausse fait échouer l'instruction)\n"
               "  -f, --file FICHIER    exécuter les instructions et commandes de FICHIER\n"
               "      --import FICHIER TABLE  charger d'abord un fichier CSV (TSV : .tsv, .tab) dans TABLE\n"
               "  -m, --mode MODE       mode de sortie : table, box, markdown, line, tsv, csv ou json\n"
               "                        (par défaut : table sur un terminal, sinon tsv)\n"
               "      --headers on|off  afficher les noms des colonnes (par défaut : off en mode tsv)\n"
               "      --bail            s'arrêter à la première erreur\n"
               "      --lang en|fr      langue des messages pour cette exécution (par défaut : LANGUAGE\n"
               "                        du profil, sinon fr quand LANG commence par fr, sinon en)\n"
               "      --memory-limit TAILLE  mémoire de travail d'une instruction (512M, 2G ; 0 : sans limite)\n"
               "      --echo            afficher chaque instruction avant de l'exécuter\n"
               "  -i, --interactive     lire une invite même quand l'entrée standard n'est pas un terminal\n"
               "  -h, --help            afficher cette aide et quitter\n"
               "      --version         afficher la version et quitter\n"
               "\n"
               "Les erreurs vont sur la sortie d'erreur, « Erreur SQLSTATE : message ».  Le code de\n"
               "sortie est 0 quand toutes les instructions ont réussi, sinon 1.  Tapez .help pour les\n"
               "commandes.\n");
}

std::string CommandLine::VersionText() { return std::string("qxsql ") + QXSQL_VERSION + "\n"; }

}  // namespace qxsql
