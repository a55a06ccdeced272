#include "HiveFile.h"

#include <fcntl.h>
#include <hivex.h>
#include <sys/stat.h>
#include <unistd.h>

#include <array>
#include <cerrno>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <ctime>
#include <memory>
#include <set>
#include <type_traits>

#include "PosixError.h"
#include "platform/Win32Error.h"

namespace platform {
namespace {

// Limits of the Windows registry; a hive beyond them is taken as damaged.
constexpr std::size_t kMaxKeyNameBytes = 255 * 3;    // 255 characters of UTF-8
constexpr std::size_t kMaxValueNameBytes = 16383 * 3;
constexpr int kMaxDepth = 512;
constexpr std::size_t kMaxKeys = 1000000;
constexpr off_t kMaxHiveBytes = off_t{256} << 20;

// hive_type values as stored in vk records.
constexpr int kRegSz = 1;
constexpr int kRegExpandSz = 2;
constexpr int kRegDword = 4;
constexpr int kRegDwordBigEndian = 5;

constexpr char kRootName[] = "$$$PROTO.HIV";

void put16(std::string &b, std::size_t off, std::uint16_t v)
{
    b[off] = static_cast<char>(v & 0xFF);
    b[off + 1] = static_cast<char>(v >> 8);
}

void put32(std::string &b, std::size_t off, std::uint32_t v)
{
    for (int i = 0; i < 4; ++i)
        b[off + static_cast<std::size_t>(i)] = static_cast<char>((v >> (8 * i)) & 0xFF);
}

std::uint32_t get32(const std::string &b, std::size_t off)
{
    std::uint32_t v = 0;
    for (int i = 3; i >= 0; --i)
        v = (v << 8) | static_cast<unsigned char>(b[off + static_cast<std::size_t>(i)]);
    return v;
}

void put64(std::string &b, std::size_t off, std::uint64_t v)
{
    put32(b, off, static_cast<std::uint32_t>(v & 0xFFFFFFFFu));
    put32(b, off + 4, static_cast<std::uint32_t>(v >> 32));
}

// Now as a Windows FILETIME (100 ns since 1601-01-01).
std::uint64_t filetime_now()
{
    const auto secs = static_cast<std::uint64_t>(std::time(nullptr));
    return (secs + 11644473600ull) * 10000000ull;
}

// A SID as its bytes: revision 1, the identifier authority, sub-authorities.
std::string sid(std::uint8_t authority, std::initializer_list<std::uint32_t> subs)
{
    std::string s(8 + 4 * subs.size(), '\0');
    s[0] = 1;
    s[1] = static_cast<char>(subs.size());
    s[7] = static_cast<char>(authority);
    std::size_t off = 8;
    for (std::uint32_t sub : subs) {
        put32(s, off, sub);
        off += 4;
    }
    return s;
}

// Self-relative security descriptor of the root key: owner Administrators,
// group SYSTEM, full control for SYSTEM, Administrators and Everyone,
// inherited by subkeys.
std::string root_security_descriptor()
{
    const std::string system = sid(5, {18});
    const std::string admins = sid(5, {32, 544});
    const std::string everyone = sid(1, {0});
    std::string aces;
    for (const std::string *who : {&system, &admins, &everyone}) {
        std::string ace(8, '\0');
        ace[0] = 0;     // access allowed
        ace[1] = 0x03;  // object and container inherit
        put16(ace, 2, static_cast<std::uint16_t>(8 + who->size()));
        put32(ace, 4, 0x000F003F);  // KEY_ALL_ACCESS
        aces += ace + *who;
    }
    std::string acl(8, '\0');
    acl[0] = 2;  // ACL revision
    put16(acl, 2, static_cast<std::uint16_t>(8 + aces.size()));
    put16(acl, 4, 3);
    acl += aces;

    std::string sd(20, '\0');
    sd[0] = 1;                  // revision
    put16(sd, 2, 0x8004);       // self-relative, DACL present
    const std::size_t dacl_off = 20;
    const std::size_t owner_off = dacl_off + acl.size();
    const std::size_t group_off = owner_off + admins.size();
    put32(sd, 4, static_cast<std::uint32_t>(owner_off));
    put32(sd, 8, static_cast<std::uint32_t>(group_off));
    put32(sd, 12, 0);           // no SACL
    put32(sd, 16, static_cast<std::uint32_t>(dacl_off));
    return sd + acl + admins + system;
}

struct HivexCloser {
    void operator()(hive_h *h) const { hivex_close(h); }
};
using HivePtr = std::unique_ptr<hive_h, HivexCloser>;

struct FreeDeleter {
    void operator()(void *p) const { std::free(p); }
};
template <typename T>
using CPtr = std::unique_ptr<T, FreeDeleter>;

std::uint32_t write_all(int fd, const std::string &data)
{
    std::size_t done = 0;
    while (done < data.size()) {
        const ssize_t n = ::write(fd, data.data() + done, data.size() - done);
        if (n < 0) {
            if (errno == EINTR)
                continue;
            return win32_from_errno(errno);
        }
        done += static_cast<std::size_t>(n);
    }
    return kErrorSuccess;
}

std::uint32_t fsync_path(const std::string &path, int flags)
{
    const int fd = ::open(path.c_str(), flags | O_CLOEXEC);
    if (fd < 0)
        return win32_from_errno(errno);
    const int rc = ::fsync(fd);
    const int err = errno;
    ::close(fd);
    return rc == 0 ? kErrorSuccess : win32_from_errno(err);
}

std::string dir_of(const std::string &file)
{
    const auto slash = file.find_last_of('/');
    if (slash == std::string::npos)
        return ".";
    return slash == 0 ? "/" : file.substr(0, slash);
}

// Adds the values and subkeys of `key` below `node`.
std::uint32_t build(hive_h *h, hive_node_h node, const HiveKey &key)
{
    std::vector<std::string> names;
    std::vector<std::string> data;
    names.reserve(key.values.size());
    data.reserve(key.values.size());
    std::vector<hive_set_value> set;
    for (const RegValue &v : key.values) {
        names.push_back(HiveFile::to_valid_utf8(v.name));
        hive_set_value sv{};
        if (v.type == RegType::Dword) {
            std::string d(4, '\0');
            put32(d, 0, v.dword);
            data.push_back(std::move(d));
            sv.t = hive_t_REG_DWORD;
        } else {
            data.push_back(HiveFile::utf8_to_utf16le(v.text) + std::string(2, '\0'));
            sv.t = hive_t_REG_SZ;
        }
        sv.key = names.back().data();
        sv.len = data.back().size();
        sv.value = data.back().data();
        set.push_back(sv);
    }
    if (!set.empty() && hivex_node_set_values(h, node, set.size(), set.data(), 0) != 0)
        return errno == ENOMEM ? kErrorNotEnoughMemory : kErrorRegistryIoFailed;
    for (const HiveKey &sub : key.subkeys) {
        const std::string name = HiveFile::to_valid_utf8(sub.name);
        const hive_node_h child = hivex_node_add_child(h, node, name.c_str());
        if (child == 0)
            return errno == ENOMEM ? kErrorNotEnoughMemory : kErrorRegistryIoFailed;
        if (const std::uint32_t rc = build(h, child, sub); rc != kErrorSuccess)
            return rc;
    }
    return kErrorSuccess;
}

bool equal_nocase(std::string_view a, std::string_view b)
{
    if (a.size() != b.size())
        return false;
    for (std::size_t i = 0; i < a.size(); ++i) {
        auto lower = [](char c) { return c >= 'A' && c <= 'Z' ? static_cast<char>(c + 32) : c; };
        if (lower(a[i]) != lower(b[i]))
            return false;
    }
    return true;
}

struct Reader {
    hive_h *h;
    std::set<hive_node_h> seen;

    std::uint32_t read(hive_node_h node, int depth, HiveKey *out)
    {
        if (depth > kMaxDepth || seen.size() >= kMaxKeys || !seen.insert(node).second)
            return kErrorRegistryCorrupt;  // too deep, too big, or a loop

        CPtr<hive_value_h> values(hivex_node_values(h, node));
        if (!values)
            return kErrorRegistryCorrupt;
        for (const hive_value_h *v = values.get(); *v != 0; ++v) {
            CPtr<char> key(hivex_value_key(h, *v));
            if (!key)
                return kErrorRegistryCorrupt;
            RegValue rv;
            rv.name = key.get();
            if (rv.name.size() > kMaxValueNameBytes)
                return kErrorRegistryCorrupt;
            for (const RegValue &other : out->values)
                if (equal_nocase(other.name, rv.name))
                    return kErrorRegistryCorrupt;
            hive_type t{};
            std::size_t len = 0;
            CPtr<char> data(hivex_value_value(h, *v, &t, &len));
            if (!data)
                return kErrorRegistryCorrupt;
            const std::string_view bytes(data.get(), len);
            // hivex stores the file's type number as it is, which may lie
            // outside the enumeration: read it as the number it is.
            std::underlying_type_t<hive_type> raw_type{};
            static_assert(sizeof raw_type == sizeof t);
            std::memcpy(&raw_type, &t, sizeof t);
            const auto type = static_cast<std::int64_t>(raw_type);
            if (type == kRegSz || type == kRegExpandSz) {
                rv.type = RegType::String;
                rv.text = HiveFile::utf16le_to_utf8(bytes);
            } else if (type == kRegDword || type == kRegDwordBigEndian) {
                if (len != 4)
                    return kErrorRegistryCorrupt;
                std::uint32_t d = 0;
                for (int i = 0; i < 4; ++i) {
                    const int idx = type == kRegDword ? 3 - i : i;
                    d = (d << 8) | static_cast<unsigned char>(bytes[static_cast<std::size_t>(idx)]);
                }
                rv.type = RegType::Dword;
                rv.dword = d;
            } else {
                return kErrorInvalidData;  // binary, multi-string, qword, ...
            }
            out->values.push_back(std::move(rv));
        }

        CPtr<hive_node_h> children(hivex_node_children(h, node));
        if (!children)
            return kErrorRegistryCorrupt;
        for (const hive_node_h *c = children.get(); *c != 0; ++c) {
            CPtr<char> name(hivex_node_name(h, *c));
            if (!name)
                return kErrorRegistryCorrupt;
            HiveKey sub;
            sub.name = name.get();
            if (sub.name.empty() || sub.name.size() > kMaxKeyNameBytes ||
                sub.name.find('\\') != std::string::npos)
                return kErrorRegistryCorrupt;
            for (const HiveKey &other : out->subkeys)
                if (equal_nocase(other.name, sub.name))
                    return kErrorRegistryCorrupt;
            if (const std::uint32_t rc = read(*c, depth + 1, &sub); rc != kErrorSuccess)
                return rc;
            out->subkeys.push_back(std::move(sub));
        }
        return kErrorSuccess;
    }
};

// Appends the UTF-8 form of code point `cp`.
void append_utf8(std::string &out, std::uint32_t cp)
{
    if (cp < 0x80) {
        out += static_cast<char>(cp);
    } else if (cp < 0x800) {
        out += static_cast<char>(0xC0 | (cp >> 6));
        out += static_cast<char>(0x80 | (cp & 0x3F));
    } else if (cp < 0x10000) {
        out += static_cast<char>(0xE0 | (cp >> 12));
        out += static_cast<char>(0x80 | ((cp >> 6) & 0x3F));
        out += static_cast<char>(0x80 | (cp & 0x3F));
    } else {
        out += static_cast<char>(0xF0 | (cp >> 18));
        out += static_cast<char>(0x80 | ((cp >> 12) & 0x3F));
        out += static_cast<char>(0x80 | ((cp >> 6) & 0x3F));
        out += static_cast<char>(0x80 | (cp & 0x3F));
    }
}

// Decodes the code points of `text`; a byte that does not start a valid
// UTF-8 sequence (overlong forms, surrogates and values past U+10FFFF are
// not valid) is the Latin-1 character of its value.
template <typename Sink>
void decode_utf8(std::string_view text, Sink sink)
{
    std::size_t i = 0;
    while (i < text.size()) {
        const auto b0 = static_cast<unsigned char>(text[i]);
        std::uint32_t cp = b0;
        std::size_t len = 1;
        if (b0 >= 0xC2 && b0 <= 0xF4) {
            const std::size_t need = b0 < 0xE0 ? 2 : b0 < 0xF0 ? 3 : 4;
            if (i + need <= text.size()) {
                std::uint32_t v = b0 & (need == 2 ? 0x1F : need == 3 ? 0x0F : 0x07);
                bool ok = true;
                for (std::size_t k = 1; k < need && ok; ++k) {
                    const auto b = static_cast<unsigned char>(text[i + k]);
                    ok = (b & 0xC0) == 0x80;
                    v = (v << 6) | (b & 0x3F);
                }
                const std::uint32_t min = need == 2 ? 0x80 : need == 3 ? 0x800 : 0x10000;
                if (ok && v >= min && v <= 0x10FFFF && !(v >= 0xD800 && v <= 0xDFFF)) {
                    cp = v;
                    len = need;
                }
            }
        }
        sink(cp);
        i += len;
    }
}

} // namespace

std::string HiveFile::utf8_to_utf16le(std::string_view text)
{
    std::string out;
    out.reserve(text.size() * 2);
    auto unit = [&out](std::uint32_t u) {
        out += static_cast<char>(u & 0xFF);
        out += static_cast<char>((u >> 8) & 0xFF);
    };
    decode_utf8(text, [&](std::uint32_t cp) {
        if (cp >= 0x10000) {
            cp -= 0x10000;
            unit(0xD800 | (cp >> 10));
            unit(0xDC00 | (cp & 0x3FF));
        } else {
            unit(cp);
        }
    });
    return out;
}

std::string HiveFile::to_valid_utf8(std::string_view text)
{
    std::string out;
    out.reserve(text.size());
    decode_utf8(text, [&out](std::uint32_t cp) { append_utf8(out, cp); });
    return out;
}

std::string HiveFile::utf16le_to_utf8(std::string_view bytes)
{
    std::string out;
    const std::size_t units = bytes.size() / 2;  // an odd last byte is dropped
    auto at = [&bytes](std::size_t i) {
        return static_cast<std::uint32_t>(static_cast<unsigned char>(bytes[2 * i])) |
               (static_cast<std::uint32_t>(static_cast<unsigned char>(bytes[2 * i + 1])) << 8);
    };
    for (std::size_t i = 0; i < units; ++i) {
        std::uint32_t u = at(i);
        if (u == 0)
            break;  // the terminator; anything behind it is not part of the text
        if (u >= 0xD800 && u <= 0xDBFF && i + 1 < units && at(i + 1) >= 0xDC00 &&
            at(i + 1) <= 0xDFFF) {
            u = 0x10000 + ((u - 0xD800) << 10) + (at(i + 1) - 0xDC00);
            ++i;
        } else if (u >= 0xD800 && u <= 0xDFFF) {
            u = 0xFFFD;  // a lone surrogate
        }
        append_utf8(out, u);
    }
    return out;
}

std::string HiveFile::empty_hive()
{
    constexpr std::size_t kBase = 0x1000;
    constexpr std::size_t kBin = 0x1000;
    constexpr std::uint32_t kRootCell = 0x20;  // offsets count from the first hbin
    std::string hive(kBase + kBin, '\0');
    const std::uint64_t now = filetime_now();

    // Root key (nk): a hive entry that cannot be deleted, ASCII name.
    const std::size_t name_len = sizeof kRootName - 1;
    const std::uint32_t nk_size = static_cast<std::uint32_t>((0x50 + name_len + 7) & ~std::size_t{7});
    const std::string sd = root_security_descriptor();
    const std::uint32_t sk_cell = kRootCell + nk_size;
    const std::uint32_t sk_size = static_cast<std::uint32_t>((0x18 + sd.size() + 7) & ~std::size_t{7});
    const std::uint32_t free_cell = sk_cell + sk_size;

    // Base block.
    hive.replace(0, 4, "regf");
    put32(hive, 0x04, 1);          // primary sequence number
    put32(hive, 0x08, 1);          // secondary sequence number (equal: consistent)
    put64(hive, 0x0C, now);
    put32(hive, 0x14, 1);          // major version
    put32(hive, 0x18, 3);          // minor version
    put32(hive, 0x1C, 0);          // primary file
    put32(hive, 0x20, 1);          // direct memory load
    put32(hive, 0x24, kRootCell);
    put32(hive, 0x28, kBin);       // size of the hive bins data
    put32(hive, 0x2C, 1);          // clustering factor
    std::uint32_t sum = 0;
    for (std::size_t off = 0; off < 0x1FC; off += 4)
        sum ^= get32(hive, off);
    if (sum == 0)
        sum = 1;
    else if (sum == 0xFFFFFFFFu)
        sum = 0xFFFFFFFEu;
    put32(hive, 0x1FC, sum);

    // The hive bin.
    const std::size_t bin = kBase;
    hive.replace(bin, 4, "hbin");
    put32(hive, bin + 0x04, 0);    // offset of this bin
    put32(hive, bin + 0x08, kBin);
    put64(hive, bin + 0x14, now);

    const std::size_t nk = bin + kRootCell;
    put32(hive, nk, static_cast<std::uint32_t>(-static_cast<std::int32_t>(nk_size)));
    hive.replace(nk + 4, 2, "nk");
    put16(hive, nk + 0x06, 0x002C);
    put64(hive, nk + 0x08, now);
    put32(hive, nk + 0x14, 0);              // parent (none)
    put32(hive, nk + 0x18, 0);              // subkeys
    put32(hive, nk + 0x1C, 0);              // volatile subkeys
    put32(hive, nk + 0x20, 0xFFFFFFFFu);    // subkey list
    put32(hive, nk + 0x24, 0xFFFFFFFFu);    // volatile subkey list
    put32(hive, nk + 0x28, 0);              // values
    put32(hive, nk + 0x2C, 0xFFFFFFFFu);    // value list
    put32(hive, nk + 0x30, sk_cell);
    put32(hive, nk + 0x34, 0xFFFFFFFFu);    // class name
    put16(hive, nk + 0x4C, static_cast<std::uint16_t>(name_len));
    hive.replace(nk + 0x50, name_len, kRootName);

    // Its security (sk), alone in the circular list of security cells.
    const std::size_t sk = bin + sk_cell;
    put32(hive, sk, static_cast<std::uint32_t>(-static_cast<std::int32_t>(sk_size)));
    hive.replace(sk + 4, 2, "sk");
    put32(hive, sk + 0x08, sk_cell);        // next
    put32(hive, sk + 0x0C, sk_cell);        // previous
    put32(hive, sk + 0x10, 1);              // reference count
    put32(hive, sk + 0x14, static_cast<std::uint32_t>(sd.size()));
    hive.replace(sk + 0x18, sd.size(), sd);

    // The rest of the bin is one free cell.
    put32(hive, bin + free_cell, static_cast<std::uint32_t>(kBin - free_cell));
    return hive;
}

std::uint32_t HiveFile::save(const HiveKey &root, const std::string &file)
{
    struct stat st {};
    if (::lstat(file.c_str(), &st) == 0)
        return kErrorAlreadyExists;
    if (errno != ENOENT)
        return win32_from_errno(errno);

    // Build the hive in a temporary file beside the target, then move it
    // into place without replacing anything that appeared meanwhile.
    std::string tmp = file + ".XXXXXX";
    const int fd = ::mkostemp(tmp.data(), O_CLOEXEC);
    if (fd < 0)
        return errno == ENOENT ? kErrorPathNotFound : win32_from_errno(errno);
    struct TmpGuard {
        std::string path;
        bool keep = false;
        ~TmpGuard()
        {
            if (!keep)
                ::unlink(path.c_str());
        }
    } guard{tmp};

    std::uint32_t rc = write_all(fd, empty_hive());
    if (::close(fd) != 0 && rc == kErrorSuccess)
        rc = win32_from_errno(errno);
    if (rc != kErrorSuccess)
        return rc;

    {
        HivePtr h(hivex_open(tmp.c_str(), HIVEX_OPEN_WRITE));
        if (!h)
            return kErrorRegistryIoFailed;
        rc = build(h.get(), hivex_root(h.get()), root);
        if (rc != kErrorSuccess)
            return rc;
        if (hivex_commit(h.get(), nullptr, 0) != 0)
            return win32_from_errno(errno);
    }
    if ((rc = fsync_path(tmp, O_RDONLY)) != kErrorSuccess)
        return rc;

    if (::renameat2(AT_FDCWD, tmp.c_str(), AT_FDCWD, file.c_str(), RENAME_NOREPLACE) == 0) {
        guard.keep = true;
    } else if (errno == EINVAL || errno == ENOSYS) {
        // The file system cannot rename without replacing: a hard link
        // refuses an existing name as well.
        if (::link(tmp.c_str(), file.c_str()) != 0)
            return win32_from_errno(errno);
    } else {
        return win32_from_errno(errno);
    }
    fsync_path(dir_of(file), O_RDONLY | O_DIRECTORY);  // best effort: the file itself is synced
    return kErrorSuccess;
}

std::uint32_t HiveFile::load(const std::string &file, HiveKey *root)
{
    const int fd = ::open(file.c_str(), O_RDONLY | O_CLOEXEC);
    if (fd < 0)
        return errno == ENOENT ? kErrorFileNotFound : win32_from_errno(errno);
    struct stat st {};
    std::array<char, 4> magic{};
    const bool regular = ::fstat(fd, &st) == 0 && S_ISREG(st.st_mode);
    const ssize_t n = regular ? ::read(fd, magic.data(), magic.size()) : -1;
    ::close(fd);
    if (!regular || n != 4 || std::string_view(magic.data(), 4) != "regf")
        return kErrorNotRegistryFile;
    if (st.st_size > kMaxHiveBytes)
        return kErrorNotEnoughMemory;

    // Opened for writing only so that hivex reads the file into memory
    // instead of mapping it: a file that shrinks while it is read cannot
    // fault then.  Nothing is ever committed.
    HivePtr h(hivex_open(file.c_str(), HIVEX_OPEN_WRITE));
    if (!h)
        return errno == ENOMEM ? kErrorNotEnoughMemory : kErrorRegistryCorrupt;
    const hive_node_h top = hivex_root(h.get());
    if (top == 0)
        return kErrorRegistryCorrupt;
    HiveKey result;
    Reader reader{h.get(), {}};
    if (const std::uint32_t rc = reader.read(top, 0, &result); rc != kErrorSuccess)
        return rc;
    *root = std::move(result);
    return kErrorSuccess;
}

} // namespace platform
