#include "AdapterDirectory.h"

#include <lunmark_wire/socket_protocol.h>

#include <algorithm>
#include <cstring>
#include <memory>

#include <dirent.h>
#include <fcntl.h>
#include <sys/stat.h>
#include <sys/un.h>
#include <unistd.h>

namespace lunmark100 {

namespace {

constexpr std::size_t kFieldChars = W32N_TEXT_FIELD_SIZE - 1;

bool plain_name(std::string_view name) {
    return !name.empty() && name.size() <= kFieldChars && name != "." && name != ".." &&
           name.find('/') == std::string_view::npos &&
           name.find('\0') == std::string_view::npos;
}

void copy_field(char (&field)[W32N_TEXT_FIELD_SIZE], std::string_view text) {
    const std::size_t n = std::min(text.size(), kFieldChars);
    std::memcpy(field, text.data(), n);
    field[n] = '\0';
}

// First line of "<name>.desc", or empty.  Reads at most one field's worth
// of a regular file and never blocks on a FIFO or follows a symbolic link.
std::string read_description(int dir_fd, const std::string &name) {
    const std::string file = name + ".desc";
    const int fd = ::openat(dir_fd, file.c_str(), O_RDONLY | O_CLOEXEC | O_NOFOLLOW | O_NONBLOCK);
    if (fd < 0)
        return {};
    std::string text;
    struct stat st {};
    if (::fstat(fd, &st) == 0 && S_ISREG(st.st_mode)) {
        char buf[kFieldChars];
        const ssize_t n = ::read(fd, buf, sizeof buf);
        if (n > 0)
            text.assign(buf, static_cast<std::size_t>(n));
    }
    ::close(fd);
    text = text.substr(0, text.find_first_of(std::string_view("\n\0", 2)));
    while (!text.empty() && (text.back() == '\r' || text.back() == ' ' || text.back() == '\t'))
        text.pop_back();
    return text;
}

struct DirCloser {
    void operator()(DIR *d) const { ::closedir(d); }
};

} // namespace

std::vector<w32n_adapter_record> AdapterDirectory::scan() {
    std::vector<w32n_adapter_record> out;
    const std::string dir = lunmark_wire::adapter_dir();
    std::unique_ptr<DIR, DirCloser> d(::opendir(dir.c_str()));
    if (!d)
        return out;
    const int dir_fd = ::dirfd(d.get());
    std::vector<std::string> names;
    while (const dirent *e = ::readdir(d.get())) {
        const std::string name = e->d_name;
        if (!plain_name(name))
            continue;
        struct stat st {};
        if (::fstatat(dir_fd, name.c_str(), &st, 0) != 0 || !S_ISSOCK(st.st_mode))
            continue;
        names.push_back(name);
    }
    // std::string compares like memcmp: byte-wise, unsigned.
    std::sort(names.begin(), names.end());
    out.reserve(names.size());
    for (const std::string &name : names) {
        w32n_adapter_record r{};
        const std::string desc = read_description(dir_fd, name);
        copy_field(r.description, desc.empty() ? name : desc);
        copy_field(r.location, dir + "/" + name);
        copy_field(r.device_name, name);
        out.push_back(r);
    }
    return out;
}

std::string AdapterDirectory::socket_path(std::string_view name) {
    if (!plain_name(name))
        return {};
    std::string path = lunmark_wire::adapter_dir();
    path += '/';
    path += name;
    if (path.size() >= sizeof(sockaddr_un{}.sun_path))
        return {};
    return path;
}

} // namespace lunmark100
