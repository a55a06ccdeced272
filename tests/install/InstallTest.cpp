// The install: `cmake --install` into a temporary prefix gives programs that
// find their libraries and data without the build tree, the library's
// header, pkg-config file and data, the desktop entry, icons and man pages.
// The installed adapter-sim, lunmark-tool and kestrowctl then work together.
#include <gtest/gtest.h>

#include <csignal>
#include <filesystem>
#include <memory>
#include <string>
#include <vector>

#include <sys/wait.h>

#include "ChildProcess.h"
#include "TempDir.h"

namespace {

namespace fs = std::filesystem;

// Nothing that could lead a program to the build tree or to the user's own
// adapters and settings, plus `extra`.
std::vector<std::string> CleanEnvironment(const std::vector<std::string> &extra = {})
{
    std::vector<std::string> env{"LD_LIBRARY_PATH", "LUNMARK_*",       "KESTROW_*",
                                 "XDG_RUNTIME_DIR", "XDG_CONFIG_HOME", "PKG_CONFIG_PATH"};
    env.insert(env.end(), extra.begin(), extra.end());
    return env;
}

ktest::RunResult RunProgram(const std::vector<std::string> &argv, const std::vector<std::string> &extraEnv = {})
{
    return ktest::Run(argv, std::chrono::minutes(5), CleanEnvironment(extraEnv));
}

class InstallTest : public ::testing::Test {
protected:
    static void SetUpTestSuite()
    {
        root_ = std::make_unique<ktest::TempDir>();
        const ktest::RunResult r =
            RunProgram({INSTALL_CMAKE_COMMAND, "--install", INSTALL_BUILD_DIR, "--prefix", Prefix()});
        installed_ = r.exitCode == 0;
        if (!installed_)
            std::fprintf(stderr, "cmake --install failed:\n%s%s\n", r.out.c_str(), r.err.c_str());
    }
    void SetUp() override { ASSERT_TRUE(installed_) << "cmake --install failed"; }

    static std::string Prefix() { return root_->File("prefix"); }
    static std::string In(const std::string &dir, const std::string &name)
    {
        return Prefix() + "/" + dir + "/" + name;
    }

    static inline std::unique_ptr<ktest::TempDir> root_;  // removed at exit
    static inline bool installed_ = false;
};

TEST_F(InstallTest, EveryPartIsInPlace)
{
    // (The programs are run by the next test.)
    std::vector<std::string> expected = {
        In(INSTALL_LIBDIR, "liblunmark.so"),
        In(INSTALL_LIBDIR, "liblunmark.so.1"),
        In(INSTALL_LIBDIR, "liblunmark100.so.2"),
        In(INSTALL_LIBDIR, "pkgconfig/lunmark.pc"),
        In(INSTALL_INCLUDEDIR, "lunmark/lunmark.h"),
        In(INSTALL_DATADIR, "lunmark/zentil_ReportMessages.ini"),
        In(INSTALL_DATADIR, "lunmark/ZarurUdo.xml"),
        In(INSTALL_DATADIR, "adapter-sim/default.scn"),  // (the simulator falls back to the source's)
        In(INSTALL_MANDIR, "man1/adapter-sim.1"),
        In(INSTALL_MANDIR, "man1/lunmark-tool.1"),
        In(INSTALL_MANDIR, "man1/kestrowctl.1"),
    };
    if (INSTALL_HAS_GUI) {
        expected.push_back(In(INSTALL_BINDIR, "kestrow"));
        expected.push_back(In(INSTALL_MANDIR, "man1/kestrow.1"));
        expected.push_back(In(INSTALL_DATADIR, "applications/kestrow.desktop"));
        for (const char *size : {"16x16", "48x48", "256x256"})
            expected.push_back(In(INSTALL_DATADIR, std::string("icons/hicolor/") + size + "/apps/kestrow.png"));
    }
    for (const std::string &path : expected)
        EXPECT_TRUE(fs::exists(path)) << path;

    // The shared libraries carry their sonames.
    for (const char *lib : {"liblunmark.so.1", "liblunmark100.so.2"}) {
        const ktest::RunResult r = RunProgram({"readelf", "-d", In(INSTALL_LIBDIR, lib)});
        if (r.exitCode != 0)
            GTEST_SKIP() << "readelf is not available";
        EXPECT_NE(r.out.find(std::string("Library soname: [") + lib + "]"), std::string::npos) << r.out;
    }
    // The programs find their libraries beside them, not in the build tree.
    std::vector<std::string> programs = {"lunmark-tool", "kestrowctl"};
    if (INSTALL_HAS_GUI)
        programs.push_back("kestrow");
    for (const std::string &program : programs) {
        const ktest::RunResult r = RunProgram({"readelf", "-d", In(INSTALL_BINDIR, program)});
        EXPECT_NE(r.out.find("$ORIGIN/../" INSTALL_LIBDIR), std::string::npos) << program << r.out;
        EXPECT_EQ(r.out.find(INSTALL_BUILD_DIR), std::string::npos) << program << r.out;
    }

    // pkg-config finds the header and library below the prefix it was
    // installed to.
    const ktest::RunResult pc = RunProgram({"pkg-config", "--cflags", "--libs", "lunmark"},
                                           {"PKG_CONFIG_PATH=" + In(INSTALL_LIBDIR, "pkgconfig")});
    ASSERT_EQ(pc.exitCode, 0) << pc.out << pc.err;
    const std::size_t at = pc.out.find("-I");
    ASSERT_NE(at, std::string::npos) << pc.out;
    const std::string include = pc.out.substr(at + 2, pc.out.find(' ', at) - at - 2);
    EXPECT_EQ(fs::weakly_canonical(include), fs::weakly_canonical(Prefix() + "/" INSTALL_INCLUDEDIR))
        << pc.out;
    EXPECT_NE(pc.out.find("-llunmark"), std::string::npos) << pc.out;
}

TEST_F(InstallTest, InstalledProgramsWorkTogether)
{
    const std::string adapters = root_->Subdir("adapters");
    const std::string runtime = root_->Subdir("run");

    // The installed simulator plays its installed default scenario.
    ktest::ChildProcess sim;
    std::string error;
    ASSERT_TRUE(sim.Start({In(INSTALL_BINDIR, "adapter-sim"), "--dir", adapters}, &error, CleanEnvironment()))
        << error;
    EXPECT_TRUE(sim.WaitForLine("adapter-sim: ready: 1 adapter", std::chrono::seconds(60)));

    const ktest::RunResult list =
        RunProgram({In(INSTALL_BINDIR, "lunmark-tool"), "adapters"}, {"LUNMARK_ADAPTER_DIR=" + adapters});
    EXPECT_EQ(list.exitCode, 0);
    EXPECT_EQ(list.out, "sim0\n");

    const ktest::RunResult status =
        RunProgram({In(INSTALL_BINDIR, "kestrowctl"), "status"},
                   {"LUNMARK_ADAPTER_DIR=" + adapters, "XDG_RUNTIME_DIR=" + runtime,
                    "KESTROW_REGISTRY=" + root_->File("registry.sqlite3")});
    EXPECT_EQ(status.exitCode, 0) << status.out << status.err;
    EXPECT_NE(status.out.find("Connected to (SSID):  Not Connected"), std::string::npos) << status.out;
    EXPECT_NE(status.out.find("MAC Address:          00-0E-2E-4C-19-7A"), std::string::npos) << status.out;
    EXPECT_TRUE(fs::exists(root_->File("registry.sqlite3")));

    const int wait = sim.Kill(SIGTERM);
    EXPECT_TRUE(WIFEXITED(wait) && WEXITSTATUS(wait) == 0);
    EXPECT_FALSE(fs::exists(adapters + "/sim0"));  // the simulator cleaned up
}

} // namespace
