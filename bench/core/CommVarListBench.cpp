// Variables per second: a table of eight communication variables read
// through liblunmark from a simulated adapter started on a private adapter
// directory.
//
//   kestrow_core_bench [google benchmark options]
#include <benchmark/benchmark.h>

#include <signal.h>
#include <spawn.h>
#include <stdlib.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <chrono>
#include <cstdio>
#include <filesystem>
#include <string>
#include <thread>

#include "CommVarList.h"
#include "Conversions.h"
#include "KestrowApp.h"
#include "VarCodes.h"

extern char **environ;

namespace {

using namespace kestrow;

// The simulated adapter for the whole run.
class Simulator {
public:
    bool Start()
    {
        std::string pattern = (std::filesystem::temp_directory_path() / "kestrow-bench-XXXXXX").string();
        if (mkdtemp(pattern.data()) == nullptr)
            return false;
        dir_ = pattern;
        if (setenv("LUNMARK_ADAPTER_DIR", dir_.c_str(), 1) != 0)
            return false;
        std::string program = ADAPTER_SIM_PATH;
        std::string dirOption = "--dir";
        char *argv[] = {program.data(), dirOption.data(), dir_.data(), nullptr};
        if (posix_spawn(&pid_, program.c_str(), nullptr, nullptr, argv, environ) != 0) {
            pid_ = -1;
            return false;
        }
        // Wait (bounded) for the adapter's socket.
        for (int i = 0; i < 200; ++i) {
            for (const auto &entry : std::filesystem::directory_iterator(dir_))
                if (entry.is_socket())
                    return true;
            int status = 0;
            if (waitpid(pid_, &status, WNOHANG) == pid_) {
                pid_ = -1;
                return false;
            }
            std::this_thread::sleep_for(std::chrono::milliseconds(50));
        }
        return false;
    }
    ~Simulator()
    {
        if (pid_ > 0) {
            (void)kill(pid_, SIGTERM);
            int status = 0;
            (void)waitpid(pid_, &status, 0);
        }
        std::error_code ignored;
        if (!dir_.empty())
            std::filesystem::remove_all(dir_, ignored);
    }

private:
    pid_t pid_ = -1;
    std::string dir_;
};

void BM_ReadEightVariables(benchmark::State &state)
{
    std::string texts[8];
    CCommVarList list;
    list.Add(VAR_SSID, ConvSsid, &texts[0]);
    list.Add(VAR_NET_MODE, ConvNetMode, &texts[1]);
    list.Add(VAR_CHANNEL, ConvChannel, &texts[2]);
    list.Add(VAR_PHY, ConvPhyRate, &texts[3]);
    list.Add(VAR_SECURITY, ConvSecurity, &texts[4]);
    list.Add(VAR_STATISTICS, ConvRecvCount, &texts[5]);
    list.Add(VAR_NET_RATE, ConvNetRate, &texts[6]);
    list.Add(VAR_REG_DOMAIN, ConvCountry, &texts[7]);
    if (!list.Exec(false, false)) {
        for (int k = 0; k < list.GetCount(); ++k) {
            const CCommVar *var = list.GetVar(k);
            if (var != nullptr && !var->m_bValid)
                std::fprintf(stderr, "variable 0x%X: status %u\n", static_cast<unsigned>(var->m_Oids[0].read),
                             var->m_Records[0].status());
        }
        state.SkipWithError("the simulated adapter did not answer every variable");
        return;
    }
    for (auto _ : state) {
        const bool ok = list.Exec(false, false);
        benchmark::DoNotOptimize(ok);
        if (!ok) {
            state.SkipWithError("a read failed");
            break;
        }
    }
    state.SetItemsProcessed(state.iterations() * list.GetCount());
    state.SetLabel(texts[0] + " / " + texts[2]);
}
BENCHMARK(BM_ReadEightVariables)->Unit(benchmark::kMicrosecond)->UseRealTime();

// Joins the scenario's open network with the batch a profile connect
// writes, and waits (bounded) until the adapter reports the link: the
// channel and rate variables answer only while associated.
bool JoinOpenNetwork()
{
    std::string mode = "Infrastructure", connect = "2", ssid = "CoffeeCorner", security = "None";
    CCommVarList batch;
    batch.Add(VAR_NET_MODE, ConvNetMode, &mode);
    batch.Add(VAR_CONNECT_MODE, ConvNumber, &connect);
    batch.Add(VAR_SSID, ConvSsid, &ssid);
    batch.Add(VAR_SECURITY, ConvSecurity, &security);
    if (!batch.Exec(true, false))
        return false;
    for (int i = 0; i < 100; ++i) {
        CCommVarList probe;
        CCommVar *connected = probe.Add(VAR_CONNECTED, nullptr, nullptr);
        if (connected != nullptr && probe.Exec(false, false) && connected->GetRecord(0)->u8(0) != 0)
            return true;
        std::this_thread::sleep_for(std::chrono::milliseconds(50));
    }
    return false;
}

} // namespace

int main(int argc, char **argv)
{
    Simulator simulator;
    if (!simulator.Start()) {
        std::fprintf(stderr, "kestrow_core_bench: cannot start %s\n", ADAPTER_SIM_PATH);
        return 1;
    }
    if (!theApp().ConnectDriver()) {
        std::fprintf(stderr, "kestrow_core_bench: no adapter answered\n");
        return 1;
    }
    if (!JoinOpenNetwork()) {
        std::fprintf(stderr, "kestrow_core_bench: the simulated adapter did not join its network\n");
        return 1;
    }
    benchmark::Initialize(&argc, argv);
    if (benchmark::ReportUnrecognizedArguments(argc, argv))
        return 1;
    benchmark::RunSpecifiedBenchmarks();
    benchmark::Shutdown();
    theApp().DisconnectDriver();
    return 0;
}
