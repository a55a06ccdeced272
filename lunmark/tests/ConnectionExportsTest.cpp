// The connection and request exports over the scripted fake.
#include "LunmarkFixture.h"
#include "TempDir.h"

#include <atomic>
#include <filesystem>
#include <fstream>
#include <functional>
#include <future>
#include <thread>
#include <tuple>

using fake_w32n::Outcome;
namespace wire = lunmark_wire;

namespace {

class ConnectionExports : public LunmarkFixture {};

// The names of the adapters each logged request went to.
std::vector<std::string> request_targets() {
    std::vector<std::string> out;
    for (const auto &c : fake_w32n::requests())
        out.push_back(c.device);
    return out;
}

// A sent command frame: the fixed words around `record`.
void expect_frame_around(const std::vector<std::uint8_t> &f, const std::vector<std::uint8_t> &record) {
    ASSERT_EQ(f.size(), 15392u);
    const std::vector<std::uint8_t> head(f.begin(), f.begin() + 12);
    EXPECT_EQ(head, (std::vector<std::uint8_t>{0x59, 0x41, 0x36, 0x49, 0x10, 0x3C, 0x00, 0x00,
                                               0xEE, 0x55, 0xAA, 0x55}));
    EXPECT_TRUE(std::equal(record.begin(), record.end(), f.begin() + 12));
    const std::vector<std::uint8_t> tail(f.end() - 4, f.end());
    EXPECT_EQ(tail, (std::vector<std::uint8_t>{0x11, 0xAA, 0x55, 0xAA}));
}

} // namespace

TEST_F(ConnectionExports, SearchOpensTheFirstAdapterThatAnswersTheProbe) {
    for (const char *text : {"SEARCH", "", static_cast<const char *>(nullptr)}) {
        SetUp();
        fake_w32n::set_adapters({{"mute", true, false}, {"good"}});
        ASSERT_EQ(ecom_connect(text), LUNMARK_OK);
        EXPECT_EQ(device_name(), "good");
        EXPECT_EQ(fake_w32n::open_handles(), 1);
        // The silent one's refusal of the probe is final: no retry.
        EXPECT_EQ(request_targets(), (std::vector<std::string>{"mute", "good"}));
        for (const auto &c : fake_w32n::requests())
            EXPECT_EQ(logged_code(c), LUNMARK_CMD_PROBE);
    }
    // Only the exact upper-case word searches.
    fake_w32n::clear_calls();
    ASSERT_EQ(ecom_connect("mute"), LUNMARK_OK);
    EXPECT_EQ(device_name(), "mute");
    fake_w32n::set_adapters({{"closed", false, true}, {"search", true, false}});
    ASSERT_EQ(ecom_connect("search"), LUNMARK_OK);
    EXPECT_TRUE(fake_w32n::requests().empty());
    // Nothing answers the search, or the named one does not open or is not
    // there: the open one is closed, no name kept, nothing left open.
    for (const char *text : {"SEARCH", "closed", "absent"}) {
        ASSERT_EQ(ecom_connect("search"), LUNMARK_OK);
        EXPECT_EQ(ecom_connect(text), LUNMARK_ERR_CONNECT) << text;
        EXPECT_EQ(device_name(), "") << text;
        EXPECT_EQ(fake_w32n::open_handles(), 0) << text;
    }
    EXPECT_EQ(ecom_disconnect(), LUNMARK_OK); // with nothing open
    EXPECT_EQ(ecom_exec_oid(nullptr), LUNMARK_ERR_REQUEST);
}

TEST_F(ConnectionExports, GetConnectionListsTheEnumeratedNames) {
    EXPECT_EQ(ecom_get_connection(0), nullptr);
    fake_w32n::set_adapters({{"wlan0"}, {"wlan1"}});
    EXPECT_STREQ(ecom_get_connection(0), "wlan0");
    EXPECT_STREQ(ecom_get_connection(1), "wlan1");
    EXPECT_EQ(ecom_get_connection(2), nullptr);
    EXPECT_EQ(fake_w32n::opens(), 0);
}

TEST_F(ConnectionExports, TheRecordGoesOutFramedAndOnlyAnIntactAnswerIsTaken) {
    connect_a();
    auto r = record(0x12345678);
    for (std::size_t i = 4; i < r.size(); ++i)
        r[i] = static_cast<std::uint8_t>(i * 7);
    const auto sent = r;
    const auto invert = [](std::size_t from, std::size_t to) {
        return [from, to](const std::string &, std::uint32_t, std::uint8_t *buf, std::uint32_t len) {
            for (std::size_t i = from; i < std::min<std::size_t>(to, len); ++i)
                buf[i] = static_cast<std::uint8_t>(~buf[i]);
        };
    };
    fake_w32n::set_responder(invert(wire::kFrameRecordOffset, wire::kFrameTrailerOffset));
    // Wherever the record lies in its page (some travel copied into the
    // frame), it goes out framed and the answer replaces it.
    std::vector<std::uint8_t> area(r.size() + 2 * 4096);
    std::uint8_t *const page = area.data() + (4096 - reinterpret_cast<std::uintptr_t>(area.data()) % 4096);
    for (const std::size_t offset : {0, 16, 4064}) {
        std::uint8_t *const at = page + offset;
        std::copy(sent.begin(), sent.end(), at);
        ASSERT_EQ(ecom_exec_ndis_oid(at), LUNMARK_OK);
        const auto requests = fake_w32n::requests();
        EXPECT_EQ(requests.back().oid, 0xFFA0C90Au);
        expect_frame_around(requests.back().bytes, sent);
        for (std::size_t i = 0; i < r.size(); ++i)
            ASSERT_EQ(at[i], static_cast<std::uint8_t>(~sent[i])) << offset << " " << i;
    }

    // A short answer, or one that changed the words around the record,
    // fails, leaves the record and closes the adapter; the next request
    // goes out in a whole frame again.
    const fake_w32n::Responder trailer_only = [](const std::string &, std::uint32_t, std::uint8_t *buf,
                                                 std::uint32_t) { buf[wire::kFrameTrailerOffset] ^= 1; };
    // Each with the driver's behaviour and the bytes it says it wrote.
    const std::tuple<const char *, fake_w32n::Responder, std::uint32_t> cases[] = {
        {"empty", nullptr, 0}, {"one byte short", nullptr, 15391},
        {"fixed words changed", invert(0, 15392), 15392}, {"trailer changed", trailer_only, 15392}};
    for (const auto &[what, responder, written] : cases) {
        ASSERT_EQ(ecom_connect("a"), LUNMARK_OK);
        const auto before = r;
        fake_w32n::set_responder(responder);
        fake_w32n::script({Outcome{0, written}});
        EXPECT_EQ(ecom_exec_oid(r.data()), LUNMARK_ERR_REQUEST) << what;
        EXPECT_EQ(r, before) << what;
        EXPECT_EQ(fake_w32n::open_handles(), 0) << what;
        EXPECT_EQ(device_name(), "a") << what;

        fake_w32n::set_responder(nullptr);
        ASSERT_EQ(ecom_exec_oid(r.data()), LUNMARK_OK) << what;
        expect_frame_around(fake_w32n::requests().back().bytes, before);
    }
}

TEST_F(ConnectionExports, OnlyARequestThatNeverReachedTheDriverIsRetried) {
    connect_a();
    auto r = record(0x30);
    const auto sent = r;
    fake_w32n::script({Outcome{W32N_ERR_IO, {}}});
    EXPECT_EQ(ecom_exec_oid(r.data()), LUNMARK_OK);
    EXPECT_EQ(wire::get_u32(r.data() + 4), 2u);
    // The failed attempt may have left anything in the answer's buffer;
    // the retry still sends the whole frame around the record.
    expect_frame_around(fake_w32n::requests().back().bytes, sent);

    // Twice lost before the driver: given up.  A request that may have
    // reached the driver is never sent again.
    for (const auto &[script, sends] :
         {std::pair{std::vector<Outcome>{{W32N_ERR_IO, {}}, {W32N_ERR_IO, {}}}, 2u},
          {{{W32N_ERR_TIMEOUT, {}}}, 1u}, {{{W32N_ERR_LOST, {}}}, 1u},
          {{{W32N_ERR_PROTOCOL, {}}}, 1u}, {{{W32N_ERR_DRIVER, {}}}, 1u}}) {
        ASSERT_EQ(ecom_connect("a"), LUNMARK_OK);
        fake_w32n::clear_calls();
        fake_w32n::script(script);
        EXPECT_EQ(ecom_exec_oid(r.data()), LUNMARK_ERR_REQUEST) << script.back().result;
        EXPECT_EQ(fake_w32n::requests().size(), sends) << script.back().result;
        EXPECT_EQ(fake_w32n::open_handles(), 0);
    }
}

TEST_F(ConnectionExports, RequestAfterDisconnectReopensByNameOrSearches) {
    fake_w32n::set_adapters({{"a"}, {"b"}});
    ASSERT_EQ(ecom_connect("a"), LUNMARK_OK);
    EXPECT_EQ(ecom_disconnect(), LUNMARK_OK);
    EXPECT_EQ(fake_w32n::open_handles(), 0);
    EXPECT_EQ(device_name(), "a");
    fake_w32n::clear_calls();
    auto r = record(0x30);
    ASSERT_EQ(ecom_exec_oid(r.data()), LUNMARK_OK);
    EXPECT_EQ(request_targets(), (std::vector<std::string>{"", "a"}));

    // The kept name no longer opens: the request fails and the name goes.
    ecom_disconnect();
    fake_w32n::set_adapters({{"a", false, true}, {"b"}});
    EXPECT_EQ(ecom_exec_oid(r.data()), LUNMARK_ERR_REQUEST);
    EXPECT_EQ(device_name(), "");

    // The next reopen searches; its probe travels in its own frame, so the
    // retry carries the caller's command and the caller gets its own answer.
    fake_w32n::clear_calls();
    fake_w32n::set_responder([](const std::string &, std::uint32_t, std::uint8_t *buf, std::uint32_t) {
        std::uint8_t *rec = buf + wire::kFrameRecordOffset;
        wire::put_u32(rec + 4, 2);
        wire::put_u32(rec + 8, wire::get_u32(rec) + 1000); // echo of the code
    });
    r = record(0x31);
    ASSERT_EQ(ecom_exec_oid(r.data()), LUNMARK_OK);
    EXPECT_EQ(device_name(), "b");
    EXPECT_EQ(wire::get_u32(r.data() + 8), 0x31u + 1000);
    const auto requests = fake_w32n::requests();
    ASSERT_EQ(requests.size(), 3u);
    EXPECT_EQ(logged_code(requests[1]), LUNMARK_CMD_PROBE);
    EXPECT_EQ(logged_code(requests[2]), 0x31u);
}

TEST_F(ConnectionExports, TheLockSerialisesThreadsIsReentrantAndQueuesFairly) {
    connect_a();
    {
        // A thread that holds the lock may send again.
        lunmark::LibraryLock outer;
        EXPECT_EQ(exec(1), LUNMARK_OK);
    }
    EXPECT_EQ(lunmark::LibraryLock::depth(), 0u);

    std::atomic<int> failures{0};
    std::vector<std::thread> threads;
    for (int t = 0; t < 4; ++t)
        threads.emplace_back([&failures, t] {
            for (int i = 0; i < 100; ++i) {
                std::uint32_t value = 0;
                if (exec(static_cast<std::uint32_t>(t)) != LUNMARK_OK ||
                    ecom_modem_peek7(static_cast<std::uint32_t>(i), &value) != LUNMARK_OK)
                    ++failures;
                if (i % 25 == 0)
                    ecom_disconnect(); // the next request reopens
            }
        });
    for (auto &t : threads)
        t.join();
    EXPECT_EQ(failures.load(), 0);
    EXPECT_EQ(fake_w32n::max_concurrent_requests(), 1);

    // A thread that releases and retakes the lock queues behind one waiting.
    std::atomic<bool> other_had_it{false};
    std::thread other;
    {
        lunmark::LibraryLock held;
        other = std::thread([&] {
            lunmark::LibraryLock lock;
            other_had_it = true;
        });
        const auto deadline = std::chrono::steady_clock::now() + std::chrono::seconds(30);
        while (lunmark::LibraryLock::waiting() == 0 && std::chrono::steady_clock::now() < deadline)
            std::this_thread::yield();
    }
    {
        lunmark::LibraryLock again;
        EXPECT_TRUE(other_had_it);
    }
    other.join();
}

TEST_F(ConnectionExports, AChildForkedWhileTheLockIsHeldCanSend) {
    connect_a();
    const auto child = [] {
        const pid_t pid = fork_child();
        if (pid == 0)
            ::_exit(exec(1) == LUNMARK_OK && ecom_disconnect() == LUNMARK_OK ? 0 : 1);
        return pid;
    };
    // Held by another thread: that thread does not exist in the child.
    std::promise<void> held, release;
    std::thread holder([&] {
        lunmark::LibraryLock lock;
        held.set_value();
        release.get_future().wait();
    });
    held.get_future().wait();
    const pid_t first = child();
    release.set_value();
    holder.join();
    // Held by the forking thread itself.
    pid_t second = -1;
    {
        lunmark::LibraryLock lock;
        second = child();
    }
    EXPECT_TRUE(child_succeeds(first));
    EXPECT_TRUE(child_succeeds(second));
}

TEST_F(ConnectionExports, AnUnusableLockFileFailsTheRequestsButNotTheLocalExports) {
    connect_a();
    ktest::TempDir dir;
    const std::string lock_file = dir.File("OIFC_MAIN.lock");
    const std::string garbage = dir.Write("garbage", "not a lock file");
    const std::string other = dir.Subdir("other"), copied = other + "/OIFC_MAIN.lock";
    namespace fs = std::filesystem;
    // Each case spoils the lock file in its own way.
    const std::vector<std::pair<const char *, std::function<void()>>> cases = {
        {"a symbolic link", [&] { fs::create_symlink(garbage, lock_file); }},
        {"a file with a second name",
         [&] {
             fs::remove(lock_file);
             fs::create_hard_link(garbage, lock_file);
         }},
        {"a file of another size", [&] { fs::remove(garbage); }},
        {"no directory", [&] { ::setenv("LUNMARK_ADAPTER_DIR", (lock_file + "/x").c_str(), 1); }},
        // This library's own lock file with another magic word, then with
        // bytes after it.
        {"a foreign magic word",
         [&] {
             fs::remove(lock_file);
             ::setenv("LUNMARK_ADAPTER_DIR", dir.Path().c_str(), 1);
             ASSERT_EQ(exec(1), LUNMARK_OK); // makes a good one
             fs::copy_file(lock_file, copied);
             std::fstream(copied, std::ios::in | std::ios::out | std::ios::binary).put('X');
             ::setenv("LUNMARK_ADAPTER_DIR", other.c_str(), 1);
         }},
        {"a longer file",
         [&] {
             fs::copy_file(lock_file, copied, fs::copy_options::overwrite_existing);
             std::ofstream(copied, std::ios::app) << "x";
         }},
    };
    ::setenv("LUNMARK_ADAPTER_DIR", dir.Path().c_str(), 1);
    for (const auto &[what, spoil] : cases) {
        spoil();
        fake_w32n::clear_calls();
        EXPECT_EQ(ecom_connect("a"), LUNMARK_ERR_CONNECT) << what;
        EXPECT_EQ(exec(1), LUNMARK_ERR_REQUEST) << what;
        EXPECT_TRUE(fake_w32n::requests().empty()) << what;
        EXPECT_EQ(ecom_register_notify_connect_cb(nullptr), LUNMARK_OK) << what;
    }
    EXPECT_EQ(ecom_disconnect(), LUNMARK_OK);
    ::unsetenv("LUNMARK_ADAPTER_DIR");
}
