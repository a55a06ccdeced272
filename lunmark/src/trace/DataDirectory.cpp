#include "trace/DataDirectory.h"

#include <cstdlib>

#ifndef LUNMARK_DATA_INSTALL_DIR
#define LUNMARK_DATA_INSTALL_DIR "/usr/local/share/lunmark"
#endif

namespace lunmark {

std::string DataDirectory::directory()
{
    const char* env = std::getenv("LUNMARK_DATA_DIR");
    if (env != nullptr && env[0] != '\0')
        return env;
    return LUNMARK_DATA_INSTALL_DIR;
}

std::string DataDirectory::resolve(std::string_view name)
{
    if (name.find('/') != std::string_view::npos)
        return std::string(name);
    std::string dir = directory();
    if (!dir.empty() && dir.back() != '/')
        dir.push_back('/');
    return dir + std::string(name);
}

} // namespace lunmark
