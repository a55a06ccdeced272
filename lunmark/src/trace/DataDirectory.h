// DataDirectory: where the library's data files (message formats, module
// names) are found.
#pragma once

#include <string>
#include <string_view>

namespace lunmark {

class DataDirectory {
public:
    // $LUNMARK_DATA_DIR when set and not empty, else the installed share
    // directory the library was built for.
    static std::string directory();
    // A bare file name is looked up in directory(); a name containing a
    // slash is used as given.
    static std::string resolve(std::string_view name);
};

} // namespace lunmark
