#include "UiFixture.h"

#include <cstdlib>

#include "KestrowApp.h"
#include "ProfileMngr.h"
#include "StationMngr.h"
#include "ScenarioBuilder.h"
#include "platform/Registry.h"

namespace kestrow::test {

std::string TwoNetworks(const std::string &adapterKeys)
{
    using ktest::ScenarioBuilder;
    return ScenarioBuilder().Seed(7).Adapter("sim0").Set("scan_time", 1).Text() + adapterKeys +
           ScenarioBuilder()
               .Network("KestrowNet", "00:11:22:33:44:55", 6).Set("phy", "g").Set("signal", -61)
               .Network("LegacyB", "00:11:22:33:44:66", 11).Set("phy", "b").Set("signal", -75)
               .Text();
}

CUiFixture::CUiFixture() : sim(dir.File("adapters"))
{
    sim.ExportEnvironment();
    ::setenv("LUNMARK_DATA_DIR", KESTROW_TEST_LUNMARK_DATA, 1);
    platform::Registry::set_current_user_path(RegistryPath());
    ResetTheApp();
}

CUiFixture::~CUiFixture()
{
    CKestrowApp &app = theApp();
    app.Shutdown();
    app.SetStationMngr(nullptr);
    app.SetProfileMngr(nullptr);
    app.DisconnectDriver();
    sim.Stop();
    ResetTheApp();
}

std::vector<std::string> CUiFixture::TakeMessages()
{
    std::vector<std::string> texts = sink.Texts();
    sink.shown.clear();
    return texts;
}

} // namespace kestrow::test
