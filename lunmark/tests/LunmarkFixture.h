// Test fixture for the exports over the fake: each test starts with no
// adapter open, an empty device name and an empty call log.
#pragma once

#include "FakeW32n.h"
#include "LibraryContext.h"
#include "LibraryLock.h"

#include <lunmark/lunmark.h>
#include <lunmark_wire/command_frame.h>
#include <lunmark_wire/socket_protocol.h>

#include <gtest/gtest.h>

#include <cstdint>
#include <vector>

#include <sys/wait.h>
#include <unistd.h>

class LunmarkFixture : public ::testing::Test {
protected:
    void SetUp() override {
        fake_w32n::reset();
        lunmark::LibraryLock lock;
        lunmark::context().close();
        lunmark::context().open(""); // no adapters: leaves the device name empty, sends nothing
    }

    // Opens the one adapter "a".
    static void connect_a() {
        fake_w32n::set_adapters({{"a"}});
        ASSERT_EQ(ecom_connect("a"), LUNMARK_OK);
    }

    // A command record of `code` with 32-bit `words` at the given offsets.
    static std::vector<std::uint8_t> record(std::uint32_t code,
                                            std::vector<std::pair<std::size_t, std::uint32_t>> words = {}) {
        std::vector<std::uint8_t> r(LUNMARK_RECORD_SIZE);
        lunmark_wire::put_u32(r.data(), code);
        for (const auto &[at, value] : words)
            lunmark_wire::put_u32(r.data() + at, value);
        return r;
    }
    // Sends a command record of `code`; the result.
    static int exec(std::uint32_t code) {
        auto r = record(code);
        return ecom_exec_oid(r.data());
    }

    // The command code of the record inside a logged command frame.
    static std::uint32_t logged_code(const fake_w32n::Call &c) {
        return c.bytes.size() >= lunmark_wire::kFrameSize
                   ? lunmark_wire::get_u32(c.bytes.data() + lunmark_wire::kFrameRecordOffset)
                   : 0xFFFFFFFFu;
    }

    static std::string device_name() {
        lunmark::LibraryLock lock;
        return lunmark::context().device_name();
    }

    // fork(), with a child that is ended by an alarm after 30 s should it hang.
    static pid_t fork_child() {
        const pid_t pid = ::fork();
        if (pid == 0)
            ::alarm(30);
        return pid;
    }
    // Waits for the child `pid`; true when it exited with 0.
    static bool child_succeeds(pid_t pid) {
        int status = 0;
        return ::waitpid(pid, &status, 0) == pid && WIFEXITED(status) && WEXITSTATUS(status) == 0;
    }
};
