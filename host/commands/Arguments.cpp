#include "commands/Arguments.h"

#include <iostream>
#include <sstream>

#include "common/Errors.h"
#include "common/Numbers.h"

namespace host {

namespace {

const COption kLibraryOption{"library", "PATH",
                             "the kavrel library to load (default: the one beside this program)"};
const COption kHelpOption{"help", "", "show this help"};

std::string FormatNumber(double value) {
    std::ostringstream out;
    out << value;
    return out.str();
}

}  // namespace

CArguments::CArguments(std::string command, std::string usage, std::string about,
                       std::vector<COption> options, size_t minPositionals, size_t maxPositionals,
                       bool usesLibrary)
    : m_strCommand(std::move(command)),
      m_strUsage(std::move(usage)),
      m_strAbout(std::move(about)),
      m_Options(std::move(options)),
      m_nMinPositionals(minPositionals),
      m_nMaxPositionals(maxPositionals) {
    if (usesLibrary) m_Options.push_back(kLibraryOption);
    m_Options.push_back(kHelpOption);
}

const COption* CArguments::Find(const std::string& name) const {
    for (const COption& option : m_Options)
        if (option.name == name) return &option;
    return nullptr;
}

bool CArguments::ParseOrShowHelp(const std::vector<std::string>& args) {
    Parse(args);
    if (!m_bHelp) return true;
    std::cout << Help();
    return false;
}

void CArguments::Parse(const std::vector<std::string>& args) {
    bool onlyPositionals = false;
    for (size_t i = 0; i < args.size(); ++i) {
        const std::string& arg = args[i];
        // The help switches of Windows and of short options.
        if (!onlyPositionals &&
            (arg == "/?" || arg == "-?" || arg == "-h" || arg == "/h" || arg == "/H")) {
            m_bHelp = true;
            continue;
        }
        if (onlyPositionals || arg.size() < 2 || arg.compare(0, 2, "--") != 0 || arg == "-") {
            m_Positionals.push_back(arg);
            continue;
        }
        if (arg == "--") {
            onlyPositionals = true;
            continue;
        }
        std::string name = arg.substr(2);
        std::string value;
        const size_t equals = name.find('=');
        const bool inlineValue = equals != std::string::npos;
        if (inlineValue) {
            value = name.substr(equals + 1);
            name.resize(equals);
        }
        const COption* option = Find(name);
        if (option == nullptr) throw CUsageError(m_strCommand + ": unknown option --" + name);
        if (option->valueName.empty()) {
            if (inlineValue) throw CUsageError(m_strCommand + ": --" + name + " takes no value");
        } else if (!inlineValue) {
            if (i + 1 >= args.size())
                throw CUsageError(m_strCommand + ": --" + name + " needs a value (" +
                                  option->valueName + ")");
            value = args[++i];
        }
        if (name == "help") m_bHelp = true;
        if (m_Values.count(name) != 0)
            throw CUsageError(m_strCommand + ": --" + name + " is given twice");
        m_Values[name] = value;
    }
    if (m_bHelp) return;
    if (m_Positionals.size() < m_nMinPositionals)
        throw CUsageError(m_strCommand + ": missing argument (usage: kavrel-host " + m_strCommand +
                          " " + m_strUsage + ")");
    if (m_Positionals.size() > m_nMaxPositionals)
        throw CUsageError(m_strCommand + ": unexpected argument '" +
                          m_Positionals[m_nMaxPositionals] + "'");
}

std::string CArguments::Help() const {
    std::ostringstream out;
    out << "usage: kavrel-host " << m_strCommand << " " << m_strUsage << "\n\n" << m_strAbout;
    if (!m_strAbout.empty() && m_strAbout.back() != '\n') out << "\n";
    out << "\noptions:\n";
    for (const COption& option : m_Options) {
        std::string head = "  --" + option.name;
        if (!option.valueName.empty()) head += " " + option.valueName;
        out << head;
        if (head.size() < 24)
            out << std::string(24 - head.size(), ' ');
        else
            out << "\n" << std::string(24, ' ');
        // Continuation lines of the help text line up with its first line.
        for (char c : option.help) {
            out << c;
            if (c == '\n') out << std::string(24, ' ');
        }
        out << "\n";
    }
    return out.str();
}

std::string CArguments::Required(const std::string& name) const {
    if (!Has(name)) {
        const COption* option = Find(name);
        throw CUsageError(m_strCommand + ": --" + name + " " + (option ? option->valueName : "") +
                          " is required");
    }
    return Text(name);
}

std::string CArguments::Text(const std::string& name, const std::string& fallback) const {
    const auto it = m_Values.find(name);
    return it == m_Values.end() ? fallback : it->second;
}

int CArguments::Integer(const std::string& name, int fallback, int low, int high) const {
    const auto it = m_Values.find(name);
    if (it == m_Values.end()) return fallback;
    long long value = 0;
    if (!ParseInteger(it->second, value) || value < low || value > high)
        throw CUsageError(m_strCommand + ": --" + name + " must be a whole number from " +
                          std::to_string(low) + " to " + std::to_string(high) + ", not '" +
                          it->second + "'");
    return static_cast<int>(value);
}

double CArguments::Number(const std::string& name, double fallback, double low, double high) const {
    const auto it = m_Values.find(name);
    if (it == m_Values.end()) return fallback;
    double value = 0;
    if (!ParseNumber(it->second, value) || value < low || value > high)
        throw CUsageError(m_strCommand + ": --" + name + " must be a number from " +
                          FormatNumber(low) + " to " + FormatNumber(high) + ", not '" + it->second +
                          "'");
    return value;
}

}  // namespace host
