#include "Eeprom.h"

#include <cerrno>
#include <cstring>

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

namespace adapter_sim {

namespace {

// A fresh image: a two-byte signature, the layout version, the MAC address,
// the regulatory domain and the NVM version words; the rest erased (0xFF).
std::vector<std::uint8_t> fresh_image(std::uint32_t size, const AdapterSpec &a) {
    std::vector<std::uint8_t> img(size, 0xFF);
    img[0] = 'Z';
    img[1] = 'W';
    img[2] = 0x01;
    img[3] = 0x00;
    std::memcpy(img.data() + 4, a.mac.data(), 6);
    img[10] = static_cast<std::uint8_t>(a.reg_domain);
    img[11] = static_cast<std::uint8_t>(a.reg_domain >> 8);
    for (int i = 0; i < 2; ++i)
        for (int b = 0; b < 4; ++b)
            img[12 + i * 4 + b] = static_cast<std::uint8_t>(a.nvm[i] >> (8 * b));
    return img;
}

bool write_all(int fd, const std::uint8_t *p, std::size_t n, off_t at) {
    while (n > 0) {
        const ssize_t w = ::pwrite(fd, p, n, at);
        if (w < 0) {
            if (errno == EINTR)
                continue;
            return false;
        }
        p += w;
        n -= static_cast<std::size_t>(w);
        at += w;
    }
    return true;
}

} // namespace

Eeprom::~Eeprom() {
    if (m_fd >= 0)
        ::close(m_fd);
}

bool Eeprom::open(const std::string &path, std::uint32_t size, const AdapterSpec &identity,
                  std::string &error) {
    if (m_fd >= 0) {
        ::close(m_fd);
        m_fd = -1;
    }
    m_path = path;
    const int fd = ::open(path.c_str(), O_RDWR | O_CREAT | O_CLOEXEC, 0644);
    if (fd < 0) {
        error = "cannot open EEPROM image " + path + ": " + std::strerror(errno);
        return false;
    }
    struct stat st {};
    if (::fstat(fd, &st) != 0) {
        error = "cannot examine EEPROM image " + path + ": " + std::strerror(errno);
        ::close(fd);
        return false;
    }
    if (st.st_size == 0) {
        m_image = fresh_image(size, identity);
        if (!write_all(fd, m_image.data(), m_image.size(), 0) || ::fsync(fd) != 0) {
            error = "cannot write EEPROM image " + path + ": " + std::strerror(errno);
            ::close(fd);
            return false;
        }
    } else {
        if (st.st_size < 64 || st.st_size > (1 << 20)) {
            error = "EEPROM image " + path + " has " + std::to_string(st.st_size) +
                    " bytes; an image holds 64 bytes to 1 MiB";
            ::close(fd);
            return false;
        }
        m_image.assign(static_cast<std::size_t>(st.st_size), 0);
        std::size_t got = 0;
        while (got < m_image.size()) {
            const ssize_t r = ::pread(fd, m_image.data() + got, m_image.size() - got,
                                      static_cast<off_t>(got));
            if (r < 0 && errno == EINTR)
                continue;
            if (r <= 0) {
                error = "cannot read EEPROM image " + path;
                ::close(fd);
                return false;
            }
            got += static_cast<std::size_t>(r);
        }
    }
    m_fd = fd;
    return true;
}

bool Eeprom::read(std::uint32_t offset, std::span<std::uint8_t> out) const {
    if (m_fd < 0 || !in_range(offset, out.size()))
        return false;
    if (!out.empty())
        std::memcpy(out.data(), m_image.data() + offset, out.size());
    return true;
}

bool Eeprom::write(std::uint32_t offset, std::span<const std::uint8_t> data) {
    if (m_fd < 0 || !in_range(offset, data.size()))
        return false;
    if (data.empty())
        return true;
    if (!write_all(m_fd, data.data(), data.size(), static_cast<off_t>(offset)) ||
        ::fdatasync(m_fd) != 0) {
        // Put the file back in step with the image we still hold.
        (void)write_all(m_fd, m_image.data() + offset, data.size(), static_cast<off_t>(offset));
        return false;
    }
    std::memcpy(m_image.data() + offset, data.data(), data.size());
    return true;
}

} // namespace adapter_sim
