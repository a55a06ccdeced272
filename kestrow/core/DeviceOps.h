// The table of driver operations through which Kestrow reaches the device
// library.  Every call of ecom_connect, ecom_disconnect and ecom_exec_oid in
// the program goes through the installed table, so tests can put a recording
// fake in place of the library.
#pragma once

namespace kestrow {

struct DeviceOps {
    // ecom_connect: "SEARCH" opens the first adapter that answers; 0 or 50.
    int (*connect)(const char *name);
    // ecom_disconnect: always 0.
    int (*disconnect)();
    // ecom_exec_oid: sends one 15376-byte request_record and replaces it with
    // the answer; 0 when carried, 21 when refused (record untouched).
    int (*exec_oid)(void *record);
};

// The library's own functions.  Without the library in the build every call
// reports failure (no adapter can be opened, every request is refused).
const DeviceOps &DefaultDeviceOps();

// The table in use.  Installing is meant for start-up and tests, before any
// other thread uses the device: a call running on another thread keeps the
// table it started with.
const DeviceOps &CurrentDeviceOps();

// Installs `ops` (null: the library's own functions again).  The table must
// stay alive while installed.  Returns the table installed before.
const DeviceOps *InstallDeviceOps(const DeviceOps *ops);

} // namespace kestrow
