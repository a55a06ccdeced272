#include "platform/Registry.h"

#include <gtest/gtest.h>
#include <sqlite3.h>

#include <sys/stat.h>
#include <unistd.h>


#include "ChildProcess.h"
#include "RegistryDump.h"
#include "TempDir.h"
#include "platform/Win32Error.h"

namespace {

using namespace platform;
using ktest::TempDir;

const std::string kApp = "Software\\Dovrel\\Configuration Utility";

class RegistryTest : public ::testing::Test {
protected:
    void SetUp() override
    {
        reg_ = open_db(db_);
        ASSERT_NE(reg_, nullptr);
        // A second connection for ktest::DumpRegistryTree.
        ASSERT_EQ(Registry::set_current_user_path(db_), 0u);
    }
    std::unique_ptr<Registry> open_db(const std::string &path)
    {
        std::uint32_t error = 0xFFFF;
        auto r = Registry::open(path, &error);
        EXPECT_EQ(error, 0u);
        return r;
    }
    // A profile tree with non-ASCII text and DWORDs at both ends of the range.
    void fill_profiles(const std::string &key)
    {
        ASSERT_EQ(reg_->set_dword(key, "NumOfProfiles", 2), 0u);
        ASSERT_EQ(reg_->set_string(key, "ConnectedStation", ""), 0u);
        ASSERT_EQ(reg_->set_string(key + "\\Profile 0", "ProfName", "Café Ünïcode 日本語 🚀"), 0u);
        ASSERT_EQ(reg_->set_string(key + "\\Profile 0", "NetName", "home-net"), 0u);
        ASSERT_EQ(reg_->set_dword(key + "\\Profile 0", "Channel", 0xFFFFFFFFu), 0u);
        ASSERT_EQ(reg_->set_dword(key + "\\Profile 1", "Priority", 0), 0u);
        ASSERT_EQ(reg_->set_string(key + "\\Profile 1\\Deeper", "Ключ", "значение"), 0u);
    }

    TempDir dir_;
    std::string db_ = dir_.File("config/kestrow/registry.sqlite3");
    std::unique_ptr<Registry> reg_;
};

TEST_F(RegistryTest, ValuesSurviveCloseAndReopen)
{
    ASSERT_EQ(reg_->set_dword(kApp, "Polling Interval", 5000), 0u);
    ASSERT_EQ(reg_->set_string(kApp + "\\Profile 0", "ProfName", "Büro"), 0u);
    reg_.reset();

    reg_ = open_db(db_);
    ASSERT_NE(reg_, nullptr);
    std::uint32_t d = 0;
    std::string s;
    // Names of keys and values compare case-insensitively.
    EXPECT_EQ(reg_->query_dword("software\\DOVREL\\configuration utility", "polling interval", &d), 0u);
    EXPECT_EQ(d, 5000u);
    EXPECT_EQ(reg_->query_string(kApp + "\\profile 0", "PROFNAME", &s), 0u);
    EXPECT_EQ(s, "Büro");
    // Setting a value with other case keeps the name it was created with.
    ASSERT_EQ(reg_->set_dword(kApp, "POLLING INTERVAL", 7000), 0u);
    std::vector<RegValue> values;
    ASSERT_EQ(reg_->enum_values(kApp, &values), 0u);
    ASSERT_EQ(values.size(), 1u);
    EXPECT_EQ(values[0].name, "Polling Interval");
    EXPECT_EQ(values[0].dword, 7000u);

    EXPECT_EQ(reg_->query_dword(kApp, "Missing", &d), kErrorFileNotFound);
    EXPECT_EQ(reg_->query_dword(kApp + "\\Nope", "x", &d), kErrorFileNotFound);
    EXPECT_EQ(reg_->query_string(kApp, "Polling Interval", &s), kErrorInvalidData);
    EXPECT_EQ(reg_->open_key(kApp + "\\Nope"), kErrorFileNotFound);
    EXPECT_EQ(reg_->open_key(kApp + "\\"), 0u);
    EXPECT_EQ(reg_->create_key("Software\\\\Bad"), kErrorInvalidParameter);
    EXPECT_EQ(reg_->delete_value(kApp, "Polling Interval"), 0u);
    EXPECT_EQ(reg_->delete_value(kApp, "Polling Interval"), kErrorFileNotFound);
}

TEST_F(RegistryTest, DeletingAKeyWithSubkeysIsAccessDenied)
{
    ASSERT_EQ(reg_->set_dword(kApp + "\\Import\\Profile 0", "Channel", 6), 0u);
    EXPECT_EQ(reg_->delete_key(kApp + "\\Import"), kErrorAccessDenied);
    EXPECT_EQ(reg_->open_key(kApp + "\\Import\\Profile 0"), 0u);
    EXPECT_EQ(reg_->delete_key(kApp + "\\Import\\Profile 0"), 0u);
    EXPECT_EQ(reg_->delete_key(kApp + "\\Import"), 0u);
    EXPECT_EQ(reg_->delete_key(kApp + "\\Import"), kErrorFileNotFound);
    EXPECT_EQ(reg_->delete_key(""), kErrorAccessDenied);  // the root itself
    // A key created again starts empty: the values went with the key.
    ASSERT_EQ(reg_->create_key(kApp + "\\Import\\Profile 0"), 0u);
    std::vector<RegValue> values;
    EXPECT_EQ(reg_->enum_values(kApp + "\\Import\\Profile 0", &values), 0u);
    EXPECT_TRUE(values.empty());
}

TEST_F(RegistryTest, TransactionsCommitTogetherOrNotAtAll)
{
    EXPECT_EQ(reg_->transact([&]() -> std::uint32_t {
        reg_->set_dword(kApp, "A", 1);
        reg_->set_dword(kApp, "B", 2);
        return kErrorWriteFault;
    }), kErrorWriteFault);
    EXPECT_EQ(reg_->open_key(kApp), kErrorFileNotFound);

    // An inner failure undoes only the inner part.
    EXPECT_EQ(reg_->transact([&]() -> std::uint32_t {
        reg_->set_dword(kApp, "A", 1);
        EXPECT_EQ(reg_->transact([&]() -> std::uint32_t {
            reg_->set_dword(kApp, "B", 2);
            return kErrorInvalidData;
        }), kErrorInvalidData);
        return 0;
    }), 0u);
    std::uint32_t d = 0;
    EXPECT_EQ(reg_->query_dword(kApp, "A", &d), 0u);
    EXPECT_EQ(reg_->query_dword(kApp, "B", &d), kErrorFileNotFound);

    // An exception undoes the work and reaches the caller.
    EXPECT_THROW(reg_->transact([&]() -> std::uint32_t {
        reg_->set_dword(kApp, "C", 3);
        throw std::runtime_error("boom");
    }), std::runtime_error);
    EXPECT_EQ(reg_->query_dword(kApp, "C", &d), kErrorFileNotFound);
    EXPECT_EQ(reg_->set_dword(kApp, "C", 3), 0u);  // and the registry still works
}

TEST_F(RegistryTest, ForeignOrDamagedDatabaseIsRefused)
{
    std::uint32_t error = 0;
    const std::string text = dir_.Write("text.sqlite3", std::string(8192, 'x'));
    // Some other program's SQLite database.
    const std::string other = dir_.File("other.sqlite3");
    {
        sqlite3 *db = nullptr;
        ASSERT_EQ(sqlite3_open(other.c_str(), &db), SQLITE_OK);
        ASSERT_EQ(sqlite3_exec(db, "CREATE TABLE t(x); INSERT INTO t VALUES(1);", nullptr, nullptr, nullptr), SQLITE_OK);
        sqlite3_close(db);
    }
    const std::string other_bytes = ktest::ReadFile(other);
    const std::string folder = dir_.File("folder.sqlite3");
    ASSERT_EQ(::mkdir(folder.c_str(), 0700), 0);
    const std::string locked = dir_.Write("locked.sqlite3", "");
    ASSERT_EQ(::chmod(locked.c_str(), 0), 0);

    // The process-wide registry stays closed (no fall-back to the default
    // file) and tells which file failed and why.
    const struct {
        std::string path;
        std::uint32_t error;
        const char *reason;
    } cases[] = {{text, kErrorBadDb, "not a database"},
                 {other, kErrorBadDb, "another program"},
                 {folder, kErrorAccessDenied, "folder"},
                 {locked, kErrorAccessDenied, "Permission denied"}};
    for (const auto &c : cases) {
        if (c.path == locked && ::geteuid() == 0)
            continue;  // root may read and write anything
        EXPECT_EQ(Registry::set_current_user_path(c.path), c.error) << c.path;
        EXPECT_EQ(Registry::current_user(), nullptr);
        const auto failure = Registry::current_user_failure();
        ASSERT_TRUE(failure.has_value());
        EXPECT_EQ(failure->path, c.path);
        EXPECT_NE(failure->reason.find(c.reason), std::string::npos) << failure->reason;
    }
    EXPECT_EQ(ktest::ReadFile(other), other_bytes);

    // Our database with its pages overwritten.
    for (int i = 0; i < 50; ++i)
        ASSERT_EQ(reg_->set_string(kApp + "\\Profile " + std::to_string(i), "ProfName", std::string(200, 'p')), 0u);
    reg_.reset();
    std::string bytes = ktest::ReadFile(db_);
    ASSERT_GT(bytes.size(), 3 * 4096u);
    for (std::size_t i = 4096; i < bytes.size(); i += 7)
        bytes[i] = static_cast<char>(0xA5);
    ktest::WriteFile(db_, bytes);
    EXPECT_EQ(Registry::open(db_, &error), nullptr);
    EXPECT_EQ(error, kErrorBadDb);
}

// The registry holds WEP keys: only its owner may read it.
TEST_F(RegistryTest, FilesAreReadableByTheOwnerOnly)
{
    auto mode = [](const std::string &file) {
        struct stat st {};
        return ::stat(file.c_str(), &st) == 0 ? st.st_mode & 07777 : 0u;
    };
    EXPECT_EQ(mode(dir_.File("config/kestrow")), 0700u);
    EXPECT_EQ(mode(db_), 0600u);
    reg_.reset();
    ASSERT_EQ(::chmod(db_.c_str(), 0644), 0);
    reg_ = open_db(db_);
    ASSERT_EQ(reg_->set_string(kApp + "\\Profile 0", "WEPKey1", "0123456789"), 0u);
    for (const char *suffix : {"", "-wal", "-shm"})
        EXPECT_EQ(mode(db_ + suffix), 0600u) << suffix;
}

TEST_F(RegistryTest, DefaultPathFollowsTheEnvironment)
{
    ::setenv("KESTROW_REGISTRY", "/some/where.sqlite3", 1);
    EXPECT_EQ(Registry::default_path(), "/some/where.sqlite3");
    ::unsetenv("KESTROW_REGISTRY");
    ::setenv("XDG_CONFIG_HOME", dir_.Path().c_str(), 1);
    EXPECT_EQ(Registry::default_path(), dir_.File("kestrow/registry.sqlite3"));
    ::unsetenv("XDG_CONFIG_HOME");
}

TEST_F(RegistryTest, SaveAndRestoreRoundTripAKeyTree)
{
    fill_profiles(kApp);
    const std::string before = ktest::DumpRegistryTree(kApp);
    const std::string file = dir_.File("all.reg");
    ASSERT_EQ(reg_->save_key(kApp, file), 0u);
    EXPECT_EQ(reg_->save_key(kApp, file), kErrorAlreadyExists);
    EXPECT_EQ(reg_->save_key(kApp + "\\Nope", dir_.File("nope.reg")), kErrorFileNotFound);

    // Restoring replaces what the key held.
    ASSERT_EQ(reg_->set_dword(kApp + "\\Stale", "Old", 1), 0u);
    ASSERT_EQ(reg_->set_dword(kApp, "Old", 1), 0u);
    ASSERT_EQ(reg_->restore_key(kApp, file), 0u);
    EXPECT_EQ(ktest::DumpRegistryTree(kApp), before);

    // Bytes that are not UTF-8 are kept as Latin-1 characters.
    ASSERT_EQ(reg_->set_string("Latin", "Name\xE9", "caf\xE9"), 0u);
    ASSERT_EQ(reg_->save_key("Latin", dir_.File("latin.reg")), 0u);
    ASSERT_EQ(reg_->restore_key("Latin2", dir_.File("latin.reg")), 0u);
    std::string s;
    EXPECT_EQ(reg_->query_string("Latin2", "Name\xC3\xA9", &s), 0u);
    EXPECT_EQ(s, "caf\xC3\xA9");
}

// hivexsh decodes every value as another program would read it (DWORDs
// little-endian, text as UTF-16).
TEST_F(RegistryTest, SavedHiveIsReadByHivexsh)
{
    const auto run = [](const std::string &input, const std::string &file = "--help") {
        return ktest::Run({"hivexsh", file}, std::chrono::seconds(60), {}, input);
    };
    if (run("").exitCode == -1)
        GTEST_SKIP() << "hivexsh (libhivex-bin) is not installed";
    fill_profiles(kApp);
    const std::string file = dir_.File("profiles.reg");
    ASSERT_EQ(reg_->save_key(kApp, file), 0u);
    const auto r = run("lsval\nls\ncd Profile 0\nlsval\ncd \\Profile 1\\Deeper\nlsval\n", file);
    EXPECT_EQ(r.exitCode, 0) << r.err;
    EXPECT_EQ(r.out, "\"ConnectedStation\"=\"\"\n\"NumOfProfiles\"=dword:00000002\nProfile 0\nProfile 1\n"
                     "\"Channel\"=dword:ffffffff\n\"NetName\"=\"home-net\"\n"
                     "\"ProfName\"=\"Café Ünïcode 日本語 🚀\"\n\"Ключ\"=\"значение\"\n");
}

// Hive files that must be refused; the key keeps what it had.
TEST_F(RegistryTest, DamagedHivesAreRefusedWithNothingChanged)
{
    fill_profiles(kApp);
    const std::string good = dir_.File("good.reg");
    ASSERT_EQ(reg_->save_key(kApp, good), 0u);
    const std::string hive = ktest::ReadFile(good);
    ASSERT_GT(hive.size(), 8192u);
    ASSERT_EQ(reg_->set_string(kApp + "\\Import\\Keep", "Me", "yes"), 0u);
    const std::string before = ktest::DumpRegistryTree("Software");

    struct Case {
        const char *what;
        std::string bytes;
        std::uint32_t expected;
    };
    std::vector<Case> cases;
    cases.push_back({"empty file", "", kErrorNotRegistryFile});
    cases.push_back({"text", "Windows Registry Editor Version 5.00\r\n", kErrorNotRegistryFile});
    cases.push_back({"truncated", hive.substr(0, 6000), kErrorRegistryCorrupt});
    std::string sum = hive;
    sum[0x30] ^= 0x01;  // inside the checksummed header
    cases.push_back({"bad checksum", sum, kErrorRegistryCorrupt});
    std::string nk = hive;
    const std::size_t name = nk.find("Profile 1");
    ASSERT_NE(name, std::string::npos);
    nk[name - 0x50 + 4] = 'x';  // the "nk" id of that key's cell
    cases.push_back({"damaged key cell", nk, kErrorRegistryCorrupt});
    // Value types this registry cannot keep: REG_BINARY, and a number past
    // every known one (a damaged value cell), which once reached an
    // enumeration it does not fit.
    const std::size_t channel = hive.find("Channel");
    ASSERT_NE(channel, std::string::npos);
    ASSERT_EQ(hive.compare(channel - 20, 2, "vk"), 0);
    for (const char *type : {"\x03\x00\x00\x00", "\x04\x00\x31\x00"}) {
        std::string typed = hive;
        typed.replace(channel - 20 + 12, 4, std::string(type, 4));
        cases.push_back({"value type", typed, kErrorInvalidData});
    }

    for (const Case &c : cases) {
        EXPECT_EQ(reg_->restore_key(kApp + "\\Import", dir_.Write("bad.reg", c.bytes)), c.expected) << c.what;
        EXPECT_EQ(ktest::DumpRegistryTree("Software"), before) << c.what;
    }
    EXPECT_EQ(reg_->restore_key(kApp + "\\Import", dir_.File("missing.reg")), kErrorFileNotFound);
}

TEST_F(RegistryTest, TwoProcessesWriteAtOnce)
{
    constexpr int kCount = 100;
    ktest::ChildProcess a, b;
    std::string error, line;
    for (auto [child, key] : {std::pair{&a, "A"}, std::pair{&b, "B"}}) {
        ASSERT_TRUE(child->Start({PLATFORM_TEST_HELPER, "registry", db_, key, std::to_string(kCount)}, &error,
                                 {}, false, true))
            << error;
        ASSERT_TRUE(child->ReadLine(&line, std::chrono::seconds(60)) && line == "ready") << line;
    }
    a.Send("go\n");
    b.Send("go\n");
    for (ktest::ChildProcess *child : {&a, &b}) {
        EXPECT_TRUE(child->ReadLine(&line, std::chrono::seconds(120)) && line == "done") << line;
        EXPECT_EQ(child->Wait(std::chrono::seconds(60)), 0);
    }

    std::uint32_t n = 0;
    EXPECT_EQ(reg_->query_dword("Shared", "Counter", &n), 0u);
    EXPECT_EQ(n, 2u * kCount);  // no increment lost
}

} // namespace
