#include <gtest/gtest.h>

#include "commands/firmware_glance.h"
#include "commands/module_csv.h"
#include "operations/firmware_folder.h"
#include "tests/unit/operations/operations_fixture.h"

namespace tarrowind {
namespace {

DeviceRecord Module(const std::string& model, const std::string& version, std::int32_t status = kStatusLoginSuccessfully,
                    ModuleKind kind = ModuleKind::Web)
{
    DeviceRecord r;
    r.model = model;
    r.version = version;
    r.status = status;
    r.kind = kind;
    return r;
}

TEST(FirmwareGlance, SaysWhetherTheListNamesNewerFirmwareForLoggedInWebModules)
{
    testing::TempDir dir;
    dir.Write(kFirmwareListFile, "[QT-DC500]\nVersion=3.21.0\nDate=7\nFile=a.bin\n"
                                 "[QT-DC410]\nVersion=3.21.0\nDate=7\nFile=b.bin\n");
    const FirmwareGlance glance(dir.path);
    struct Case {
        DeviceRecord record;
        bool loggedInOnly;
        FirmwareStanding standing;
        const char* latest;
        const char* exported;
    };
    const Case cases[] = {
        {Module("QT-DC500", "V3.21.0-6"), true, FirmwareStanding::UpdateAvailable, "V3.21.0-7", "yes"},
        {Module("QT-DC500", "V3.21.0-7"), true, FirmwareStanding::UpToDate, "V3.21.0-7", "no"},
        {Module("QT-DC500", "V3.22.0-1"), true, FirmwareStanding::UpToDate, "V3.21.0-7", "no"},
        {Module("QT-DC999", "V1.0.0-1"), true, FirmwareStanding::NotListed, "", "not listed"},
        // An old controller the update to latest never offers is still not on the newest firmware.
        {Module("QT-DC410", "V1.0.9-5"), true, FirmwareStanding::UpdateAvailable, "V3.21.0-7", "yes"},
        {Module("QT-DC500", "V1.0.0-1", kStatusNone), true, FirmwareStanding::Unknown, "", ""},
        {Module("QT-DC500", "V1.0.0-1", kStatusLoginFailed), true, FirmwareStanding::Unknown, "", ""},
        {Module("QT-DC500", "V1.0.0-1", kStatusNone), false, FirmwareStanding::UpdateAvailable, "V3.21.0-7", "yes"},
        {Module("QT-DC500", "V1.0.0-1", kStatusLoginSuccessfully, ModuleKind::BinaryDactyl), false,
         FirmwareStanding::Unknown, "", ""},
    };
    for (const Case& c : cases) {
        DeviceRecord r = c.record;
        r.latestVersion = "stale";
        glance.Apply(r, c.loggedInOnly);
        EXPECT_EQ(r.firmwareStanding, c.standing) << r.model << " " << r.version << " " << r.status;
        EXPECT_EQ(r.latestVersion, c.latest) << r.model << " " << r.version;
        EXPECT_EQ(RowTextsOf(r, "", "").updateAvailable, c.exported) << r.model << " " << r.version;
    }

    // Without a folder nothing is said, even where a list file lies in the working folder.
    DeviceRecord r = Module("QT-DC500", "V1.0.0-1");
    FirmwareGlance().Apply(r, true);
    EXPECT_EQ(r.firmwareStanding, FirmwareStanding::Unknown);
    EXPECT_FALSE(FirmwareGlance().HasFolder());
}

}  // namespace
}  // namespace tarrowind
