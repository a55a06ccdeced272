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

// A frame area holds a frame at any offset below this, so that the frame's
// record can share its offset within a memory page with the caller's.
constexpr std::size_t kPageSize = 4096;
constexpr std::size_t kFrameAreaSize = wire::kFrameSize + kPageSize;

// The frame in `area` whose record lies at the same offset within a page as
// `record`.  The answer's copy into the record then runs at full speed:
// with the destination a few bytes ahead of the source modulo 4 KiB, the
// processor takes each store for a possible overwrite of a pending load,
// and a 15 KB copy costs some twenty times as much (5 us instead of 0.25).
std::uint8_t *frame_for(std::uint8_t *area, const void *record) {
    const auto want = reinterpret_cast<std::uintptr_t>(record) - wire::kFrameRecordOffset;
    const auto offset = (want - reinterpret_cast<std::uintptr_t>(area)) % kPageSize;
    return area + offset;
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
    // frame's fixed words in `frame`; the answer comes into `frame` and is
    // copied into the record only once it proved good, so a failure leaves
    // the record as it was.
    const w32n_segment out[] = {
        {frame, static_cast<std::uint32_t>(wire::kFrameRecordOffset)},
        {record, static_cast<std::uint32_t>(wire::kRecordSize)},
        {frame + wire::kFrameTrailerOffset,
         static_cast<std::uint32_t>(wire::kFrameSize - wire::kFrameTrailerOffset)}};
    const w32n_segment in{frame, static_cast<std::uint32_t>(wire::kFrameSize)};
    const bool answered =
        query(static_cast<std::uint32_t>(wire::kFrameSize), nullptr, [&](std::uint32_t &written) {
            // The fixed words are written anew for every attempt: an
            // earlier answer, also a short or failed one, may have
            // overwritten any byte of the frame.
            put_frame_words(frame, magic);
            w32n_ndis_request_v request{};
            request.request_type = W32N_REQUEST_QUERY_INFORMATION;
            request.oid = wire::kOidPrivateCommand;
            request.send = out;
            request.send_count = std::size(out);
            request.receive = &in;
            request.receive_count = 1;
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
