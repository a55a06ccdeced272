// The link's history ring and the events made from successive readings.
#include <gtest/gtest.h>

#include "LinkEvents.h"
#include "LinkHistory.h"

namespace kestrow {
namespace {

TEST(LinkHistoryTest, KeepsTheNewestSamplesOldestFirstAndClears)
{
    CLinkHistory h;
    const std::size_t total = CLinkHistory::kCapacity + 25;
    for (std::size_t i = 0; i < total; ++i)
        h.Add({static_cast<int>(i), static_cast<std::int32_t>(i), 0});
    ASSERT_EQ(h.Size(), CLinkHistory::kCapacity);
    EXPECT_EQ(h.At(0).rxKBps, 25);
    EXPECT_EQ(h.At(CLinkHistory::kCapacity - 1).rxKBps, static_cast<std::int32_t>(total - 1));
    const auto samples = h.Samples();
    for (std::size_t i = 1; i < samples.size(); ++i)
        ASSERT_EQ(samples[i].rxKBps, samples[i - 1].rxKBps + 1);
    h.Clear();
    EXPECT_EQ(h.Size(), 0u);
    h.Add({std::nullopt, 7, 8});
    EXPECT_FALSE(h.At(0).signalDbm.has_value());
    EXPECT_EQ(h.At(0).txKBps, 8);
}

std::vector<std::string> Kinds(const std::vector<CLinkEvent> &events)
{
    std::vector<std::string> out;
    for (const auto &e : events)
        out.push_back(std::string(CLinkEvent::KindName(e.kind)) + (e.ssid.empty() ? "" : " " + e.ssid));
    return out;
}

TEST(LinkEventsTest, ReportsEachChangeOnceAndNothingForTheStartingPoint)
{
    using S = CLinkState;
    constexpr auto P = AdapterState::Present;
    CLinkEvents ev;
    // Already connected at the first reading: nothing to tell.
    EXPECT_TRUE(ev.Update(S{P, true, "Home", -60, false}).empty());
    EXPECT_TRUE(ev.Update(S{P, true, "Home", -62, false}).empty());  // same level
    EXPECT_EQ(Kinds(ev.Update(S{P, true, "Home", -75, false})), std::vector<std::string>{"signal Home"});
    EXPECT_EQ(Kinds(ev.Update(S{P, true, "Cafe", -75, true})), std::vector<std::string>{"connected Cafe"});
    EXPECT_EQ(Kinds(ev.Update(S{P, false, "", {}, false})),
              (std::vector<std::string>{"lost Cafe", "scan-finished"}));
    EXPECT_TRUE(ev.Update(S{P, false, "", {}, false}).empty());
    // The adapter goes while connected: one event, not a loss as well.
    EXPECT_TRUE(Kinds(ev.Update(S{P, true, "Cafe", -50, false})).size() == 1);
    EXPECT_EQ(Kinds(ev.Update(S{AdapterState::Removed, false, "", {}, false})),
              std::vector<std::string>{"adapter-removed"});
    const auto back = ev.Update(S{AdapterState::Returned, true, "Cafe", -50, false});
    EXPECT_EQ(Kinds(back), (std::vector<std::string>{"adapter-found", "connected Cafe"}));
    ASSERT_TRUE(back[1].level.has_value());
    EXPECT_STREQ(CLinkEvent::LevelName(*back[1].level), "excellent");
}

} // namespace
} // namespace kestrow
