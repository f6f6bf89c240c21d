// Language: the language of the shell's own texts (usage, dot-command
// errors, import errors, markers), English or French, chosen once at the
// start of a run.  Each text is written at its place of use in both
// languages: Say("english", "french"), with %1 to %9 standing for the
// arguments given after them.
#pragma once

#include <initializer_list>
#include <string>
#include <string_view>

namespace qxsql {

enum class Language { English, French };

void SetLanguage(Language language);
Language CurrentLanguage();

// The language of a run: `option` (--lang: "en" or "fr") when given, else
// the profile's LANGUAGE (USA: English, any other: French), else French
// when LC_ALL, LC_MESSAGES or LANG (the first one set) starts with "fr",
// else English.
Language ChooseLanguage(const std::string& option);

// `english` or `french` as the run's language wants, with %N replaced by
// the N-th argument.
std::string Say(std::string_view english, std::string_view french,
                std::initializer_list<std::string_view> arguments = {});

}  // namespace qxsql
