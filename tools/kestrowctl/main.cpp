// kestrowctl: the command-line front end of Kestrow.  It works on the same
// adapter and the same registry as the graphical program, through the same
// core, and prints what the program's pages and dialogs show.
#include <cerrno>
#include <cstdio>
#include <cstring>
#include <exception>
#include <string>

#include "ConnectCmd.h"
#include "CtlArgs.h"
#include "CtlError.h"
#include "CtlSession.h"
#include "PrefsCmd.h"
#include "ProfileCmd.h"
#include "ScanCmd.h"
#include "StatusCmd.h"
#include "WatchCmd.h"

namespace {

constexpr char kHelp[] =
    "Usage: kestrowctl [OPTIONS] COMMAND [ARGUMENTS]\n"
    "\n"
    "Shows and changes the state of the wireless adapter and Kestrow's connection\n"
    "profiles from a terminal or a script.  It uses the same adapter and the same\n"
    "settings (registry) as the graphical program Kestrow.\n"
    "\n"
    "Commands:\n"
    "  status               the connection (network name, mode, channel and\n"
    "                       frequency, rates, security, active profile, link\n"
    "                       quality, counters, SNR) and the adapter (versions, MAC\n"
    "                       address, regulatory domain)\n"
    "  scan [--net]         scans and lists the access points in range; --net lists\n"
    "                       one row per network (the strongest access point);\n"
    "                       the connected one is marked with '*'\n"
    "  profiles             the auto-selection profiles in priority order, then the\n"
    "                       others; the connected network's profiles marked '*'\n"
    "  connect PROFILE      connects with a profile\n"
    "  join SSID [--key-index N --key HEX]\n"
    "                       connects to a network found by a scan and records it\n"
    "                       as an auto-selection profile (a profile for the same\n"
    "                       network is replaced, keeping its priority); a WEP\n"
    "                       network needs its key, N from 1 to 4\n"
    "  join --hidden SSID [--key-index N --key HEX]\n"
    "                       joins the hidden network (one whose beacons carry no\n"
    "                       name) called SSID; when the name is wrong the\n"
    "                       previous connection is put back\n"
    "  profile add NAME --ssid SSID [PROFILE OPTIONS]\n"
    "  profile edit NAME [--name NEW] [PROFILE OPTIONS]\n"
    "                       creates or changes a profile\n"
    "  profile rm NAME      deletes a profile\n"
    "  profile up|down NAME moves an auto-selection profile one place up or down\n"
    "  profile auto|noauto NAME\n"
    "                       adds a profile to auto-selection (as the last) or\n"
    "                       takes it out\n"
    "  export NAME FILE     writes one profile to a profile file (a registry hive)\n"
    "  export-all FILE      writes all profiles and the preferences to a file\n"
    "  import FILE          adds the profiles of a file, named \"Profile N\" and\n"
    "                       outside auto-selection\n"
    "  prefs [--interval SECS] [--units dbm|percent] [--notifications on|off]\n"
    "        [--default-adapter NAME|auto]\n"
    "                       shows or sets the preferences: statistics update\n"
    "                       interval (5 to 100 seconds), signal units, desktop\n"
    "                       notifications, and the adapter the window and\n"
    "                       kestrowctl open (auto: the first that answers)\n"
    "  reset-stats          resets the adapter's statistics\n"
    "  watch                prints the state it starts from, then a line per event\n"
    "                       (connected, lost, adapter-removed, adapter-found,\n"
    "                       scan-finished, signal: the level changed a step) until\n"
    "                       interrupted; with --json one JSON object per line; it\n"
    "                       only reads, so it runs beside the window\n"
    "\n"
    "Profile options:\n"
    "  --ssid SSID          network name, 1 to 32 bytes\n"
    "  --mode infra|adhoc   infrastructure (the default of add) or ad hoc\n"
    "  --phy a|b|g          PHY (default b); the channel of an ad hoc network\n"
    "  --channel N          channel number (default: the first allowed)\n"
    "  --power-save auto|max-performance|good-performance|max-power-save\n"
    "  --security none|wep  (a --wep-key implies wep)\n"
    "  --wep-key I:HEX      key I (1 to 4): 10 or 26 hexadecimal digits; repeatable\n"
    "  --active-key I       the key used to send (default: the first key given)\n"
    "  --auto, --no-auto    in or out of auto-selection\n"
    "\n"
    "Options:\n"
    "  --json               machine-readable output (see the README for the schema)\n"
    "  --adapter NAME       opens the adapter NAME instead of the one chosen in the\n"
    "                       preferences or the first that answers\n"
    "  --registry FILE      settings file instead of $KESTROW_REGISTRY or\n"
    "                       ~/.config/kestrow/registry.sqlite3\n"
    "  --timeout SECS       longest wait for a scan or an association (default 10)\n"
    "  --no-wait            (connect, join) do not wait for the association\n"
    "  -h, --help           this help\n"
    "  --version            the version\n"
    "\n"
    "Names are exact and case-sensitive.  Put \"--\" before a word that begins\n"
    "with '-'.  In text output, bytes of network names that are not UTF-8 and\n"
    "control characters are shown as \\xNN and a backslash as \\\\.\n"
    "\n"
    "While Kestrow runs on the same settings it keeps the profiles in memory:\n"
    "commands that change profiles or preferences (profile, join, import, prefs\n"
    "with an option) are refused, and the others work.\n"
    "\n"
    "Exit status: 0 success, 1 the operation failed, 2 bad usage.  Errors are one\n"
    "line on stderr.\n";

std::string Dispatch(kestrowctl::CCtlSession &session, kestrowctl::CCtlArgs &args)
{
    using namespace kestrowctl;
    const std::string command = args.Leading().empty() ? "" : args.Leading()[0];
    // Everything but the adapter's own commands reads or writes the registry.
    if (command == "profiles" || command == "profile" || command == "connect" || command == "join" ||
        command == "export" || command == "export-all" || command == "import" || command == "prefs")
        session.RequireRegistry();
    if (command == "status")
        return CStatusCmd::Run(session, args);
    if (command == "scan")
        return CScanCmd::Run(session, args);
    if (command == "profiles")
        return CProfileCmd::List(session, args);
    if (command == "profile")
        return CProfileCmd::Profile(session, args);
    if (command == "connect")
        return CConnectCmd::Connect(session, args);
    if (command == "join")
        return CConnectCmd::Join(session, args);
    if (command == "export")
        return CProfileCmd::Export(session, args, false);
    if (command == "export-all")
        return CProfileCmd::Export(session, args, true);
    if (command == "import")
        return CProfileCmd::Import(session, args);
    if (command == "prefs")
        return CPrefsCmd::Prefs(session, args);
    if (command == "watch")
        return CWatchCmd::Run(session, args);
    if (command == "reset-stats")
        return CPrefsCmd::ResetStats(session, args);
    if (command.empty())
        throw UsageError("no command given (try 'kestrowctl --help')");
    throw UsageError("unknown command '" + command + "' (try 'kestrowctl --help')");
}

int Fail(int code, const std::string &message)
{
    std::fprintf(stderr, "kestrowctl: %s\n", message.c_str());
    return code;
}

} // namespace

int main(int argc, char **argv)
{
    using namespace kestrowctl;
    std::string output;
    try {
        CCtlArgs args(argc, argv);
        if (args.Global().help) {
            output = kHelp;
        } else if (args.Global().version) {
            output = std::string("kestrowctl ") + KESTROWCTL_VERSION + "\n";
        } else {
            // The session ends (the store saved, the adapter closed) before
            // anything is printed.
            CCtlSession session(args.Global());
            output = Dispatch(session, args);
        }
    } catch (const CCtlError &e) {
        return Fail(e.ExitCode(), e.what());
    } catch (const std::exception &e) {
        return Fail(kExitFailed, e.what());
    }
    if (std::fwrite(output.data(), 1, output.size(), stdout) != output.size() || std::fflush(stdout) != 0)
        return Fail(kExitFailed, std::string("cannot write the output: ") + std::strerror(errno));
    return kExitOk;
}
