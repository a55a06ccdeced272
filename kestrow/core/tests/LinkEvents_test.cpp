// The link's history ring, the events made from successive readings and
// which of them become notifications.
#include <gtest/gtest.h>

#include "LinkEvents.h"
#include "LinkHistory.h"
#include "NotificationPolicy.h"

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
    EXPECT_EQ(h.Samples().back().rxKBps, static_cast<std::int32_t>(total - 1));
    h.Clear();
    EXPECT_EQ(h.Size(), 0u);
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

using namespace std::chrono_literals;
using K = CLinkEvent::Kind;
const auto t0 = CNotificationPolicy::Clock::time_point{} + 1000s;

TEST(NotificationPolicyTest, QuietAtStartForTheUsersOwnConnectAndWhenSwitchedOff)
{
    CNotificationPolicy policy(t0);
    const CLinkEvent home{K::Connected, "Home", -60, SignalLevel::Excellent};
    const CLinkEvent lost{K::Lost, "Home", {}, {}};
    EXPECT_TRUE(policy.Take({home}, t0 + 1s).empty());  // start-up shows it
    EXPECT_EQ(policy.Take({lost}, t0 + 20s).size(), 1u);
    // The user connects in the window: neither the switch nor the result.
    policy.ExpectUserConnect("Cafe", t0 + 40s);
    EXPECT_TRUE(policy.Take({CLinkEvent{K::Connected, "Cafe", -70, {}}}, t0 + 42s).empty());
    // Only link and adapter changes are told.
    EXPECT_TRUE(policy.Take({CLinkEvent{K::SignalChanged, "Cafe", -80, {}}, CLinkEvent{K::ScanFinished, {}, {}, {}}},
                            t0 + 50s)
                    .empty());
    policy.SetEnabled(false);
    EXPECT_TRUE(policy.Take({lost, CLinkEvent{K::AdapterRemoved, {}, {}, {}}}, t0 + 60s).empty());
}

TEST(NotificationPolicyTest, AFlappingLinkIsToldOnceAndThenOnlyTheStateItEndsIn)
{
    CNotificationPolicy policy(t0 - 60s);
    const CLinkEvent up{K::Connected, "Home", -60, {}};
    const CLinkEvent down{K::Lost, "Home", {}, {}};
    std::vector<CLinkEvent> told;
    auto take = [&](std::vector<CLinkEvent> events, std::chrono::seconds at) {
        for (const auto &e : policy.Take(events, t0 + at))
            told.push_back(e);
    };
    take({down}, 0s);
    for (int i = 1; i <= 3; ++i)
        take({i % 2 ? up : down}, std::chrono::seconds(i));  // ends connected
    take({}, 6s);
    ASSERT_EQ(told.size(), 2u);
    EXPECT_EQ(told[0].kind, K::Lost);
    EXPECT_EQ(told[1].kind, K::Connected);
    // Flapping back to what was told last tells nothing more.
    take({down}, 7s);
    take({up}, 8s);
    take({}, 20s);
    EXPECT_EQ(told.size(), 2u);
    // After the adapter was away, the same network again is news.
    take({CLinkEvent{K::AdapterRemoved, {}, {}, {}}}, 30s);
    take({CLinkEvent{K::AdapterFound, {}, {}, {}}, up}, 40s);
    ASSERT_EQ(told.size(), 5u);
    EXPECT_EQ(told[4].kind, K::Connected);
}

} // namespace
} // namespace kestrow
