// The scenario the adapter harness plays, shared with the seed writer.
#pragma once

namespace fuzz_support {

// Small but with every kind of network: open, WEP, hidden, 5 GHz and ad
// hoc, and a scheduled link drop.
const char *const kScenario =
    "seed = 7\n"
    "[adapter fz0]\nmac = 00:0E:2E:00:00:01\nreg_domain = 0x10\ndriver_version = 1.2.3.4\n"
    "firmware = 0x00020001 0x00050013\nnvm = 0x0002 0x0011\neeprom_size = 512\n"
    "traffic = 25 80 320 1100\nscan_time = 1000\nlink_drop_at = 60000\n"
    "reg7 = 0x0010 0xCAFE0001\n"
    "[network]\nssid = Open\nbssid = 00:00:00:00:00:01\nchannel = 1\nsignal = -50\n"
    "[network]\nssid = Home\nbssid = 00:00:00:00:00:02\nchannel = 6\nsignal = -60\nphy = b\n"
    "security = wep\nwep_key = 0 0123456789\n"
    "[network]\nssid = Hidden\nbssid = 00:00:00:00:00:03\nchannel = 11\nsignal = -70\nhidden = yes\n"
    "[network]\nssid = Five\nbssid = 00:00:00:00:00:04\nchannel = 36\nsignal = -65\nphy = a\n"
    "[network]\nssid = Party\nbssid = 00:00:00:00:00:05\nchannel = 3\nsignal = -72\nmode = adhoc\n"
    "phy = b\n";

} // namespace fuzz_support
