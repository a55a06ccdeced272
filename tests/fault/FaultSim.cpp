#include "FaultSim.h"

#include <csignal>
#include <sstream>
#include <utility>
#include <vector>

namespace fault {

namespace {
constexpr std::chrono::seconds kStartTimeout{20};
constexpr std::chrono::seconds kControlTimeout{20};
} // namespace

std::string OpenNetworkScenario()
{
    return "seed = 7\n"
           "[adapter sim0]\n"
           "scan_time = 1\n"
           "[network]\n"
           "ssid = KestrowNet\n"
           "bssid = 00:11:22:33:44:55\n"
           "channel = 6\n"
           "phy = g\n"
           "mode = infrastructure\n"
           "security = open\n"
           "signal = -61\n"
           "drift = 0\n";
}

FaultSim::FaultSim(std::string program, std::string dir, std::string scenario)
    : m_Program(std::move(program)), m_Dir(std::move(dir)), m_Scenario(std::move(scenario))
{
}

bool FaultSim::Start(std::string *error)
{
    if (!m_Process.Start({m_Program, "--exit-with-parent", "--dir", m_Dir, "--scenario", m_Scenario}, error))
        return false;
    if (!m_Process.WaitForLine("ready", kStartTimeout)) {
        *error = "adapter-sim did not report ready";
        (void)m_Process.Kill(SIGKILL);
        return false;
    }
    return true;
}

void FaultSim::KillHard()
{
    (void)m_Process.Kill(SIGKILL);
}

void FaultSim::Stop()
{
    if (!m_Process.Running())
        return;
    (void)m_Process.Kill(SIGTERM);
}

bool FaultSim::Control(const std::string &command, std::string *reply) const
{
    std::vector<std::string> argv{m_Program, "ctl", "--dir", m_Dir, "sim0"};
    std::istringstream words(command);
    for (std::string word; words >> word;)
        argv.push_back(word);
    std::string output;
    const int rc = RunToEnd(argv, kControlTimeout, &output);
    if (reply != nullptr)
        *reply = output;
    return rc == 0;
}

bool FaultSim::Stat(const std::string &key, std::uint64_t *value) const
{
    std::string reply;
    if (!Control("stats", &reply))
        return false;
    std::istringstream lines(reply);
    for (std::string line; std::getline(lines, line);) {
        std::istringstream fields(line);
        std::string name;
        std::uint64_t number = 0;
        if (fields >> name >> number && name == key) {
            *value = number;
            return true;
        }
    }
    return false;
}

} // namespace fault
