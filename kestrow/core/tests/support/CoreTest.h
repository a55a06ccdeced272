// The fixture most core tests share: a fresh application object over an
// empty application key, both lock gates made, and the recording fake as the
// device library (answering "not connected").  Tests add the store, station
// list or polling thread they need.
#pragma once

#include <gtest/gtest.h>

#include <string>

#include "KestrowApp.h"
#include "support/FakeDevice.h"

namespace kestrow::test {

class CoreTest : public ::testing::Test {
protected:
    void SetUp() override;
    static CKestrowApp &app() { return theApp(); }

    FakeDevice fake_;
};

// Saves "Profile <index>" named `name` for the 802.11g infrastructure
// network `ssid`, with the auto-selection flag and priority given, and
// raises the number of stored profiles the store loads to cover it.
void SaveProfile(int index, const std::string &name, const std::string &ssid, int priority,
                 bool member = true);

} // namespace kestrow::test
