// The command line of one command: its options (--name VALUE, --name=VALUE or --flag), its
// positional arguments, and the help text built from them.
#pragma once

#include <map>
#include <string>
#include <vector>

namespace host {

struct COption {
    std::string name;       // without the leading "--"
    std::string valueName;  // empty for a flag that takes no value
    std::string help;
};

class CArguments {
public:
    // usage: the line after "kavrel-host COMMAND", e.g. "IMAGE [options]"; about: a paragraph.
    // Every command accepts --help, and those that use the library --library PATH.
    CArguments(std::string command, std::string usage, std::string about,
               std::vector<COption> options, size_t minPositionals, size_t maxPositionals,
               bool usesLibrary);
    virtual ~CArguments() = default;

    // Throws CUsageError naming the bad argument.
    void Parse(const std::vector<std::string>& args);
    // Parses args; when they ask for --help, prints the help on standard output and returns
    // false: the command has nothing more to do.
    bool ParseOrShowHelp(const std::vector<std::string>& args);

    std::string Help() const;

    bool Has(const std::string& name) const { return m_Values.count(name) != 0; }
    std::string Text(const std::string& name, const std::string& fallback = std::string()) const;
    // The value of an option the command cannot do without; throws CUsageError when it is not
    // given.
    std::string Required(const std::string& name) const;
    // A whole number in [low, high]; throws CUsageError naming the option otherwise.
    int Integer(const std::string& name, int fallback, int low, int high) const;
    // A decimal number in [low, high].
    double Number(const std::string& name, double fallback, double low, double high) const;
    const std::vector<std::string>& Positionals() const { return m_Positionals; }

private:
    const COption* Find(const std::string& name) const;

    std::string m_strCommand;
    std::string m_strUsage;
    std::string m_strAbout;
    std::vector<COption> m_Options;
    size_t m_nMinPositionals;
    size_t m_nMaxPositionals;
    bool m_bHelp = false;
    std::map<std::string, std::string> m_Values;
    std::vector<std::string> m_Positionals;
};

}  // namespace host
