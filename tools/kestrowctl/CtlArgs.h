// CCtlArgs: the command line of kestrowctl.  Global options may stand
// anywhere; the first word that is not an option is the command, the rest
// are its words and options.  Every option a command accepts is declared by
// the command, so a misspelt or misplaced option is a usage error.
#pragma once

#include <map>
#include <optional>
#include <set>
#include <string>
#include <vector>

namespace kestrowctl {

struct CGlobalOptions {
    bool json = false;
    bool help = false;
    bool version = false;
    std::string adapter;   // empty: search for the first adapter that answers
    std::string registry;  // empty: $KESTROW_REGISTRY or the default file
    int timeoutSecs = 10;  // bounded waits for scans and connections
};

class CCtlArgs {
public:
    // Splits argv; throws a usage error for a global option without its
    // value or with a bad one, and for an unknown option before the command.
    CCtlArgs(int argc, char **argv);

    const CGlobalOptions &Global() const { return m_Global; }
    // The leading words before the first command option: enough to choose
    // the command ("profile", "add").
    const std::vector<std::string> &Leading() const { return m_Leading; }
    // After Accept: every command word ("profile", "add", "Home"), options
    // and their values excluded.
    const std::vector<std::string> &Words() const { return m_Words; }

    // Declares the options of the command: flags take no value, valued
    // options take the next word (or "--opt=value").  Throws a usage error
    // for any option given that is not declared, or a valued option without
    // its value.  Call once, before the getters below.
    void Accept(const std::set<std::string> &flags, const std::set<std::string> &valued);

    bool Flag(const std::string &name) const;
    // The last value given for the option, if any.
    std::optional<std::string> Value(const std::string &name) const;
    // Every value given for a repeatable option, in order.
    std::vector<std::string> Values(const std::string &name) const;

    // Exactly `count` words after the command words that select it
    // (`skip`); throws a usage error naming `synopsis` otherwise.
    void ExpectWords(std::size_t skip, std::size_t count, const char *synopsis) const;

private:
    CGlobalOptions m_Global;
    std::vector<std::string> m_Leading;
    std::vector<std::string> m_Words;
    std::vector<std::string> m_Rest;  // every non-global argument, in order
    std::vector<std::pair<std::string, std::optional<std::string>>> m_Options;
};

// A whole decimal number in [lo, hi]; nothing else.
std::optional<int> ParseInt(const std::string &text, int lo, int hi);

} // namespace kestrowctl
