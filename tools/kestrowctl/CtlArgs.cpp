#include "CtlArgs.h"

#include <cerrno>
#include <cstdlib>

#include "CtlError.h"

namespace kestrowctl {

namespace {

bool IsOption(const std::string &arg)
{
    return arg.size() > 2 && arg.compare(0, 2, "--") == 0;
}

// "--name=value" splits into the name and the value.
std::pair<std::string, std::optional<std::string>> SplitOption(const std::string &arg)
{
    const std::size_t eq = arg.find('=');
    if (eq == std::string::npos)
        return {arg, std::nullopt};
    return {arg.substr(0, eq), arg.substr(eq + 1)};
}

} // namespace

std::optional<int> ParseInt(const std::string &text, int lo, int hi)
{
    if (text.empty() || text.size() > 12)
        return std::nullopt;
    char *end = nullptr;
    errno = 0;
    const long value = std::strtol(text.c_str(), &end, 10);
    if (errno != 0 || end == text.c_str() || *end != '\0' || text[0] == ' ' || text[0] == '+')
        return std::nullopt;
    if (value < lo || value > hi)
        return std::nullopt;
    return static_cast<int>(value);
}

CCtlArgs::CCtlArgs(int argc, char **argv)
{
    bool endOfOptions = false;
    for (int i = 1; i < argc; ++i) {
        const std::string arg = argv[i] != nullptr ? argv[i] : "";
        if (endOfOptions) {
            m_Rest.push_back(arg);
            continue;
        }
        if (arg == "--") {
            endOfOptions = true;
            m_Rest.push_back(arg);
            continue;
        }
        auto [name, inlineValue] = SplitOption(arg);
        const auto value = [&, name = name, inlineValue = inlineValue]() -> std::string {
            if (inlineValue)
                return *inlineValue;
            if (i + 1 >= argc || argv[i + 1] == nullptr)
                throw UsageError("option " + name + " needs a value");
            return argv[++i];
        };
        if (arg == "--json") {
            m_Global.json = true;
        } else if (arg == "--help" || arg == "-h") {
            m_Global.help = true;
        } else if (arg == "--version") {
            m_Global.version = true;
        } else if (name == "--adapter") {
            m_Global.adapter = value();
            if (m_Global.adapter.empty())
                throw UsageError("--adapter needs an adapter name");
        } else if (name == "--registry") {
            m_Global.registry = value();
            if (m_Global.registry.empty())
                throw UsageError("--registry needs a file name");
        } else if (name == "--timeout") {
            const std::string text = value();
            const auto secs = ParseInt(text, 1, 600);
            if (!secs)
                throw UsageError("--timeout takes whole seconds from 1 to 600, not '" + text + "'");
            m_Global.timeoutSecs = *secs;
        } else {
            m_Rest.push_back(arg);
        }
    }
    for (const std::string &arg : m_Rest) {
        if (IsOption(arg) || arg == "--" || (arg.size() > 1 && arg[0] == '-'))
            break;
        m_Leading.push_back(arg);
    }
    // Command options follow their command; an option before any command
    // word is no global option (a misspelt "--json", say).
    if (m_Leading.empty() && !m_Rest.empty() && m_Rest[0] != "--" && m_Rest[0].size() > 1 &&
        m_Rest[0][0] == '-' && !m_Global.help && !m_Global.version)
        throw UsageError("unknown option '" + SplitOption(m_Rest[0]).first + "'");
}

void CCtlArgs::Accept(const std::set<std::string> &flags, const std::set<std::string> &valued)
{
    m_Words.clear();
    m_Options.clear();
    bool endOfOptions = false;
    for (std::size_t i = 0; i < m_Rest.size(); ++i) {
        const std::string &arg = m_Rest[i];
        if (endOfOptions) {
            m_Words.push_back(arg);
            continue;
        }
        if (arg == "--") {
            endOfOptions = true;
            continue;
        }
        if (!IsOption(arg)) {
            if (arg.size() > 1 && arg[0] == '-')
                throw UsageError("unknown option '" + arg + "'");
            m_Words.push_back(arg);
            continue;
        }
        auto [name, inlineValue] = SplitOption(arg);
        if (flags.count(name) != 0) {
            if (inlineValue)
                throw UsageError("option " + name + " takes no value");
            m_Options.emplace_back(name, std::nullopt);
        } else if (valued.count(name) != 0) {
            if (!inlineValue) {
                if (i + 1 >= m_Rest.size())
                    throw UsageError("option " + name + " needs a value");
                inlineValue = m_Rest[++i];
            }
            m_Options.emplace_back(name, std::move(inlineValue));
        } else {
            throw UsageError("unknown option '" + name + "' for this command");
        }
    }
}

bool CCtlArgs::Flag(const std::string &name) const
{
    for (const auto &[option, value] : m_Options) {
        if (option == name)
            return true;
    }
    return false;
}

std::optional<std::string> CCtlArgs::Value(const std::string &name) const
{
    std::optional<std::string> last;
    for (const auto &[option, value] : m_Options) {
        if (option == name && value)
            last = value;
    }
    return last;
}

std::vector<std::string> CCtlArgs::Values(const std::string &name) const
{
    std::vector<std::string> all;
    for (const auto &[option, value] : m_Options) {
        if (option == name && value)
            all.push_back(*value);
    }
    return all;
}

void CCtlArgs::ExpectWords(std::size_t skip, std::size_t count, const char *synopsis) const
{
    if (m_Words.size() != skip + count)
        throw UsageError(std::string("usage: kestrowctl ") + synopsis);
}

} // namespace kestrowctl
