#include "AdapterChannel.h"

#include <lunmark/lunmark.h>
#include <lunmark_wire/command_frame.h>
#include <lunmark_wire/socket_protocol.h>

#include <array>
#include <initializer_list>
#include <iterator>
#include <cerrno>
#include <cstring>
#include <ctime>

namespace lunmark {

namespace wire = lunmark_wire;

static_assert(wire::kRecordSize == LUNMARK_RECORD_SIZE);
static_assert(wire::kRecordDataOffset == LUNMARK_RECORD_DATA_OFFSET);
static_assert(sizeof(w32n_adapter_record) == 780);

namespace {

// The Windows 95 family renews its adapter handle every this many requests.
constexpr std::uint32_t kRenewEvery = 99;
// A misbehaving enumeration can never grow the adapter list without end.
constexpr std::size_t kMaxAdapters = 1024;

std::string record_device_name(const w32n_adapter_record &r) {
    return std::string(r.device_name, ::strnlen(r.device_name, sizeof r.device_name));
}

// Failures after which the request provably never reached the driver: a
// closed handle (after a disconnect, a renewal, or a failed request) and a
// connection that was already broken.  Anything else may have been carried
// out, or was answered, and is never sent a second time.
bool never_reached_driver(int result) {
    return result == W32N_ERR_HANDLE || result == W32N_ERR_IO;
}

// Writes the fixed words of a command frame around its record.
void put_frame_words(std::uint8_t *frame, std::uint32_t magic) {
    wire::put_u32(frame, wire::kFrameSignature);
    wire::put_u16(frame + 4, static_cast<std::uint16_t>(wire::kRecordSize));
    wire::put_u16(frame + 6, 0);
    wire::put_u32(frame + 8, magic);
    wire::put_u32(frame + wire::kFrameTrailerOffset, ~magic);
}

// Whether the driver's answer kept the fixed words as they were sent.
bool frame_words_intact(const std::uint8_t *frame, std::uint32_t magic) {
    return wire::get_u32(frame) == wire::kFrameSignature &&
           wire::get_u16(frame + 4) == wire::kRecordSize && wire::get_u16(frame + 6) == 0 &&
           wire::get_u32(frame + 8) == magic &&
           wire::get_u32(frame + wire::kFrameTrailerOffset) == ~magic;
}

// A frame area holds a frame at any offset below this, so that the frame
// can be placed relative to the caller's record within a memory page.
constexpr std::size_t kPageSize = 4096;
// Room before the frame for the answer's message header, so that the whole
// message comes in with one plain receive.
constexpr std::size_t kAnswerHeadroom = W32N_RECEIVE_HEADROOM;
constexpr std::size_t kFrameAreaSize = kAnswerHeadroom + wire::kFrameSize + kPageSize;
// How far apart (modulo a page) the frame's record and the caller's lie.
constexpr std::uintptr_t kClearance = 64;

// Whether a 15 KB copy from `from` to `to` runs slow: with the destination
// 1 to 31 bytes ahead of the source modulo 4 KiB, each store looks to the
// processor as if it might overwrite a load still pending, and the copy
// costs several times as much (5 us instead of 0.25 us for a record; some
// 7 to 9 us more per round trip for the kernel's copies).
bool copy_is_slow(std::uintptr_t to, std::uintptr_t from) {
    const auto ahead = (to - from) % kPageSize;
    return ahead >= 1 && ahead < 32;
}

// The kernel copies each message between the caller's memory and a buffer
// of its own that starts at a page boundary, the message header first.
constexpr std::uintptr_t kKernelRecordAt = wire::kRequestHeaderSize + wire::kFrameRecordOffset;
constexpr std::uintptr_t kKernelAnswerFrameAt = wire::kReplyHeaderSize;

// The frame in `area` for a request on `record`.  Two copies touch the
// frame: the kernel's of the answer into it, and the answer's record from it
// into the caller's.  The frame's record lies kClearance bytes after the
// caller's, or as far before it where the kernel's copy would be slow.
std::uint8_t *frame_for(std::uint8_t *area, const void *record) {
    area += kAnswerHeadroom;
    const auto base = reinterpret_cast<std::uintptr_t>(area);
    const auto at = reinterpret_cast<std::uintptr_t>(record) - wire::kFrameRecordOffset;
    std::uintptr_t frame = at + kClearance;
    if (copy_is_slow(frame, kKernelAnswerFrameAt))
        frame = at - kClearance;
    return area + (frame - base) % kPageSize;
}

// Whether the kernel's copy of the record straight from the caller's memory
// would be slow.  Such a record is copied into the frame first (kClearance
// away, so that copy is not) and sent from there: 0.25 us against some 9 us.
bool record_goes_inside(const void *record) {
    return copy_is_slow(kKernelRecordAt, reinterpret_cast<std::uintptr_t>(record));
}

} // namespace

AdapterChannel::AdapterChannel()
    : frame_area_(new std::uint8_t[kFrameAreaSize]()),
      probe_frame_area_(new std::uint8_t[kFrameAreaSize]()) {
    // Only the low byte of the answer carries the flag.
    windows95_ = (static_cast<unsigned>(W32N_IsWindows95()) & 0xFFu) != 0;
    device_prefix_ = windows95_ ? "" : "\\Device\\";
}

AdapterChannel::~AdapterChannel() {
    if (handle_ != W32N_INVALID_HANDLE)
        close();
}

void AdapterChannel::enumerate() {
    w32n_adapter_record record{};
    adapters_.clear();
    if (W32N_GetFirstAdapterRegistryInfo(&record) != 0)
        return;
    while (adapters_.size() < kMaxAdapters) {
        const int rc = W32N_GetNextAdapterRegistryInfo(&record);
        adapters_.push_back(record);
        if (rc != 0)
            break;
    }
}

bool AdapterChannel::open(const std::string &name) {
    // Overwriting a handle that is still open would leak its connection.
    if (handle_ != W32N_INVALID_HANDLE)
        close();
    enumerate();
    request_counter_ = 0;
    if (windows95_)
        overlapped_.event = 0;

    if (!name.empty()) {
        device_name_ = name;
        handle_ = W32N_OpenAdapterA((device_prefix_ + device_name_).c_str());
        if (handle_ != W32N_INVALID_HANDLE)
            return true;
    } else {
        // A failed probe may reopen and thereby re-enumerate: walk the
        // list by index as it stands after each probe.
        for (std::size_t i = 0; i < adapters_.size(); ++i) {
            std::string candidate = record_device_name(adapters_[i]);
            // An entry without a name cannot be reopened by name; a probe
            // failing on it would start a nested search.
            if (candidate.empty())
                continue;
            device_name_ = std::move(candidate);
            handle_ = W32N_OpenAdapterA((device_prefix_ + device_name_).c_str());
            if (handle_ == W32N_INVALID_HANDLE)
                continue;
            std::array<std::uint8_t, wire::kRecordSize> probe{};
            wire::put_u32(probe.data(), LUNMARK_CMD_PROBE);
            if (exec_in_frame(probe_frame_area_.get(), probe.data(), kCommandMagic))
                return true;
        }
    }
    device_name_.clear();
    return false;
}

void AdapterChannel::close() {
    W32N_CloseAdapter(handle_);
    handle_ = W32N_INVALID_HANDLE;
}

template <typename Attempt>
bool AdapterChannel::query(std::uint32_t length, std::uint32_t *bytes_out, Attempt attempt) {
    if (windows95_ && ++request_counter_ >= kRenewEvery) {
        // The request below then fails on the closed handle and reopens.
        request_counter_ = 0;
        if (handle_ != W32N_INVALID_HANDLE) {
            close();
            pause(30);
        }
    }

    std::uint32_t written = 0;
    unsigned reopened = 0;
    for (;;) {
        written = 0;
        const int result = attempt(written);
        if (result == 0)
            break;
        // A failed query's byte count means nothing.
        written = 0;
        if (bytes_out)
            *bytes_out = 0;
        close();
        pause(100);
        if (!never_reached_driver(result))
            return false;
        if (!open(device_name_)) {
            pause(100);
            return false;
        }
        if (++reopened >= 2)
            break;
    }

    if (written != 0 && written >= length) {
        if (bytes_out)
            *bytes_out = written;
        pause(30);
        return true;
    }
    if (bytes_out)
        *bytes_out = 0;
    close();
    pause(100);
    return false;
}

bool AdapterChannel::send_request(void *buffer, std::uint32_t length, std::uint32_t *bytes_out,
                                  std::uint32_t oid) {
    return query(length, bytes_out, [&](std::uint32_t &written) {
        w32n_ndis_request request{};
        request.request_type = W32N_REQUEST_QUERY_INFORMATION;
        request.oid = oid;
        request.buffer = buffer;
        request.buffer_length = length;
        const int result = W32N_MakeNdisRequest(handle_, &request, &overlapped_, 1);
        written = request.bytes_written;
        return result;
    });
}

bool AdapterChannel::exec_command(void *record, std::uint32_t magic) {
    return exec_in_frame(frame_area_.get(), record, magic);
}

bool AdapterChannel::exec_in_frame(std::uint8_t *area, void *record, std::uint32_t magic) {
    if (record == nullptr)
        return false;
    std::uint8_t *const frame = frame_for(area, record);
    // The record goes out from where the caller keeps it, between the
    // frame's fixed words in `frame` (unless it would make the kernel's copy
    // slow: then it travels inside the frame, copied there before each
    // attempt); the answer comes into `frame` and is copied into the record
    // only once it proved good, so a failure leaves the record as it was.
    const bool inside = record_goes_inside(record);
    const w32n_segment scattered[] = {
        {frame, static_cast<std::uint32_t>(wire::kFrameRecordOffset)},
        {record, static_cast<std::uint32_t>(wire::kRecordSize)},
        {frame + wire::kFrameTrailerOffset,
         static_cast<std::uint32_t>(wire::kFrameSize - wire::kFrameTrailerOffset)}};
    const w32n_segment whole{frame, static_cast<std::uint32_t>(wire::kFrameSize)};
    const bool answered =
        query(static_cast<std::uint32_t>(wire::kFrameSize), nullptr, [&](std::uint32_t &written) {
            // The fixed words are written anew for every attempt: an
            // earlier answer, also a short or failed one, may have
            // overwritten any byte of the frame.
            put_frame_words(frame, magic);
            if (inside)
                std::memcpy(frame + wire::kFrameRecordOffset, record, wire::kRecordSize);
            w32n_ndis_request_v request{};
            request.request_type = W32N_REQUEST_QUERY_INFORMATION;
            request.oid = wire::kOidPrivateCommand;
            request.send = inside ? &whole : scattered;
            request.send_count = inside ? 1 : std::size(scattered);
            request.receive = &whole;
            request.receive_count = 1;
            request.receive_headroom = kAnswerHeadroom;
            const int result = W32N_MakeNdisRequestV(handle_, &request, &overlapped_);
            written = request.bytes_written;
            return result;
        });
    if (!answered)
        return false;
    // An answer that changed the frame around the record is not one to
    // trust; the request failed like any other, and the adapter is closed.
    if (!frame_words_intact(frame, magic)) {
        close();
        pause(100);
        return false;
    }
    std::memcpy(record, frame + wire::kFrameRecordOffset, wire::kRecordSize);
    return true;
}

void AdapterChannel::pause(std::uint32_t ms) {
    // Requests run back to back except on the Windows 95 family.
    if (windows95_)
        sleep_ms(ms);
}

void AdapterChannel::sleep_ms(std::uint32_t ms) {
    timespec ts{static_cast<time_t>(ms / 1000), static_cast<long>(ms % 1000) * 1000000L};
    while (::nanosleep(&ts, &ts) != 0 && errno == EINTR) {
    }
}

} // namespace lunmark
