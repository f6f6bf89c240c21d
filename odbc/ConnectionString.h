// ConnectionString: the KEY=value;KEY=value pairs of SQLDriverConnect.
// Keys are matched without letter case; a value may be written in braces
// {...} to hold ';' (a '}' inside is written twice).
#pragma once

#include <map>
#include <string>

namespace qxodbc {

class ConnectionString {
public:
    static ConnectionString Parse(const std::string& text);
    // The value of `key` (upper case), empty when absent.
    std::string Get(const std::string& key) const;
    bool Has(const std::string& key) const { return values_.count(key) > 0; }
    void Set(const std::string& key, const std::string& value) { values_[key] = value; }
    // The pairs written back, the form SQLDriverConnect returns.
    std::string Text() const;

private:
    std::map<std::string, std::string> values_;  // keys upper case
};

}  // namespace qxodbc
