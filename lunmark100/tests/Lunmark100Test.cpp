// liblunmark100 against real sockets: enumeration, opening, and requests to
// drivers that answer, stay silent, misbehave or go away.
#include "TestDriver.h"

#include <lunmark100/lunmark100.h>
#include <lunmark_wire/command_frame.h>

#include <gtest/gtest.h>

#include <algorithm>
#include <array>
#include <atomic>
#include <chrono>
#include <cstdlib>
#include <cstring>
#include <memory>
#include <string>
#include <thread>
#include <vector>

namespace wire = lunmark_wire;
using ktest::TempDir;
using lunmark_test::TestDriver;

namespace {

class Lunmark100 : public ::testing::Test {
protected:
    // Each test starts with the driver "wlan0" and a handle open on it.
    void SetUp() override {
        ::setenv("LUNMARK_ADAPTER_DIR", dir.Path().c_str(), 1);
        ::unsetenv("LUNMARK_REQUEST_TIMEOUT_MS");
        d = std::make_unique<TestDriver>(dir.Path(), "wlan0");
        h = W32N_OpenAdapterA("\\Device\\wlan0");
        ASSERT_GE(h, 0);
    }
    void TearDown() override { W32N_CloseAdapter(h); }

    // A command frame around a record of `code` (this layer carries its
    // bytes and looks at none of them).
    static std::vector<std::uint8_t> frame(std::uint32_t code) {
        std::vector<std::uint8_t> f(wire::kFrameSize);
        wire::put_u32(f.data() + wire::kFrameRecordOffset, code);
        return f;
    }

    // What a request ended with: its result and the counts it handed back.
    struct Sent {
        int rc;
        std::uint32_t written, needed;
    };
    // Every request that reaches a connection completes its overlapped
    // record with the result and the count of bytes written.
    static Sent completed(const w32n_overlapped &ov, int rc, const auto &req) {
        EXPECT_EQ(ov.status, static_cast<std::uint32_t>(rc));
        EXPECT_EQ(ov.bytes_transferred, req.bytes_written);
        EXPECT_EQ(ov.event, 1u);
        return {rc, req.bytes_written, req.bytes_needed};
    }

    static Sent send(w32n_handle h, std::vector<std::uint8_t> &buffer) {
        w32n_ndis_request req{};
        req.oid = wire::kOidPrivateCommand;
        req.buffer = buffer.data();
        req.buffer_length = static_cast<std::uint32_t>(buffer.size());
        w32n_overlapped ov{};
        const int rc = W32N_MakeNdisRequest(h, &req, &ov, 1);
        return completed(ov, rc, req);
    }

    // The same request through W32N_MakeNdisRequestV: `buffer` goes out in
    // three segments (cut inside a frame's head and before its trailer)
    // and the answer comes back into two segments cut at an odd place or,
    // `whole`, into one segment with headroom before it.  Guard bytes
    // around them must stay untouched.  `got` is what the segments
    // received, put together.
    static Sent send_v(w32n_handle h, std::vector<std::uint8_t> &buffer,
                       std::vector<std::uint8_t> &got, bool whole = false) {
        constexpr std::size_t kGuard = 16;
        const auto n = static_cast<std::uint32_t>(buffer.size());
        const std::uint32_t cut = whole ? n : n / 3 | 1;
        const std::size_t room = whole ? W32N_RECEIVE_HEADROOM : kGuard;
        std::vector<std::uint8_t> into(n + 2 * kGuard + room, 0xA5);
        const w32n_segment out[] = {
            {buffer.data(), 5}, {buffer.data() + 5, n - 9}, {buffer.data() + n - 4, 4}};
        const w32n_segment in[] = {{into.data() + kGuard + (whole ? room : 0), cut},
                                   {into.data() + kGuard + room + cut, n - cut}};
        w32n_ndis_request_v req{};
        req.oid = wire::kOidPrivateCommand;
        req.send = out;
        req.send_count = 3;
        req.receive = in;
        req.receive_count = whole ? 1 : 2;
        req.receive_headroom = whole ? W32N_RECEIVE_HEADROOM : 0;
        w32n_overlapped ov{};
        const int rc = W32N_MakeNdisRequestV(h, &req, &ov);
        std::vector<std::size_t> guards{0, into.size() - kGuard};
        if (!whole)
            guards.push_back(kGuard + cut);
        for (const std::size_t at : guards)
            EXPECT_TRUE(std::all_of(into.begin() + at, into.begin() + at + kGuard,
                                    [](std::uint8_t b) { return b == 0xA5; }))
                << "a write outside the receive segments" << (whole ? " and headroom" : "");
        const auto *first = static_cast<const std::uint8_t *>(in[0].base);
        got.assign(first, first + cut);
        got.insert(got.end(), into.end() - kGuard - (n - cut), into.end() - kGuard);
        return completed(ov, rc, req);
    }

    static std::vector<std::uint8_t> reply_bytes(std::uint32_t magic, std::uint32_t status,
                                                 std::uint32_t written, std::size_t carried) {
        std::vector<std::uint8_t> r(wire::kReplyHeaderSize + carried);
        wire::put_reply_header(r.data(), 0, status, written, 0);
        wire::put_u32(r.data(), magic);
        return r;
    }

    TempDir dir;
    std::unique_ptr<TestDriver> d;
    w32n_handle h = W32N_INVALID_HANDLE;
};

} // namespace

TEST_F(Lunmark100, EnumeratesSocketsInByteOrderWithDescriptions) {
    w32n_adapter_record r{};
    for (const std::string &where : {dir.Subdir("empty"), dir.Path() + "/missing"}) {
        ::setenv("LUNMARK_ADAPTER_DIR", where.c_str(), 1);
        EXPECT_NE(W32N_GetFirstAdapterRegistryInfo(&r), 0) << where;
    }
    EXPECT_NE(W32N_GetFirstAdapterRegistryInfo(nullptr), 0);
    ::setenv("LUNMARK_ADAPTER_DIR", dir.Path().c_str(), 1);
    TestDriver b(dir.Path(), "b"), a(dir.Path(), "a"), upper(dir.Path(), "B");
    dir.Write("a.desc", "Adapter A\r\nsecond line\n");
    dir.Write("zz", "a plain file is no adapter");
    dir.Write("long.desc", std::string(600, 'x'));
    TestDriver lng(dir.Path(), "long");

    std::vector<w32n_adapter_record> list;
    for (int rc = W32N_GetFirstAdapterRegistryInfo(&r); rc == 0;) {
        rc = W32N_GetNextAdapterRegistryInfo(&r);
        list.push_back(r);
    }
    ASSERT_EQ(list.size(), 5u);
    for (std::size_t i = 0; i < list.size(); ++i)
        EXPECT_STREQ(list[i].device_name, (std::array{"B", "a", "b", "long", "wlan0"}[i])) << i;
    EXPECT_STREQ(list[1].description, "Adapter A");
    EXPECT_STREQ(list[0].description, "B");
    EXPECT_EQ(std::string(list[3].description), std::string(259, 'x'));
    EXPECT_EQ(std::string(list[2].location), dir.Path() + "/b");

    // Past the end nothing is delivered and the record stays as it was.
    std::strcpy(r.device_name, "kept");
    EXPECT_NE(W32N_GetNextAdapterRegistryInfo(&r), 0);
    EXPECT_STREQ(r.device_name, "kept");
}

TEST_F(Lunmark100, OpensByDeviceNameAndRefusesBadArguments) {
    const w32n_handle h2 = W32N_OpenAdapterA("wlan0"); // closed below: a valid handle
    EXPECT_NE(h, h2);
    for (const char *bad : {"\\Device\\", "\\Device\\missing", "\\Device\\..", "../wlan0",
                            "\\Device\\a/b", static_cast<const char *>(nullptr)})
        EXPECT_EQ(W32N_OpenAdapterA(bad), W32N_INVALID_HANDLE) << (bad ? bad : "null");
    EXPECT_EQ(W32N_CloseAdapter(h2), 0);
    EXPECT_NE(W32N_CloseAdapter(h2), 0);
    EXPECT_NE(W32N_CloseAdapter(W32N_INVALID_HANDLE), 0);

    auto buf = frame(1);
    EXPECT_EQ(send(h2, buf).rc, W32N_ERR_HANDLE);
    EXPECT_EQ(W32N_MakeNdisRequest(0, nullptr, nullptr, 1), W32N_ERR_ARGUMENT);
    std::vector<std::uint8_t> huge(wire::kMaxBuffer + 1);
    EXPECT_EQ(send(h, huge).rc, W32N_ERR_ARGUMENT);
    w32n_ndis_request req{};
    req.buffer_length = 4; // no buffer
    EXPECT_EQ(W32N_MakeNdisRequest(h, &req, nullptr, 1), W32N_ERR_ARGUMENT);
    // The connection is still good after refused arguments.
    EXPECT_EQ(send(h, buf).rc, 0);
}

TEST_F(Lunmark100, RequestCarriesTheBufferBothWays) {
    // The driver echoes the buffer with its completion status 2 in the
    // record; scattered, the answer lands in the receive segments only and
    // the send segments stay as they were.
    auto buf = frame(0x30), expected = buf;
    wire::put_u32(expected.data() + wire::kFrameRecordOffset + 4, 2);
    const Sent sent = send(h, buf);
    ASSERT_EQ(sent.rc, 0);
    EXPECT_EQ(sent.written, wire::kFrameSize);
    EXPECT_EQ(buf, expected);

    for (const bool whole : {false, true}) {
        auto out = frame(0x30);
        std::vector<std::uint8_t> got;
        const Sent scattered = send_v(h, out, got, whole);
        ASSERT_EQ(scattered.rc, 0) << whole;
        EXPECT_EQ(scattered.written, wire::kFrameSize);
        EXPECT_EQ(out, frame(0x30));
        EXPECT_EQ(got, expected);
    }
}

TEST_F(Lunmark100, SilentDriverTimesOutCloseWakesAWaiterAndAVanishedDriverFails) {
    d->set_handler([](const wire::Request &) { return std::vector<std::uint8_t>{}; });
    auto buf = frame(1);
    const auto before = buf;
    ::setenv("LUNMARK_REQUEST_TIMEOUT_MS", "50", 1);
    const w32n_handle quick = W32N_OpenAdapterA("\\Device\\wlan0"); // takes the timeout
    EXPECT_EQ(send(quick, buf).rc, W32N_ERR_TIMEOUT);
    EXPECT_EQ(buf, before);
    // The connection was dropped: a late answer cannot be taken for the
    // next request's.
    d->set_handler([this](const wire::Request &r) { return d->adapter_reply(r); });
    EXPECT_EQ(send(quick, buf).rc, W32N_ERR_IO);
    W32N_CloseAdapter(quick);

    // A request waiting on the default timeout ends when its handle is closed.
    d->set_handler([](const wire::Request &) { return std::vector<std::uint8_t>{}; });
    const int sent_before = d->requests();
    std::atomic<int> result{0};
    std::thread waiter([&] {
        auto mine = frame(1);
        result = send(h, mine).rc;
    });
    const auto deadline = std::chrono::steady_clock::now() + std::chrono::seconds(30);
    while (d->requests() == sent_before && std::chrono::steady_clock::now() < deadline)
        std::this_thread::yield();
    EXPECT_EQ(W32N_CloseAdapter(h), 0);
    waiter.join();
    EXPECT_EQ(result, W32N_ERR_LOST);

    h = W32N_OpenAdapterA("\\Device\\wlan0");
    ASSERT_GE(h, 0);
    d.reset();
    EXPECT_EQ(send(h, buf).rc, W32N_ERR_IO);
    EXPECT_EQ(W32N_OpenAdapterA("\\Device\\wlan0"), W32N_INVALID_HANDLE);
}

TEST_F(Lunmark100, MalformedAnswersFailAndDropTheConnection) {
    const std::pair<const char *, std::vector<std::uint8_t>> cases[] = {
        {"wrong magic", reply_bytes(0x11223344u, 0, 0, 0)},
        {"short header", {0x4C, 0x4D, 0x52, 0x50, 0, 0}},
        {"claims more than it carries", reply_bytes(wire::kReplyMagic, 0, 100, 10)},
        {"more than the buffer",
         reply_bytes(wire::kReplyMagic, 0, wire::kFrameSize + 4, wire::kFrameSize + 4)},
        {"larger than any message", reply_bytes(wire::kReplyMagic, 0, 0, wire::kMaxBuffer + 64)},
    };
    for (const auto &[what, reply] : cases) {
        d->set_handler([&reply](const wire::Request &) { return reply; });
        // Plain, scattered, and into one segment with headroom.
        for (const int form : {0, 1, 2}) {
            const w32n_handle h2 = W32N_OpenAdapterA("\\Device\\wlan0");
            auto buf = frame(1);
            const auto before = buf;
            std::vector<std::uint8_t> got;
            EXPECT_EQ((form > 0 ? send_v(h2, buf, got, form == 2) : send(h2, buf)).rc,
                      W32N_ERR_PROTOCOL)
                << what << " (form " << form << ")";
            EXPECT_EQ(buf, before) << what;
            EXPECT_EQ(send(h2, buf).rc, W32N_ERR_IO) << what;
            W32N_CloseAdapter(h2);
        }
    }
}

TEST_F(Lunmark100, DriverStatusIsAFailureButKeepsTheConnection) {
    d->set_handler([](const wire::Request &) {
        std::vector<std::uint8_t> out;
        wire::encode_reply(out, wire::kStatusInvalidLength, {}, 20000);
        return out;
    });
    auto buf = frame(1);
    const Sent refused = send(h, buf);
    EXPECT_EQ(refused.rc, W32N_ERR_DRIVER);
    EXPECT_EQ(refused.needed, 20000u);
    d->set_handler([this](const wire::Request &r) { return d->adapter_reply(r); });
    EXPECT_EQ(send(h, buf).rc, 0);
}

TEST_F(Lunmark100, ARepeatedAnswerIsNeverTakenForTheNextRequest) {
    d->set_answer_twice(true);
    for (std::uint32_t code : {0x30u, 0x31u, 0x32u, 0x33u}) {
        // The scattered requests (two segments, then one with headroom)
        // receive the earlier answer's repeat into their own segments, and
        // then their own answer.
        auto buf = frame(code), sent = buf;
        if (code % 2 == 0)
            ASSERT_EQ(send(h, buf).rc, 0);
        else
            ASSERT_EQ(send_v(h, sent, buf, code == 0x33u).rc, 0);
        EXPECT_EQ(wire::get_u32(buf.data() + wire::kFrameRecordOffset), code);
    }
    EXPECT_EQ(d->requests(), 4);
}

TEST_F(Lunmark100, ScatteredRequestChecksItsSegmentsAndKeepsToThem) {
    std::vector<std::uint8_t> small(8), big(wire::kMaxBuffer + 1);
    const w32n_segment fits{small.data(), 8}, too_big{big.data(), wire::kMaxBuffer + 1},
        half{small.data(), 4}, null_base{nullptr, 4};
    const std::vector<w32n_segment> many(W32N_MAX_SEGMENTS + 1, w32n_segment{small.data(), 1});
    const auto n = static_cast<std::uint32_t>(many.size());
    // The fields in order: type, oid, send segments and their count, receive
    // segments and their count, the two counts the call sets, and the headroom.
    const std::pair<const char *, w32n_ndis_request_v> bad[] = {
        {"more than the protocol carries", {0, 0, &too_big, 1, &too_big, 1, 0, 0, 0}},
        {"room for less than the buffer", {0, 0, &fits, 1, &half, 1, 0, 0, 0}},
        {"a null base", {0, 0, &null_base, 1, &fits, 1, 0, 0, 0}},
        {"a null list", {0, 0, nullptr, 1, &fits, 1, 0, 0, 0}},
        {"too many segments", {0, 0, &fits, 1, many.data(), n, 0, 0, 0}},
    };
    for (auto [what, req] : bad)
        EXPECT_EQ(W32N_MakeNdisRequestV(h, &req, nullptr), W32N_ERR_ARGUMENT) << what;
    EXPECT_EQ(W32N_MakeNdisRequestV(h, nullptr, nullptr), W32N_ERR_ARGUMENT);
    EXPECT_EQ(d->requests(), 0);

    // A short answer is the driver's to give; bytes a reply carries past
    // what the segments hold never land outside them.
    auto buf = frame(1);
    std::vector<std::uint8_t> got;
    for (const std::uint32_t written : {100u, static_cast<std::uint32_t>(wire::kFrameSize)})
        for (const bool whole : {false, true}) {
            d->set_handler([written](const wire::Request &r) {
                std::vector<std::uint8_t> out, data(r.buffer.begin(), r.buffer.end());
                data.resize(written + 300, 0x77);
                wire::encode_reply(out, 0, data);
                wire::put_u32(out.data() + 12, written);
                return out;
            });
            const Sent sent = send_v(h, buf, got, whole);
            ASSERT_EQ(sent.rc, 0) << written;
            EXPECT_EQ(sent.written, written);
            EXPECT_TRUE(std::equal(buf.begin(), buf.begin() + written, got.begin())) << written;
        }
}
