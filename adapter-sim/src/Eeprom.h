// The adapter's EEPROM, kept in an image file so that writes survive a
// restart of the simulator.  Thread-compatible: the adapter serialises use.
#pragma once

#include "Scenario.h"

#include <cstdint>
#include <span>
#include <string>
#include <vector>

namespace adapter_sim {

class Eeprom {
public:
    Eeprom() = default;
    ~Eeprom();
    Eeprom(const Eeprom &) = delete;
    Eeprom &operator=(const Eeprom &) = delete;

    // Opens the image at `path`; a missing file is created with a fresh
    // image of `size` bytes that carries the adapter's identity.  An
    // existing file keeps its own size.  False with `error` set on failure.
    bool open(const std::string &path, std::uint32_t size, const AdapterSpec &identity,
              std::string &error);

    bool is_open() const { return m_fd >= 0; }
    std::uint32_t size() const { return static_cast<std::uint32_t>(m_image.size()); }
    const std::string &path() const { return m_path; }

    // False when [offset, offset + length) is not inside the image.
    bool read(std::uint32_t offset, std::span<std::uint8_t> out) const;
    // Writes through to the file; false when outside the image or when the
    // file cannot be written (the image in memory is then unchanged).
    bool write(std::uint32_t offset, std::span<const std::uint8_t> data);

private:
    bool in_range(std::uint32_t offset, std::size_t length) const {
        return offset <= m_image.size() && length <= m_image.size() - offset;
    }

    int m_fd = -1;
    std::string m_path;
    std::vector<std::uint8_t> m_image;
};

} // namespace adapter_sim
