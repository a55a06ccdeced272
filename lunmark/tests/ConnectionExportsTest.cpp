// The connection and request exports over the scripted fake.
#include "LunmarkFixture.h"

#include <atomic>
#include <chrono>
#include <filesystem>
#include <fstream>
#include <future>
#include <thread>

#include <csignal>
#include <sys/wait.h>
#include <unistd.h>

using fake_w32n::Adapter;
using fake_w32n::CallKind;
using fake_w32n::Outcome;
namespace wire = lunmark_wire;

namespace {

class ConnectionExports : public LunmarkFixture {};

// The names of the adapters each logged request went to.
std::vector<std::string> request_targets() {
    std::vector<std::string> out;
    for (const auto &c : fake_w32n::calls(CallKind::Request))
        out.push_back(c.device);
    return out;
}

// A driver that turns every bit of the buffer over.
void invert_all(const std::string &, std::uint32_t, std::uint8_t *buf, std::uint32_t len) {
    for (std::uint32_t i = 0; i < len; ++i)
        buf[i] = static_cast<std::uint8_t>(~buf[i]);
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

// Waits for child `pid` at most 30 s (then kills it); true when it exited 0.
bool child_succeeds(pid_t pid) {
    const auto deadline = std::chrono::steady_clock::now() + std::chrono::seconds(30);
    int status = 0;
    while (::waitpid(pid, &status, WNOHANG) == 0) {
        if (std::chrono::steady_clock::now() > deadline) {
            ::kill(pid, SIGKILL);
            ::waitpid(pid, &status, 0);
            return false;
        }
        std::this_thread::sleep_for(std::chrono::milliseconds(5));
    }
    return WIFEXITED(status) && WEXITSTATUS(status) == 0;
}

} // namespace

TEST_F(ConnectionExports, SearchOpensTheFirstAdapterThatAnswersTheProbe) {
    for (const char *text : {"SEARCH", ""}) {
        SetUp();
        fake_w32n::set_adapters({{"mute", "", true, false}, {"good", "", true, true}});
        ASSERT_EQ(ecom_connect(text), LUNMARK_OK) << text;
        EXPECT_EQ(device_name(), "good");
        EXPECT_EQ(fake_w32n::open_handles(), 1);
        // The silent one's refusal of the probe is final: no retry.
        EXPECT_EQ(request_targets(), (std::vector<std::string>{"mute", "good"}));
        for (const auto &c : fake_w32n::calls(CallKind::Request))
            EXPECT_EQ(logged_code(c), LUNMARK_CMD_PROBE);

        fake_w32n::clear_calls();
        auto r = record(0x30);
        EXPECT_EQ(ecom_exec_oid(r.data()), LUNMARK_OK);
        EXPECT_EQ(request_targets(), std::vector<std::string>{"good"});
    }
}

TEST_F(ConnectionExports, NamedOpenSendsNoProbeAndFailureEmptiesTheName) {
    fake_w32n::set_adapters({{"a", "", true, false}, {"locked", "", false, true}});
    ASSERT_EQ(ecom_connect("a"), LUNMARK_OK);
    EXPECT_EQ(device_name(), "a");
    EXPECT_TRUE(fake_w32n::calls(CallKind::Request).empty());

    EXPECT_EQ(ecom_connect("locked"), LUNMARK_ERR_CONNECT);
    EXPECT_EQ(ecom_connect("absent"), LUNMARK_ERR_CONNECT);
    EXPECT_EQ(device_name(), "");
    EXPECT_TRUE(fake_w32n::calls(CallKind::Request).empty());
    const auto opens = fake_w32n::calls(CallKind::Open);
    ASSERT_EQ(opens.size(), 3u);
    EXPECT_EQ(opens[1].device, "\\Device\\locked");
    // The reopen closed the handle of "a" first instead of leaking it.
    EXPECT_EQ(fake_w32n::open_handles(), 0);
}

TEST_F(ConnectionExports, ShortOrEmptyAnswerFailsAndClosesTheAdapter) {
    fake_w32n::set_adapters({{"a", "", true, true}});
    for (std::uint32_t written : {0u, 15391u}) {
        ASSERT_EQ(ecom_connect("a"), LUNMARK_OK);
        auto r = record(0x30);
        const auto before = r;
        fake_w32n::script({Outcome{0, written}});
        EXPECT_EQ(ecom_exec_oid(r.data()), LUNMARK_ERR_REQUEST) << written;
        EXPECT_EQ(r, before);
        EXPECT_EQ(handle(), W32N_INVALID_HANDLE);
        EXPECT_EQ(fake_w32n::open_handles(), 0);
        EXPECT_EQ(device_name(), "a");
    }
}

TEST_F(ConnectionExports, FailedRequestIsRetriedOnceAfterAReopen) {
    fake_w32n::set_adapters({{"a", "", true, true}});
    ASSERT_EQ(ecom_connect("a"), LUNMARK_OK);
    auto r = record(0x30);
    const auto sent = r;
    fake_w32n::clear_calls();
    fake_w32n::script({Outcome{W32N_ERR_IO, {}}});
    EXPECT_EQ(ecom_exec_oid(r.data()), LUNMARK_OK);
    EXPECT_EQ(wire::get_u32(r.data() + 4), 2u);
    // The failed attempt may have left anything in the answer's buffer;
    // the retry still sends the whole frame around the record.
    expect_frame_around(fake_w32n::calls(CallKind::Request).back().bytes, sent);

    fake_w32n::clear_calls();
    fake_w32n::script({Outcome{W32N_ERR_IO, {}}, Outcome{W32N_ERR_IO, {}}});
    EXPECT_EQ(ecom_exec_oid(r.data()), LUNMARK_ERR_REQUEST);
    EXPECT_EQ(fake_w32n::calls(CallKind::Request).size(), 2u);
    EXPECT_EQ(fake_w32n::open_handles(), 0);

    // A request that may have reached the driver is never sent again.
    for (int result : {W32N_ERR_TIMEOUT, W32N_ERR_LOST, W32N_ERR_PROTOCOL, W32N_ERR_DRIVER}) {
        ASSERT_EQ(ecom_connect("a"), LUNMARK_OK);
        fake_w32n::clear_calls();
        fake_w32n::script({Outcome{result, {}}});
        EXPECT_EQ(ecom_exec_oid(r.data()), LUNMARK_ERR_REQUEST) << result;
        EXPECT_EQ(fake_w32n::calls(CallKind::Request).size(), 1u) << result;
        EXPECT_EQ(fake_w32n::open_handles(), 0) << result;
    }
}

TEST_F(ConnectionExports, RequestAfterDisconnectReopensByTheKeptName) {
    fake_w32n::set_adapters({{"x", "", true, true}, {"a", "", true, true}});
    ASSERT_EQ(ecom_connect("a"), LUNMARK_OK);
    EXPECT_EQ(ecom_disconnect(), LUNMARK_OK);
    EXPECT_EQ(fake_w32n::open_handles(), 0);
    EXPECT_EQ(device_name(), "a");

    fake_w32n::clear_calls();
    auto r = record(0x30);
    ASSERT_EQ(ecom_exec_oid(r.data()), LUNMARK_OK);
    EXPECT_EQ(wire::get_u32(r.data() + 4), 2u);
    const auto requests = fake_w32n::calls(CallKind::Request);
    ASSERT_EQ(requests.size(), 2u);
    EXPECT_EQ(requests[0].handle, W32N_INVALID_HANDLE);
    EXPECT_EQ(requests[1].device, "a");
    const auto opens = fake_w32n::calls(CallKind::Open);
    ASSERT_EQ(opens.size(), 1u);
    EXPECT_EQ(opens[0].device, "\\Device\\a");
}

TEST_F(ConnectionExports, FailedReopenEmptiesTheNameAndTheNextRequestSearches) {
    fake_w32n::set_adapters({{"a", "", true, true}, {"b", "", true, true}});
    ASSERT_EQ(ecom_connect("a"), LUNMARK_OK);
    ecom_disconnect();
    fake_w32n::set_adapters({{"a", "", false, true}, {"b", "", true, true}});
    auto r = record(0x30);
    EXPECT_EQ(ecom_exec_oid(r.data()), LUNMARK_ERR_REQUEST);
    EXPECT_EQ(device_name(), "");

    // The reopen searches; its probe travels in its own frame, so the retry
    // carries the caller's command and the caller gets its own answer.
    fake_w32n::clear_calls();
    fake_w32n::set_responder([](const std::string &, std::uint32_t, std::uint8_t *buf,
                                std::uint32_t) {
        std::uint8_t *rec = buf + wire::kFrameRecordOffset;
        wire::put_u32(rec + 4, 2);
        wire::put_u32(rec + 8, wire::get_u32(rec) + 1000); // echo of the code
    });
    r = record(0x31);
    ASSERT_EQ(ecom_exec_oid(r.data()), LUNMARK_OK);
    EXPECT_EQ(device_name(), "b");
    EXPECT_EQ(wire::get_u32(r.data()), 0x31u);
    EXPECT_EQ(wire::get_u32(r.data() + 8), 0x31u + 1000);
    const auto requests = fake_w32n::calls(CallKind::Request);
    ASSERT_EQ(requests.size(), 3u);
    EXPECT_EQ(requests[1].device, "b");
    EXPECT_EQ(logged_code(requests[1]), LUNMARK_CMD_PROBE);
    EXPECT_EQ(logged_code(requests[2]), 0x31u);
}

TEST_F(ConnectionExports, SearchWithoutAnAnsweringAdapterFails) {
    fake_w32n::set_adapters({{"closed", "", false, true}, {"mute", "", true, false}});
    EXPECT_EQ(ecom_connect("SEARCH"), LUNMARK_ERR_CONNECT);
    EXPECT_EQ(device_name(), "");
    EXPECT_EQ(handle(), W32N_INVALID_HANDLE);
    EXPECT_EQ(fake_w32n::open_handles(), 0);
}

TEST_F(ConnectionExports, OnlyTheExactUpperCaseWordSearches) {
    fake_w32n::set_adapters({{"first", "", true, true}, {"search", "", true, false}});
    ASSERT_EQ(ecom_connect("search"), LUNMARK_OK);
    EXPECT_EQ(device_name(), "search");
    EXPECT_TRUE(fake_w32n::calls(CallKind::Request).empty());
    EXPECT_EQ(ecom_connect(nullptr), LUNMARK_OK); // a null text searches too
    EXPECT_EQ(device_name(), "first");
}

TEST_F(ConnectionExports, GetConnectionListsTheEnumeratedNames) {
    EXPECT_EQ(ecom_get_connection(0), nullptr);
    EXPECT_EQ(ecom_get_connection(1), nullptr);
    fake_w32n::set_adapters({{"wlan0", "first", true, true}, {"wlan1", "second", true, true}});
    ASSERT_NE(ecom_get_connection(0), nullptr);
    EXPECT_STREQ(ecom_get_connection(0), "wlan0");
    EXPECT_STREQ(ecom_get_connection(1), "wlan1");
    EXPECT_EQ(ecom_get_connection(2), nullptr);
    EXPECT_EQ(ecom_get_connection(UINT32_MAX), nullptr);
    EXPECT_TRUE(fake_w32n::calls(CallKind::Open).empty());
}

TEST_F(ConnectionExports, DisconnectWithNothingOpenIsHarmless) {
    EXPECT_EQ(ecom_disconnect(), LUNMARK_OK);
    const auto closes = fake_w32n::calls(CallKind::Close);
    ASSERT_EQ(closes.size(), 1u);
    EXPECT_EQ(closes[0].handle, W32N_INVALID_HANDLE);
    EXPECT_EQ(ecom_exec_oid(nullptr), LUNMARK_ERR_REQUEST);
}

TEST_F(ConnectionExports, RegistrationsStoreTheCallbacks) {
    auto on_connect = +[] {};
    auto on_disconnect = +[](std::uint32_t) {};
    EXPECT_EQ(ecom_register_notify_connect_cb(on_connect), LUNMARK_OK);
    EXPECT_EQ(ecom_register_notify_disconnect_cb(on_disconnect), LUNMARK_OK);
    {
        lunmark::LibraryLock lock;
        EXPECT_EQ(lunmark::context().connect_cb, on_connect);
        EXPECT_EQ(lunmark::context().disconnect_cb, on_disconnect);
    }
    ecom_register_notify_connect_cb(nullptr);
    ecom_register_notify_disconnect_cb(nullptr);
    lunmark::LibraryLock lock;
    EXPECT_EQ(lunmark::context().connect_cb, nullptr);
}

TEST_F(ConnectionExports, CommandFrameBytes) {
    fake_w32n::set_adapters({{"a", "", true, true}});
    ASSERT_EQ(ecom_connect("a"), LUNMARK_OK);
    auto r = record(0x12345678);
    for (std::size_t i = 4; i < r.size(); ++i)
        r[i] = static_cast<std::uint8_t>(i * 7);
    const auto sent = r;
    fake_w32n::set_responder([](const std::string &, std::uint32_t, std::uint8_t *buf,
                                std::uint32_t) {
        for (std::size_t i = 0; i < LUNMARK_RECORD_SIZE; ++i)
            buf[wire::kFrameRecordOffset + i] = static_cast<std::uint8_t>(~buf[wire::kFrameRecordOffset + i]);
    });
    ASSERT_EQ(ecom_exec_ndis_oid(r.data()), LUNMARK_OK);

    const auto requests = fake_w32n::calls(CallKind::Request);
    ASSERT_EQ(requests.size(), 1u);
    EXPECT_EQ(requests[0].oid, 0xFFA0C90Au);
    expect_frame_around(requests[0].bytes, sent);
    // The answer replaces the record.
    for (std::size_t i = 0; i < r.size(); ++i)
        ASSERT_EQ(r[i], static_cast<std::uint8_t>(~sent[i])) << i;
}

TEST_F(ConnectionExports, AnAnswerThatChangedTheFrameFailsAndTheNextFrameIsWhole) {
    fake_w32n::set_adapters({{"a", "", true, true}});
    // A whole answer whose fixed words changed, and a short garbled one.
    for (std::uint32_t written : {15392u, 100u}) {
        ASSERT_EQ(ecom_connect("a"), LUNMARK_OK);
        auto r = record(0x30);
        const auto before = r;
        fake_w32n::set_responder(invert_all);
        fake_w32n::script({Outcome{0, written}});
        EXPECT_EQ(ecom_exec_oid(r.data()), LUNMARK_ERR_REQUEST) << written;
        EXPECT_EQ(r, before) << written;
        EXPECT_EQ(handle(), W32N_INVALID_HANDLE) << written;

        fake_w32n::set_responder(nullptr);
        fake_w32n::clear_calls();
        ASSERT_EQ(ecom_exec_oid(r.data()), LUNMARK_OK) << written;
        expect_frame_around(fake_w32n::calls(CallKind::Request).back().bytes, before);
    }
    // Only the trailer word changed.
    auto r = record(0x30);
    fake_w32n::set_responder([](const std::string &, std::uint32_t, std::uint8_t *buf, std::uint32_t) {
        buf[wire::kFrameTrailerOffset] ^= 1;
    });
    EXPECT_EQ(ecom_exec_oid(r.data()), LUNMARK_ERR_REQUEST);
}

TEST_F(ConnectionExports, TheLockSerialisesThreadsAndIsReentrant) {
    fake_w32n::set_adapters({{"a", "", true, true}});
    ASSERT_EQ(ecom_connect("a"), LUNMARK_OK);
    {
        // A thread that holds the lock may send again.
        lunmark::LibraryLock outer;
        auto r = record(1);
        EXPECT_EQ(ecom_exec_oid(r.data()), LUNMARK_OK);
        EXPECT_EQ(lunmark::LibraryLock::depth(), 1u);
    }
    EXPECT_EQ(lunmark::LibraryLock::depth(), 0u);

    std::atomic<int> failures{0};
    std::vector<std::thread> threads;
    for (int t = 0; t < 4; ++t)
        threads.emplace_back([&failures, t] {
            for (int i = 0; i < 100; ++i) {
                auto r = record(static_cast<std::uint32_t>(t));
                std::uint32_t value = 0;
                if (ecom_exec_oid(r.data()) != LUNMARK_OK ||
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
}

TEST_F(ConnectionExports, AThreadThatReleasesAndRetakesQueuesBehindAWaitingThread) {
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
        EXPECT_EQ(lunmark::LibraryLock::waiting(), 1u);
    }
    {
        lunmark::LibraryLock again;
        EXPECT_TRUE(other_had_it);
    }
    other.join();
}

TEST_F(ConnectionExports, AChildForkedWhileTheLockIsHeldCanSend) {
    fake_w32n::set_adapters({{"a", "", true, true}});
    ASSERT_EQ(ecom_connect("a"), LUNMARK_OK);
    const auto child = [] {
        const pid_t pid = ::fork();
        if (pid == 0) {
            auto r = record(1);
            ::_exit(ecom_exec_oid(r.data()) == LUNMARK_OK && ecom_disconnect() == LUNMARK_OK ? 0 : 1);
        }
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
    fake_w32n::set_adapters({{"a", "", true, true}});
    ASSERT_EQ(ecom_connect("a"), LUNMARK_OK);
    char pattern[] = "/tmp/lunmark-lock-test-XXXXXX";
    ASSERT_NE(::mkdtemp(pattern), nullptr);
    const std::string dir = pattern;
    const std::string lock_file = dir + "/OIFC_MAIN.lock";
    const std::string garbage = dir + "/garbage";
    ::setenv("LUNMARK_ADAPTER_DIR", dir.c_str(), 1);
    std::ofstream(garbage) << "not a lock file";
    const auto expect_refused = [](const char *what) {
        fake_w32n::clear_calls();
        EXPECT_EQ(ecom_connect("a"), LUNMARK_ERR_CONNECT) << what;
        auto r = record(1);
        EXPECT_EQ(ecom_exec_oid(r.data()), LUNMARK_ERR_REQUEST) << what;
        EXPECT_TRUE(fake_w32n::calls(CallKind::Request).empty()) << what;
        EXPECT_EQ(ecom_register_notify_connect_cb(nullptr), LUNMARK_OK) << what;
    };
    ASSERT_EQ(::symlink(garbage.c_str(), lock_file.c_str()), 0);
    expect_refused("a symbolic link");
    ASSERT_EQ(::unlink(lock_file.c_str()), 0);
    ASSERT_EQ(::link(garbage.c_str(), lock_file.c_str()), 0);
    expect_refused("a file with a second name");
    ASSERT_EQ(::unlink(garbage.c_str()), 0);
    expect_refused("a file of another size");
    ::setenv("LUNMARK_ADAPTER_DIR", (lock_file + "/adapters").c_str(), 1);
    expect_refused("no directory");
    // A usable place again: the lock file is made and requests go through.
    ASSERT_EQ(::unlink(lock_file.c_str()), 0);
    ::setenv("LUNMARK_ADAPTER_DIR", dir.c_str(), 1);
    auto r = record(1);
    EXPECT_EQ(ecom_exec_oid(r.data()), LUNMARK_OK);
    // This library's lock file with another magic word, then with bytes after it.
    const std::string other = dir + "/other";
    const std::string copied = other + "/OIFC_MAIN.lock";
    ASSERT_EQ(::mkdir(other.c_str(), 0700), 0);
    std::filesystem::copy_file(lock_file, copied);
    std::fstream(copied, std::ios::in | std::ios::out | std::ios::binary).put('X');
    ::setenv("LUNMARK_ADAPTER_DIR", other.c_str(), 1);
    expect_refused("a foreign magic word");
    std::filesystem::copy_file(lock_file, copied, std::filesystem::copy_options::overwrite_existing);
    std::ofstream(copied, std::ios::app) << "x";
    expect_refused("a longer file");
    EXPECT_EQ(ecom_disconnect(), LUNMARK_OK);
    ::unsetenv("LUNMARK_ADAPTER_DIR");
    std::filesystem::remove_all(dir);
}
