// The client side of the control socket: `adapter-sim ctl TARGET COMMAND...`.
#pragma once

#include <string>

namespace adapter_sim {

class ControlClient {
public:
    // TARGET is an adapter name (looked up in `dir`), the path of an adapter
    // socket, or the path of a control socket (ending in ".ctl").
    static std::string resolve(const std::string &target, const std::string &dir);

    // Sends one command line and returns the whole reply; false with `error`
    // set when the control socket cannot be reached or does not answer.
    static bool send(const std::string &control_path, const std::string &command,
                     std::string &reply, std::string &error);
};

} // namespace adapter_sim
