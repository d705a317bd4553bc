#include <gtest/gtest.h>

#include <cstdlib>
#include <map>
#include <optional>

#include "operations/firmware_folder.h"
#include "platform/system_profile.h"
#include "tests/unit/operations/operations_fixture.h"

namespace tarrowind {
namespace {

struct FirmwareListTest : ::testing::Test {
    testing::TempDir dir;
    std::string file = "kept", file2 = "kept2";
    void List(const std::string& text) const { dir.Write(kFirmwareListFile, text); }
    std::int32_t Check(const std::string& model, const std::string& version)
    {
        return CheckLatestFirmware(dir.path, model, version, &file, &file2);
    }
};

TEST_F(FirmwareListTest, ComparesTheVersionKeyThenTheBuildNumber)
{
    EXPECT_EQ(VersionKey(1, 10, 0), "000100100000");
    struct Case {
        const char *listVersion, *listDate, *moduleVersion;
        std::int32_t expected;
    };
    const Case cases[] = {
        {"1.2.3", "101", "V1.2.3-100", 1}, {"1.2.3", "100", "V1.2.3-100", 0}, {"1.2.4", "1", "V1.2.3-100", 1},
        {"1.2.2", "999", "V1.2.3-100", 0}, {"1.9.9", "5", "V1.10.0-1", 0},    {"1.10.0", "0", "V1.9.9-7", 1},
        {"1.2", "1", "V1.2.0-0", 1},       {"1.2.3", "-1", "V1.2.3-0", 0},    {"1.2.0", "1", "V1.2R3", 1},
        {"1.2.0", "0", "V1.2R3", 0},
    };
    for (const Case& c : cases) {
        List(std::string("[QT-DC500]\nVersion=") + c.listVersion + "\nDate=" + c.listDate + "\nFile=a.bin\n");
        EXPECT_EQ(Check("QT-DC500", c.moduleVersion), c.expected) << c.listVersion << " " << c.moduleVersion;
    }
}

TEST_F(FirmwareListTest, NewerFirmwareSetsBothFilesFromTheFolder)
{
    List("[QT-DC500]\nVersion=2.0.0\nDate=1\nFile=a.bin\nFile2=b.bin\n");
    EXPECT_EQ(Check("QT-DC500", "V1.0.0-1"), 1);
    EXPECT_EQ(file, dir.path + "a.bin");
    EXPECT_EQ(file2, dir.path + "b.bin");
    EXPECT_EQ(CheckLatestFirmware(dir.path, "QT-DC500", "V1.0.0-1", nullptr, nullptr), 1);

    List("[qt-dc500]\nVERSION=2.0.0\ndate=1\nfile=c.bin\n");  // names match in any case
    EXPECT_EQ(Check("QT-DC500", "V1.0.0-1"), 1);
    EXPECT_EQ(file, dir.path + "c.bin");
    EXPECT_EQ(file2, "");  // a list without File2 leaves no second file behind

    file = "kept";
    EXPECT_EQ(Check("QT-DC500", "V2.0.0-1"), 0);
    EXPECT_EQ(file, "kept");

    // The version the module must report once it runs the listed firmware, only when it is newer.
    List("[QT-DC500]\nVersion=2.01.0\nDate=17\nFile=a.bin\n");
    std::string listed = "kept";
    EXPECT_EQ(CheckLatestFirmware(ReadFirmwareList(dir.path), dir.path, "QT-DC500", "V2.1.0-17", &file, &file2, &listed), 0);
    EXPECT_EQ(listed, "kept");
    EXPECT_EQ(CheckLatestFirmware(ReadFirmwareList(dir.path), dir.path, "QT-DC500", "V2.1.0-16", &file, &file2, &listed), 1);
    EXPECT_EQ(listed, "V2.1.0-17");
}

TEST(ModuleChecks, FirmwareUpdateTookWhenTheVersionIsTheListedOneOrAtLeastANewOne)
{
    DeviceRecord r;
    r.versionBefore = "V2.0.0-3";
    r.action = kActionFirmwareUpdateToLatest;
    r.expectedVersion = "V2.1.0-17";
    for (const auto& [now, took] : std::vector<std::pair<const char*, bool>>{
             {"V2.1.0-17", true}, {"V2.01.00-17", true}, {"V2.0.0-3", false}, {"V2.1.0-18", false}, {"", false}}) {
        r.version = now;
        EXPECT_EQ(FirmwareUpdateTook(r), took) << now;
    }
    r.action = kActionFirmwareUpdate;
    r.expectedVersion.clear();
    r.version = "V2.0.0-3";
    EXPECT_FALSE(FirmwareUpdateTook(r));
    r.version = "V2.0.0-4";
    EXPECT_TRUE(FirmwareUpdateTook(r));
    r.action = kActionReboot;
    r.version = r.versionBefore;
    EXPECT_TRUE(FirmwareUpdateTook(r));
}

TEST_F(FirmwareListTest, UnusableListGivesMinusOne)
{
    EXPECT_EQ(Check("QT-DC500", "V1.0.0-1"), -1);  // no list file
    const char* lists[] = {
        "[QT-DC400]\nVersion=2.0.0\nDate=1\n",
        "[QT-DC500]\nDate=1\nFile=a.bin\n",
        "[QT-DC500]\nVersion=2.0.0\nFile=a.bin\n",
        "[QT-DC500]\nVersion=\nDate=1\n",
    };
    for (const char* list : lists) {
        List(list);
        EXPECT_EQ(Check("QT-DC500", "V1.0.0-1"), -1) << list;
        EXPECT_EQ(file, "kept");
    }
    List("[QT-DC500]\nVersion=2.0.0\nDate=1\n");
    EXPECT_EQ(CheckLatestFirmware("", "QT-DC500", "V1.0.0-1", &file, &file2), -1);
    EXPECT_EQ(Check("", "V1.0.0-1"), -1);
    std::string version, date;
    EXPECT_FALSE(ReadFirmwareInfo("", "QT-DC500", version, date, file, file2));
}

TEST_F(FirmwareListTest, OldControllersAreNeverOfferedLatestFirmware)
{
    // No list in the folder: -1 shows that the list was read.
    EXPECT_EQ(Check("QT-DC410", "V1.0.9-5"), 0);
    EXPECT_EQ(Check("QT-DC410", "V1.1.0-99999"), 0);
    EXPECT_EQ(Check("QT-DC410", "V1.1.1-0"), -1);
    EXPECT_EQ(Check("qt-dc410", "V1.0.9-5"), -1);
}

TEST(ModuleChecks, ConfigureAndUpdateLimits)
{
    EXPECT_FALSE(CanConfigure("QT-DC410", "V1.2.3-20090203"));
    EXPECT_TRUE(CanConfigure("QT-DC410", "V1.2.3-20090204"));
    EXPECT_FALSE(CanConfigure("QT-DC410", "V1.2.3-2009x204"));  // digits up to the first other one
    EXPECT_FALSE(CanConfigure("QT-DC410", "V1.2.3-abcdefgh"));
    EXPECT_TRUE(CanConfigure("QT-DC410", "20000101"));  // 8 characters are never read
    EXPECT_TRUE(CanConfigure("QT-DC500", "V1.2.3-20000101"));
    EXPECT_TRUE(CanConfigure("qt-dc410", "V1.2.3-20000101"));
    EXPECT_FALSE(CanConfigure("QT-TEXT GRABBER V7K", "V9.9.9-99999999"));
    EXPECT_TRUE(CanConfigure("QT-TEXT GRABBER", ""));

    EXPECT_FALSE(CanUpdateFirmware("QT-DC410", "V1.1.0-99999999"));
    EXPECT_TRUE(CanUpdateFirmware("QT-DC410", "V1.1.1-0"));
    EXPECT_TRUE(CanUpdateFirmware("QT-DC410", "V2.0.0"));
    EXPECT_FALSE(CanUpdateFirmware("QT-DC410", "V1.1R9"));  // reads 1.1.0
    EXPECT_FALSE(CanUpdateFirmware("QT-DC410", ""));
    EXPECT_TRUE(CanUpdateFirmware("QT-DC500", "V0.0.1-0"));
}

// Sets environment variables for one test and puts the old values back.
class ScopedEnv {
public:
    void Set(const char* name, const std::optional<std::string>& value)
    {
        if (m_saved.count(name) == 0) {
            const char* old = std::getenv(name);
            m_saved[name] = old == nullptr ? std::nullopt : std::optional<std::string>(old);
        }
        testing::SetEnvironment(name, value);
    }
    ~ScopedEnv()
    {
        for (const auto& [name, value] : m_saved) {
            testing::SetEnvironment(name, value);
        }
    }

private:
    std::map<std::string, std::optional<std::string>> m_saved;
};

TEST(FirmwareFolder, BaseDirectoryFromTheUserThenTheSystemConfigFolders)
{
    if (SettingsFolders().empty()) {
        GTEST_SKIP() << "the registry holds the management software's settings on this system";
    }
    testing::TempDir home, sysA, sysB, none, empty;
    ScopedEnv env;
    const auto settings = [](const testing::TempDir& at, const std::string& base) {
        at.Write("Quillon/DCManager.ini", "[General]\nBaseDirectory=" + base + "\n");
    };
    env.Set("XDG_CONFIG_HOME", home.path);
    env.Set("XDG_CONFIG_DIRS", sysA.path + ":" + sysB.path);
    EXPECT_EQ(LoadFirmwareFolder(), "");

    settings(sysB, "/opt/q");
    EXPECT_EQ(LoadFirmwareFolder(), "/opt/qDCFirmware/");  // nothing is put between
    settings(sysA, "/opt/a/");
    EXPECT_EQ(LoadFirmwareFolder(), "/opt/a/DCFirmware/");
    settings(home, "/home/u/Q/");
    EXPECT_EQ(LoadFirmwareFolder(), "/home/u/Q/DCFirmware/");

    env.Set("XDG_CONFIG_HOME", std::nullopt);
    env.Set("HOME", none.path);
    settings(none, "/wrong/");  // $HOME itself is not a config folder, $HOME/.config is
    EXPECT_EQ(LoadFirmwareFolder(), "/opt/a/DCFirmware/");
    none.Write(".config/Quillon/DCManager.ini", "[general]\nbasedirectory = \"/h/\"\n");
    EXPECT_EQ(LoadFirmwareFolder(), "/h/DCFirmware/");

    env.Set("HOME", home.path);
    env.Set("XDG_CONFIG_DIRS", empty.path);
    EXPECT_EQ(LoadFirmwareFolder(), "");
}

}  // namespace
}  // namespace tarrowind
