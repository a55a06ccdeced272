// The "trace" sub-command of lunmark-tool.
#pragma once

// Runs "lunmark-tool trace ...": argv[0] is "trace", the rest are its
// arguments.  Returns the process exit code.
int run_trace_command(int argc, char **argv);
