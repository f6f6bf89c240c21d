// ProfileOverride: a temporary profile file and the OMBREL_INI variable.
#include "shell/ProfileOverride.h"

#include <unistd.h>

#include <cerrno>
#include <cstdlib>
#include <cstring>
#include <fstream>
#include <sstream>
#include <vector>

#include "shell/Language.h"
#include "shell/TextUtil.h"

namespace qxsql {

namespace {

// The profile the engine would read without an override: "" when there is none.
std::string CurrentProfileText() {
    const char* explicitPath = std::getenv("OMBREL_INI");
    const char* home = std::getenv("HOME");
    std::string path = explicitPath != nullptr && *explicitPath != '\0' ? explicitPath
                       : home != nullptr && *home != '\0'               ? std::string(home) + "/.ombrel.ini"
                                                                         : std::string();
    std::ifstream in(path);
    std::ostringstream text;
    if (!path.empty() && in) text << in.rdbuf();
    return text.str();
}

}  // namespace

std::string ProfileOverride::ProfileLanguage() {
    std::istringstream profile(CurrentProfileText());
    bool ombrel = false;
    for (std::string text; std::getline(profile, text);) {
        std::string_view line = Trim(text);
        std::size_t equals = line.find('=');
        if (!line.empty() && line.front() == '[') ombrel = EqualsIgnoreCase(line, "[OMBREL]");
        else if (ombrel && equals != std::string_view::npos && EqualsIgnoreCase(Trim(line.substr(0, equals)), "LANGUAGE"))
            return std::string(Trim(line.substr(equals + 1)));
    }
    return "";
}

std::string ProfileOverride::DefaultLanguage() {
    // A LANGUAGE line of the profile's [OMBREL] section decides: the engine reads it.
    if (!ProfileLanguage().empty()) return "";
    for (const char* name : {"LC_ALL", "LC_MESSAGES", "LANG"}) {
        const char* value = std::getenv(name);
        if (value != nullptr && *value != '\0') return std::strncmp(value, "fr", 2) == 0 ? "fr" : "en";
    }
    return "en";
}

bool ProfileOverride::Apply(const std::string& language, const std::string& memoryLimit, std::string& error) {
    Restore();
    const char* tmp = std::getenv("TMPDIR");
    std::string pattern = std::string(tmp != nullptr && *tmp != '\0' ? tmp : "/tmp") + "/qxsql-profile-XXXXXX";
    std::vector<char> name(pattern.begin(), pattern.end());
    name.push_back('\0');
    int fd = mkstemp(name.data());
    if (fd < 0) {
        error = Say("cannot create a profile file in %1: %2", "impossible de créer un fichier de profil dans %1 : %2",
                    {pattern.substr(0, pattern.rfind('/')), std::strerror(errno)});
        return false;
    }
    path_ = name.data();
    std::string text = "[OMBREL]\n";
    if (!language.empty()) text += std::string("LANGUAGE=") + (language == "en" ? "USA" : "FRENCH") + "\n";
    if (!memoryLimit.empty()) text += "SQL_MEMORY_LIMIT=" + memoryLimit + "\n";
    // An empty section header closes ours: lines before the first header of
    // the user's profile stay outside [OMBREL], as they were.
    text += "[]\n" + CurrentProfileText();
    bool written = write(fd, text.data(), text.size()) == static_cast<ssize_t>(text.size());
    close(fd);
    if (!written) {
        error = Say("cannot write the profile file %1", "impossible d'écrire le fichier de profil %1", {path_});
        unlink(path_.c_str());
        path_.clear();
        return false;
    }
    const char* current = std::getenv("OMBREL_INI");
    previous_ = current != nullptr ? std::optional<std::string>(current) : std::nullopt;
    setenv("OMBREL_INI", path_.c_str(), 1);
    applied_ = true;
    return true;
}

void ProfileOverride::Restore() {
    if (!applied_) return;
    if (previous_) {
        setenv("OMBREL_INI", previous_->c_str(), 1);
    } else {
        unsetenv("OMBREL_INI");
    }
    unlink(path_.c_str());
    path_.clear();
    previous_.reset();
    applied_ = false;
}

}  // namespace qxsql
