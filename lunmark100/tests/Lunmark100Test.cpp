// liblunmark100 against real sockets: enumeration, opening, and requests to
// drivers that answer, stay silent, misbehave or go away.
#include "TestDriver.h"

#include <lunmark100/lunmark100.h>
#include <lunmark_wire/command_frame.h>

#include <gtest/gtest.h>

#include <cstdlib>
#include <cstring>
#include <string>
#include <thread>
#include <vector>

namespace wire = lunmark_wire;
using ktest::TempDir;
using lunmark_test::TestDriver;

namespace {

class Lunmark100 : public ::testing::Test {
protected:
    void SetUp() override {
        ::setenv("LUNMARK_ADAPTER_DIR", dir.Path().c_str(), 1);
        ::unsetenv("LUNMARK_REQUEST_TIMEOUT_MS");
    }

    // A command frame with the library's magic around a record of `code`.
    static std::vector<std::uint8_t> frame(std::uint32_t code) {
        std::vector<std::uint8_t> f(wire::kFrameSize);
        wire::put_u32(f.data(), wire::kFrameSignature);
        wire::put_u16(f.data() + 4, 15376);
        wire::put_u32(f.data() + 8, wire::kFrameMagic);
        wire::put_u32(f.data() + 12, code);
        wire::put_u32(f.data() + wire::kFrameTrailerOffset, ~wire::kFrameMagic);
        return f;
    }

    static int send(w32n_handle h, std::vector<std::uint8_t> &buffer, w32n_ndis_request &req) {
        req = {};
        req.oid = wire::kOidPrivateCommand;
        req.buffer = buffer.data();
        req.buffer_length = static_cast<std::uint32_t>(buffer.size());
        w32n_overlapped ov{};
        return W32N_MakeNdisRequest(h, &req, &ov, 1);
    }

    static std::vector<std::uint8_t> reply_bytes(std::uint32_t magic, std::uint32_t status,
                                                 std::uint32_t written, std::size_t carried) {
        std::vector<std::uint8_t> r(wire::kReplyHeaderSize + carried);
        wire::put_reply_header(r.data(), 0, status, written, 0);
        wire::put_u32(r.data(), magic);
        return r;
    }

    TempDir dir;
};

std::vector<w32n_adapter_record> enumerate_all() {
    std::vector<w32n_adapter_record> list;
    w32n_adapter_record r{};
    if (W32N_GetFirstAdapterRegistryInfo(&r) != 0)
        return list;
    for (;;) {
        const int rc = W32N_GetNextAdapterRegistryInfo(&r);
        list.push_back(r);
        if (rc != 0)
            break;
    }
    return list;
}

} // namespace

TEST_F(Lunmark100, EnumeratesSocketsInByteOrderWithDescriptions) {
    TestDriver b(dir.Path(), "b"), a(dir.Path(), "a"), upper(dir.Path(), "B");
    dir.Write("a.desc", "Adapter A\r\nsecond line\n");
    dir.Write("zz", "a plain file is no adapter");
    dir.Write("long.desc", std::string(600, 'x'));
    TestDriver lng(dir.Path(), "long");

    const auto list = enumerate_all();
    ASSERT_EQ(list.size(), 4u);
    EXPECT_STREQ(list[0].device_name, "B");
    EXPECT_STREQ(list[1].device_name, "a");
    EXPECT_STREQ(list[2].device_name, "b");
    EXPECT_STREQ(list[3].device_name, "long");
    EXPECT_STREQ(list[1].description, "Adapter A");
    EXPECT_STREQ(list[0].description, "B");
    EXPECT_EQ(std::string(list[3].description), std::string(259, 'x'));
    EXPECT_EQ(std::string(list[2].location), dir.Path() + "/b");

    // Past the end nothing is delivered and the record stays as it was.
    w32n_adapter_record r{};
    std::strcpy(r.device_name, "kept");
    EXPECT_NE(W32N_GetNextAdapterRegistryInfo(&r), 0);
    EXPECT_STREQ(r.device_name, "kept");
}

TEST_F(Lunmark100, EmptyOrMissingDirectoryHasNoAdapters) {
    w32n_adapter_record r{};
    EXPECT_NE(W32N_GetFirstAdapterRegistryInfo(&r), 0);
    ::setenv("LUNMARK_ADAPTER_DIR", (dir.Path() + "/missing").c_str(), 1);
    EXPECT_NE(W32N_GetFirstAdapterRegistryInfo(&r), 0);
    EXPECT_NE(W32N_GetFirstAdapterRegistryInfo(nullptr), 0);
}

TEST_F(Lunmark100, BadArgumentsAndUnknownHandlesFail) {
    TestDriver d(dir.Path(), "wlan0");
    auto buf = frame(1);
    w32n_ndis_request req{};
    EXPECT_EQ(send(12345, buf, req), W32N_ERR_HANDLE);
    EXPECT_EQ(W32N_MakeNdisRequest(0, nullptr, nullptr, 1), W32N_ERR_ARGUMENT);
    const w32n_handle h = W32N_OpenAdapterA("\\Device\\wlan0");
    std::vector<std::uint8_t> huge(wire::kMaxBuffer + 1);
    EXPECT_EQ(send(h, huge, req), W32N_ERR_ARGUMENT);
    req = {};
    req.buffer_length = 4; // no buffer
    EXPECT_EQ(W32N_MakeNdisRequest(h, &req, nullptr, 1), W32N_ERR_ARGUMENT);
    // The connection is still good after refused arguments.
    EXPECT_EQ(send(h, buf, req), 0);
    W32N_CloseAdapter(h);
}

TEST_F(Lunmark100, OpensByDeviceNameAndRefusesOthers) {
    TestDriver d(dir.Path(), "wlan0");
    const w32n_handle h1 = W32N_OpenAdapterA("\\Device\\wlan0");
    const w32n_handle h2 = W32N_OpenAdapterA("wlan0");
    EXPECT_GE(h1, 0);
    EXPECT_GE(h2, 0);
    EXPECT_NE(h1, h2);
    for (const char *bad : {"\\Device\\", "\\Device\\missing", "\\Device\\..", "../wlan0",
                            "\\Device\\a/b"})
        EXPECT_EQ(W32N_OpenAdapterA(bad), W32N_INVALID_HANDLE) << bad;
    EXPECT_EQ(W32N_OpenAdapterA(nullptr), W32N_INVALID_HANDLE);

    EXPECT_EQ(W32N_CloseAdapter(h1), 0);
    EXPECT_NE(W32N_CloseAdapter(h1), 0);
    EXPECT_NE(W32N_CloseAdapter(W32N_INVALID_HANDLE), 0);
    EXPECT_EQ(W32N_CloseAdapter(h2), 0);
    EXPECT_EQ(W32N_IsWindows95(), 0);
}

TEST_F(Lunmark100, RequestCarriesTheBufferBothWays) {
    TestDriver d(dir.Path(), "wlan0");
    const w32n_handle h = W32N_OpenAdapterA("\\Device\\wlan0");
    ASSERT_GE(h, 0);
    auto buf = frame(0x30);
    w32n_ndis_request req{};
    w32n_overlapped ov{};
    req.oid = wire::kOidPrivateCommand;
    req.buffer = buf.data();
    req.buffer_length = static_cast<std::uint32_t>(buf.size());
    ASSERT_EQ(W32N_MakeNdisRequest(h, &req, &ov, 1), 0);
    EXPECT_EQ(req.bytes_written, wire::kFrameSize);
    EXPECT_EQ(wire::get_u32(buf.data() + 16), 2u); // completion status of the record
    EXPECT_EQ(ov.event, 1u);
    EXPECT_EQ(ov.bytes_transferred, wire::kFrameSize);
    EXPECT_EQ(d.last_command_code(), 0x30u);
    W32N_CloseAdapter(h);
}

TEST_F(Lunmark100, SilentDriverTimesOutAndTheConnectionIsDropped) {
    ::setenv("LUNMARK_REQUEST_TIMEOUT_MS", "50", 1);
    TestDriver d(dir.Path(), "wlan0");
    d.set_handler([](const wire::Request &) { return std::vector<std::uint8_t>{}; });
    const w32n_handle h = W32N_OpenAdapterA("\\Device\\wlan0");
    ASSERT_GE(h, 0);
    auto buf = frame(1);
    const auto before = buf;
    w32n_ndis_request req{};
    EXPECT_EQ(send(h, buf, req), W32N_ERR_TIMEOUT);
    EXPECT_EQ(req.bytes_written, 0u);
    EXPECT_EQ(buf, before);
    // A late answer must never be taken for the next request's.
    d.set_handler([&d](const wire::Request &r) { return d.adapter_reply(r); });
    EXPECT_EQ(send(h, buf, req), W32N_ERR_IO);
    W32N_CloseAdapter(h);
}

TEST_F(Lunmark100, MalformedAnswersFailAndDropTheConnection) {
    TestDriver d(dir.Path(), "wlan0");
    struct Case {
        const char *what;
        std::vector<std::uint8_t> reply;
        int expected;
    };
    const std::vector<Case> cases = {
        {"wrong magic", reply_bytes(0x11223344u, 0, 0, 0), W32N_ERR_PROTOCOL},
        {"short header", {0x4C, 0x4D, 0x52, 0x50, 0, 0}, W32N_ERR_PROTOCOL},
        {"claims more than it carries", reply_bytes(wire::kReplyMagic, 0, 100, 10),
         W32N_ERR_PROTOCOL},
        {"more than the buffer", reply_bytes(wire::kReplyMagic, 0, wire::kFrameSize + 4,
                                             wire::kFrameSize + 4),
         W32N_ERR_PROTOCOL},
        {"larger than any message", reply_bytes(wire::kReplyMagic, 0, 0, wire::kMaxBuffer + 64),
         W32N_ERR_PROTOCOL},
    };
    for (const Case &c : cases) {
        d.set_handler([&c](const wire::Request &) { return c.reply; });
        const w32n_handle h = W32N_OpenAdapterA("\\Device\\wlan0");
        ASSERT_GE(h, 0);
        auto buf = frame(1);
        const auto before = buf;
        w32n_ndis_request req{};
        EXPECT_EQ(send(h, buf, req), c.expected) << c.what;
        EXPECT_EQ(buf, before) << c.what;
        EXPECT_EQ(send(h, buf, req), W32N_ERR_IO) << c.what;
        W32N_CloseAdapter(h);
    }
}

TEST_F(Lunmark100, DriverStatusIsAFailureButKeepsTheConnection) {
    TestDriver d(dir.Path(), "wlan0");
    d.set_handler([](const wire::Request &) {
        std::vector<std::uint8_t> out;
        wire::encode_reply(out, wire::kStatusInvalidLength, {}, 20000);
        return out;
    });
    const w32n_handle h = W32N_OpenAdapterA("\\Device\\wlan0");
    auto buf = frame(1);
    w32n_ndis_request req{};
    EXPECT_EQ(send(h, buf, req), W32N_ERR_DRIVER);
    EXPECT_EQ(req.bytes_written, 0u);
    EXPECT_EQ(req.bytes_needed, 20000u);
    d.set_handler([&d](const wire::Request &r) { return d.adapter_reply(r); });
    EXPECT_EQ(send(h, buf, req), 0);
    W32N_CloseAdapter(h);
}

TEST_F(Lunmark100, VanishedDriverFailsTheRequest) {
    auto d = std::make_unique<TestDriver>(dir.Path(), "wlan0");
    const w32n_handle h = W32N_OpenAdapterA("\\Device\\wlan0");
    ASSERT_GE(h, 0);
    d.reset();
    auto buf = frame(1);
    w32n_ndis_request req{};
    EXPECT_EQ(send(h, buf, req), W32N_ERR_IO);
    W32N_CloseAdapter(h);
    EXPECT_EQ(W32N_OpenAdapterA("\\Device\\wlan0"), W32N_INVALID_HANDLE);
}

TEST_F(Lunmark100, CloseWakesARequestWaitingOnAnotherThread) {
    TestDriver d(dir.Path(), "wlan0");
    d.set_handler([](const wire::Request &) { return std::vector<std::uint8_t>{}; });
    const w32n_handle h = W32N_OpenAdapterA("\\Device\\wlan0");
    ASSERT_GE(h, 0);
    int result = 0;
    std::thread waiter([&] {
        auto buf = frame(1);
        w32n_ndis_request req{};
        result = send(h, buf, req);
    });
    while (d.requests() == 0)
        std::this_thread::yield();
    EXPECT_EQ(W32N_CloseAdapter(h), 0);
    waiter.join();
    EXPECT_EQ(result, W32N_ERR_LOST);
}

TEST_F(Lunmark100, ARepeatedAnswerIsNeverTakenForTheNextRequest) {
    TestDriver d(dir.Path(), "wlan0");
    d.set_answer_twice(true);
    const w32n_handle h = W32N_OpenAdapterA("\\Device\\wlan0");
    ASSERT_GE(h, 0);
    w32n_ndis_request req{};
    for (std::uint32_t code : {0x30u, 0x31u, 0x32u}) {
        auto buf = frame(code);
        ASSERT_EQ(send(h, buf, req), 0);
        EXPECT_EQ(wire::get_u32(buf.data() + wire::kFrameRecordOffset), code);
    }
    EXPECT_EQ(d.requests(), 3);
    W32N_CloseAdapter(h);
}
