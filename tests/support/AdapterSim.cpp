#include "AdapterSim.h"

#include <csignal>
#include <cstdlib>
#include <sstream>

#include <sys/stat.h>

namespace ktest {

namespace {
constexpr milliseconds kTimeout{20000};  // for start-up and for each ctl command
} // namespace

AdapterSim::AdapterSim(std::string adapterDir) : m_AdapterDir(std::move(adapterDir))
{
    if (m_AdapterDir.empty())
        m_AdapterDir = m_Temp.Subdir("adapters");
    else
        ::mkdir(m_AdapterDir.c_str(), 0700);
}

AdapterSim::~AdapterSim()
{
    Stop();
    if (m_Exported)
        ::unsetenv("LUNMARK_ADAPTER_DIR");
}

std::string AdapterSim::Program()
{
    return KTEST_ADAPTER_SIM;
}

bool AdapterSim::Start(const std::string &scenario, std::string *error)
{
    m_Args = {Program(), "--exit-with-parent", "--dir", m_AdapterDir};
    if (!scenario.empty()) {
        const std::string file = m_Temp.File("scenario.scn");
        WriteFile(file, scenario);
        m_Args.insert(m_Args.end(), {"--scenario", file});
    }
    return Restart(error);
}

bool AdapterSim::Restart(std::string *error)
{
    std::string problem;
    if (!m_Process.Start(m_Args, &problem)) {
    } else if (m_Process.WaitForLine("ready", kTimeout)) {
        return true;
    } else {
        problem = "adapter-sim did not report ready";
        (void)m_Process.Kill(SIGKILL);
    }
    if (error != nullptr)
        *error = problem;
    return false;
}

void AdapterSim::KillHard()
{
    (void)m_Process.Kill(SIGKILL);
}

void AdapterSim::Stop()
{
    (void)m_Process.Kill(SIGTERM);  // nothing when it is not running
}

bool AdapterSim::Ctl(const std::string &command, std::string *reply, const std::string &adapter) const
{
    std::vector<std::string> argv{Program(), "ctl", "--dir", m_AdapterDir, adapter};
    std::istringstream words(command);
    for (std::string word; words >> word;)
        argv.push_back(word);
    const RunResult run = Run(argv, kTimeout);
    if (reply != nullptr)
        *reply = run.out;
    return run.exitCode == 0;
}

bool AdapterSim::Stat(const std::string &key, std::uint64_t *value) const
{
    // "stats" prints one "NAME VALUE" line per counter.
    std::string reply;
    std::istringstream lines(Ctl("stats", &reply) ? reply : std::string());
    for (std::string line, name; std::getline(lines, line);) {
        std::istringstream words(line);
        if (std::uint64_t n = 0; words >> name >> n && name == key) {
            *value = n;
            return true;
        }
    }
    return false;
}

void AdapterSim::ExportEnvironment()
{
    ::setenv("LUNMARK_ADAPTER_DIR", m_AdapterDir.c_str(), 1);
    m_Exported = true;
}

} // namespace ktest
