// CProfileIcons: the pictures of the Profiles page, drawn at 16 x 16: the
// connected mark of its lists and its priority arrows.
#pragma once

#include <QIcon>

namespace kestrow {

class CProfileIcons {
public:
    static constexpr int kSize = 16;
    // A green disc with a white tick.
    static QIcon Connected();
    // An arrow up or down, with its own disabled picture.
    static QIcon Arrow(bool up);
};

} // namespace kestrow
