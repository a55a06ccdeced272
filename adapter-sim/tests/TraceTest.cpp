// The shipped INI and XML files name every message and module the trace
// generator uses.  (The block itself is read by lunmark's own parser in the
// process tests.)
#include "SimTestUtil.h"

#include "TraceGenerator.h"

#include <gtest/gtest.h>

#include <cstdio>

using namespace adapter_sim;
using namespace sim_test;

TEST(TraceTest, DataFilesNameEveryMessageAndModule) {
    const std::string ini = ktest::ReadFile(ADAPTER_SIM_SOURCE_DIR "/data/zentil_ReportMessages.ini");
    const std::string xml = ktest::ReadFile(ADAPTER_SIM_SOURCE_DIR "/data/ZarurUdo.xml");
    ASSERT_FALSE(ini.empty());
    ASSERT_FALSE(xml.empty());
    struct M {
        int count, module, id;
    };
    const M messages[] = {
        {2, trace::kModHost, trace::kMsgFirmwareStarted}, {0, trace::kModHost, trace::kMsgStatsCleared},
        {1, trace::kModHost, trace::kMsgMiscMessage},     {2, trace::kModHost, trace::kMsgEepromWrite},
        {1, trace::kModScan, trace::kMsgScanStart},       {2, trace::kModScan, trace::kMsgScanDone},
        {1, trace::kModMlme, trace::kMsgJoin},            {2, trace::kModMlme, trace::kMsgAssociated},
        {1, trace::kModMlme, trace::kMsgAssocFailed},     {1, trace::kModMlme, trace::kMsgIbssStarted},
        {2, trace::kModSec, trace::kMsgKeySet},           {0, trace::kModSec, trace::kMsgKeysCleared},
        {1, trace::kModLink, trace::kMsgLinkLost},        {2, trace::kModModem, trace::kMsgRegWrite},
    };
    for (const M &m : messages) {
        char key[16];
        std::snprintf(key, sizeof key, "\n%02x%02x%04x=\"", m.count, m.module, m.id);
        EXPECT_NE(ini.find(key), std::string::npos) << "INI lacks " << key + 1;
    }
    // The module list must be the file's first element (the reader takes
    // only that one) and name every tag.
    EXPECT_EQ(xml.rfind("<ZarurUdo>", 0), 0u);
    for (int tag = 1; tag <= 6; ++tag)
        EXPECT_NE(xml.find("tag=\"" + std::to_string(tag) + "\"/>"), std::string::npos) << tag;
}
