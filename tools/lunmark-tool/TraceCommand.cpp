#include "TraceCommand.h"

#include <cstdio>

int run_trace_command(int, char **) {
    std::fprintf(stderr, "lunmark-tool: trace is not built\n");
    return 1;
}
