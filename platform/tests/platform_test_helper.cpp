// Started by the cross-process tests of the platform library.
//
//   platform_test_helper mutex NAME
//       takes the named mutex (test only), prints "locked" or "busy", then
//       on the line "release" releases it and prints "released"; ends at EOF.
//   platform_test_helper registry DB KEY COUNT
//       opens the registry, prints "ready", waits for a line, then writes
//       COUNT values under KEY and adds 1 to "Counter" of "Shared" COUNT
//       times, each in its own transaction; prints "done" or the error.
#include <cstdint>
#include <cstdlib>
#include <iostream>
#include <string>

#include "platform/NamedMutex.h"
#include "platform/Registry.h"

namespace {

int hold_mutex(const std::string &name)
{
    platform::NamedMutex mutex(name);
    if (!mutex.valid()) {
        std::cout << "invalid" << std::endl;
        return 2;
    }
    const platform::WaitResult r = mutex.wait(0);
    std::cout << (r == platform::WaitResult::Signaled ? "locked" : "busy") << std::endl;
    std::string line;
    while (std::getline(std::cin, line)) {
        if (line == "release") {
            std::cout << (mutex.release() ? "released" : "not-owner") << std::endl;
        }
    }
    return 0;
}

int write_registry(const std::string &db, const std::string &key, int count)
{
    std::uint32_t error = 0;
    auto reg = platform::Registry::open(db, &error);
    if (!reg) {
        std::cout << "open-error " << error << std::endl;
        return 2;
    }
    std::cout << "ready" << std::endl;
    std::string go;
    std::getline(std::cin, go);
    for (int i = 0; i < count; ++i) {
        std::uint32_t rc = reg->set_dword(key, "v" + std::to_string(i), static_cast<std::uint32_t>(i));
        if (rc == 0) {
            rc = reg->transact([&]() -> std::uint32_t {
                std::uint32_t n = 0;
                const std::uint32_t q = reg->query_dword("Shared", "Counter", &n);
                if (q != 0 && q != 2)
                    return q;
                return reg->set_dword("Shared", "Counter", n + 1);
            });
        }
        if (rc != 0) {
            std::cout << "error " << rc << std::endl;
            return 3;
        }
    }
    std::cout << "done" << std::endl;
    return 0;
}

} // namespace

int main(int argc, char **argv)
{
    const std::string mode = argc > 1 ? argv[1] : "";
    if (mode == "mutex" && argc == 3)
        return hold_mutex(argv[2]);
    if (mode == "registry" && argc == 5)
        return write_registry(argv[2], argv[3], std::atoi(argv[4]));
    std::cerr << "usage: platform_test_helper mutex NAME | registry DB KEY COUNT\n";
    return 64;
}
