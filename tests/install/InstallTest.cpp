// The install: `cmake --install` into a temporary prefix gives programs that
// find their libraries and data without the build tree, the library's
// header, pkg-config file and data, the desktop entry, icons and man pages.
// The installed adapter-sim, lunmark-tool and kestrowctl then work together.
#include <gtest/gtest.h>

#include <cerrno>
#include <csignal>
#include <cstdlib>
#include <filesystem>
#include <string>
#include <vector>

#include <fcntl.h>
#include <spawn.h>
#include <sys/wait.h>
#include <unistd.h>

extern char **environ;

namespace {

namespace fs = std::filesystem;

struct Result {
    int status = -1;  // exit code, or -1 when the program did not exit normally
    std::string out;
};

// The current environment without anything that could lead a program to the
// build tree or to the user's own adapters and settings, plus `extra`.
std::vector<std::string> CleanEnvironment(const std::vector<std::string> &extra)
{
    static const char *const kDropped[] = {"LD_LIBRARY_PATH=", "LUNMARK_", "KESTROW_",
                                           "XDG_RUNTIME_DIR=", "XDG_CONFIG_HOME=", "PKG_CONFIG_PATH="};
    std::vector<std::string> env;
    for (char **e = environ; *e != nullptr; ++e) {
        const std::string entry = *e;
        bool keep = true;
        for (const char *prefix : kDropped)
            keep = keep && entry.rfind(prefix, 0) != 0;
        if (keep)
            env.push_back(entry);
    }
    env.insert(env.end(), extra.begin(), extra.end());
    return env;
}

std::vector<char *> Pointers(std::vector<std::string> &strings)
{
    std::vector<char *> p;
    for (std::string &s : strings)
        p.push_back(s.data());
    p.push_back(nullptr);
    return p;
}

// Starts `argv` with its standard output on a pipe; -1 on failure.
pid_t Spawn(std::vector<std::string> argv, std::vector<std::string> env, int *out)
{
    int fds[2];
    if (::pipe2(fds, O_CLOEXEC) != 0)
        return -1;
    posix_spawn_file_actions_t actions;
    posix_spawn_file_actions_init(&actions);
    posix_spawn_file_actions_adddup2(&actions, fds[1], 1);
    auto args = Pointers(argv);
    auto envp = Pointers(env);
    pid_t pid = -1;
    const int rc = ::posix_spawnp(&pid, args[0], &actions, nullptr, args.data(), envp.data());
    posix_spawn_file_actions_destroy(&actions);
    ::close(fds[1]);
    if (rc != 0) {
        ::close(fds[0]);
        return -1;
    }
    *out = fds[0];
    return pid;
}

int Wait(pid_t pid)
{
    int status = 0;
    while (::waitpid(pid, &status, 0) < 0) {
        if (errno != EINTR)
            return -1;
    }
    return WIFEXITED(status) ? WEXITSTATUS(status) : -1;
}

Result RunProgram(const std::vector<std::string> &argv, const std::vector<std::string> &extraEnv = {})
{
    Result r;
    int out = -1;
    const pid_t pid = Spawn(argv, CleanEnvironment(extraEnv), &out);
    if (pid < 0) {
        r.out = "cannot start " + argv[0];
        return r;
    }
    char buf[4096];
    ssize_t n;
    while ((n = ::read(out, buf, sizeof buf)) > 0 || (n < 0 && errno == EINTR))
        if (n > 0)
            r.out.append(buf, static_cast<std::size_t>(n));
    ::close(out);
    r.status = Wait(pid);
    return r;
}

class InstallTest : public ::testing::Test {
protected:
    static void SetUpTestSuite()
    {
        std::string tmpl = ::testing::TempDir() + "kestrow-install-XXXXXX";
        ASSERT_NE(::mkdtemp(tmpl.data()), nullptr);
        root_ = new std::string(tmpl);
        const Result r = RunProgram({INSTALL_CMAKE_COMMAND, "--install", INSTALL_BUILD_DIR, "--prefix",
                              Prefix()});
        installed_ = r.status == 0;
        if (!installed_)
            std::fprintf(stderr, "cmake --install failed:\n%s\n", r.out.c_str());
    }
    static void TearDownTestSuite()
    {
        std::error_code ec;
        fs::remove_all(*root_, ec);
        delete root_;
        root_ = nullptr;
    }
    void SetUp() override { ASSERT_TRUE(installed_) << "cmake --install failed"; }

    static std::string Prefix() { return *root_ + "/prefix"; }
    static std::string In(const std::string &dir, const std::string &name)
    {
        return Prefix() + "/" + dir + "/" + name;
    }

    static std::string *root_;
    static bool installed_;
};

std::string *InstallTest::root_ = nullptr;
bool InstallTest::installed_ = false;

TEST_F(InstallTest, EveryPartIsInPlace)
{
    std::vector<std::string> expected = {
        In(INSTALL_BINDIR, "adapter-sim"),
        In(INSTALL_BINDIR, "lunmark-tool"),
        In(INSTALL_BINDIR, "kestrowctl"),
        In(INSTALL_LIBDIR, "liblunmark.so"),
        In(INSTALL_LIBDIR, "liblunmark.so.1"),
        In(INSTALL_LIBDIR, "liblunmark100.so.1"),
        In(INSTALL_LIBDIR, "pkgconfig/lunmark.pc"),
        In(INSTALL_INCLUDEDIR, "lunmark/lunmark.h"),
        In(INSTALL_DATADIR, "lunmark/zentil_ReportMessages.ini"),
        In(INSTALL_DATADIR, "lunmark/ZarurUdo.xml"),
        In(INSTALL_DATADIR, "adapter-sim/default.scn"),
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
    for (const char *lib : {"liblunmark.so.1", "liblunmark100.so.1"}) {
        const Result r = RunProgram({"readelf", "-d", In(INSTALL_LIBDIR, lib)});
        if (r.status != 0)
            GTEST_SKIP() << "readelf is not available";
        EXPECT_NE(r.out.find(std::string("Library soname: [") + lib + "]"), std::string::npos) << r.out;
    }
    // The programs find their libraries beside them, not in the build tree.
    std::vector<std::string> programs = {"lunmark-tool", "kestrowctl"};
    if (INSTALL_HAS_GUI)
        programs.push_back("kestrow");
    for (const std::string &program : programs) {
        const Result r = RunProgram({"readelf", "-d", In(INSTALL_BINDIR, program)});
        EXPECT_NE(r.out.find("$ORIGIN/../" INSTALL_LIBDIR), std::string::npos) << program << r.out;
        EXPECT_EQ(r.out.find(INSTALL_BUILD_DIR), std::string::npos) << program << r.out;
    }

    // pkg-config finds the header and library below the prefix it was
    // installed to.
    const Result pc = RunProgram({"pkg-config", "--cflags", "--libs", "lunmark"},
                          {"PKG_CONFIG_PATH=" + In(INSTALL_LIBDIR, "pkgconfig")});
    ASSERT_EQ(pc.status, 0) << pc.out;
    const std::size_t at = pc.out.find("-I");
    ASSERT_NE(at, std::string::npos) << pc.out;
    const std::string include = pc.out.substr(at + 2, pc.out.find(' ', at) - at - 2);
    EXPECT_EQ(fs::weakly_canonical(include), fs::weakly_canonical(Prefix() + "/" INSTALL_INCLUDEDIR))
        << pc.out;
    EXPECT_NE(pc.out.find("-llunmark"), std::string::npos) << pc.out;
}

TEST_F(InstallTest, InstalledProgramsWorkTogether)
{
    const std::string adapters = *root_ + "/adapters";
    const std::string runtime = *root_ + "/run";
    ASSERT_TRUE(fs::create_directories(adapters));
    ASSERT_TRUE(fs::create_directories(runtime));
    fs::permissions(runtime, fs::perms::owner_all);

    // The installed simulator plays its installed default scenario.
    int simOut = -1;
    const pid_t sim = Spawn({In(INSTALL_BINDIR, "adapter-sim"), "--dir", adapters},
                            CleanEnvironment({}), &simOut);
    ASSERT_GT(sim, 0);
    std::string ready;
    char c = 0;
    while (::read(simOut, &c, 1) == 1 && c != '\n')
        ready += c;
    EXPECT_NE(ready.find("adapter-sim: ready: 1 adapter"), std::string::npos) << ready;

    const Result list =
        RunProgram({In(INSTALL_BINDIR, "lunmark-tool"), "adapters"}, {"LUNMARK_ADAPTER_DIR=" + adapters});
    EXPECT_EQ(list.status, 0);
    EXPECT_EQ(list.out, "sim0\n");

    const Result status = RunProgram({In(INSTALL_BINDIR, "kestrowctl"), "status"},
                              {"LUNMARK_ADAPTER_DIR=" + adapters, "XDG_RUNTIME_DIR=" + runtime,
                               "KESTROW_REGISTRY=" + *root_ + "/registry.sqlite3"});
    EXPECT_EQ(status.status, 0) << status.out;
    EXPECT_NE(status.out.find("Connected to (SSID):  Not Connected"), std::string::npos) << status.out;
    EXPECT_NE(status.out.find("MAC Address:          00-0E-2E-4C-19-7A"), std::string::npos) << status.out;
    EXPECT_TRUE(fs::exists(*root_ + "/registry.sqlite3"));

    ::kill(sim, SIGTERM);
    EXPECT_EQ(Wait(sim), 0);
    ::close(simOut);
    EXPECT_FALSE(fs::exists(adapters + "/sim0"));  // the simulator cleaned up
}

} // namespace
