#include "commands/settings_backup.h"

#include <gtest/gtest.h>

#include "commands/command_state.h"
#include "commands/settings_backup_run.h"
#include "commands/settings_restore.h"
#include "discovery/address_text.h"

namespace tarrowind {
namespace {

SettingsBackup Saved()
{
    SettingsBackup b;
    b.mac = "02:00:5E:00:00:01";
    b.model = "QT-DC410";
    b.version = "V3.10R2";
    b.name = "Tür 7";
    b.savedAt = UtcTimestamp(std::chrono::sys_days{std::chrono::December / 10 / 2026} + std::chrono::seconds(38928));
    ModuleSettings& s = b.settings;
    s.machineName = "Tür 7";
    s.dhcp = 0;
    s.ip = ParseIpText("192.0.2.10");
    s.mask = ParseIpText("255.255.255.0");
    s.gateway = ParseIpText("192.0.2.254");
    s.dns = ParseIpText("192.0.2.53");
    s.sendToServer = 1;
    s.serverAddress = ParseIpText("192.0.2.60");
    s.myName = "door7";
    s.ddnsType = 1;
    s.hostName = "door7.example";
    s.ddnsUserName = "site";
    s.ddnsPassword = "dd\"ns&pw";
    s.des1 = "0123456789ABCDEF";
    s.des2 = "FEDCBA9876543210";
    s.des3 = "00112233AABBCCDD";
    s.devicePort = 4100;
    s.ethVersion = "E1.2";
    s.controllerVersion = "V1.2.3";
    return b;
}

TEST(SettingsBackupTest, EveryValueComesBackAndTheLoginIsNeverWritten)
{
    SettingsBackup b = Saved();
    b.settings.target.userName = "admin";
    b.settings.target.password = "login-secret";
    b.settings.newLoginName = "admin2";
    b.settings.newAdminPassword = "new-login-secret";
    const std::optional<std::string> text = SettingsBackupText(b);
    ASSERT_TRUE(text);
    EXPECT_EQ(b.savedAt, "2026-12-10T10:48:48Z");
    for (const char* absent : {"login-secret", "new-login-secret", "admin"}) {
        EXPECT_EQ(text->find(absent), std::string::npos) << absent;
    }
    EXPECT_NE(text->find("\"format\": \"Tarrowind module settings\""), std::string::npos) << *text;

    const BackupRead read = ReadSettingsBackup(*text);
    ASSERT_EQ(read.error, BackupReadError::None) << DescribeBackupReadError(read);
    EXPECT_EQ(read.backup.mac, b.mac);
    EXPECT_EQ(read.backup.model, b.model);
    EXPECT_EQ(read.backup.version, b.version);
    EXPECT_EQ(read.backup.name, b.name);
    EXPECT_EQ(read.backup.savedAt, b.savedAt);
    EXPECT_EQ(read.backup.settings.controllerVersion, "V1.2.3");
    EXPECT_EQ(read.backup.settings.ddnsPassword, "dd\"ns&pw");
    for (const RestoreField& f : PreviewRestore(b.settings, read.backup.settings, true)) {
        EXPECT_EQ(f.state, RestoreFieldState::Unchanged) << f.field;
    }
    EXPECT_EQ(read.backup.settings.target.password, "");

    SettingsBackup notText = Saved();
    notText.settings.des2 = "\xff\xfe";
    EXPECT_EQ(SettingsBackupText(notText), std::nullopt) << "a secret is not saved altered";
    EXPECT_EQ(SettingsBackupFileName({0x02, 0x00, 0x5e, 0x0a, 0xbc, 0x01}), "02-00-5E-0A-BC-01.json");
}

TEST(SettingsBackupTest, FilesThatAreNotWholeSettingsFilesAreRefusedByName)
{
    const std::string good = *SettingsBackupText(Saved());
    const auto with = [&](const std::string& from, const std::string& to) {
        std::string text = good;
        const auto at = text.find(from);
        EXPECT_NE(at, std::string::npos) << from;
        return text.replace(at, from.size(), to);
    };
    struct Case {
        std::string bytes;
        BackupReadError error;
        const char* field;
    };
    const Case cases[] = {
        {good + std::string(kMaxSettingsBackupBytes, ' '), BackupReadError::TooLarge, ""},
        {"", BackupReadError::NotJson, ""},
        {"[1]", BackupReadError::NotJson, ""},
        {std::string(1000, '['), BackupReadError::NotJson, ""},
        {good.substr(0, good.size() / 2), BackupReadError::NotJson, ""},
        {"{\"mac\": \"02:00:5E:00:00:01\"}", BackupReadError::NotBackup, ""},
        {with("\"formatVersion\": 1", "\"formatVersion\": 2"), BackupReadError::NewerFormat, ""},
        {with("\"model\"", "\"Model\""), BackupReadError::MissingValue, "model"},
        {with("\"02:00:5E:00:00:01\"", "\"../../etc\""), BackupReadError::BadValue, "mac"},
        {with("\"DevicePort\": 4100", "\"DevicePort\": 80"), BackupReadError::BadValue, "settings.DevicePort"},
        {with("\"SendtoServer\": 1", "\"SendtoServer\": -1"), BackupReadError::BadValue, "settings.SendtoServer"},
        {with("\"192.0.2.53\"", "\"192.0.2\""), BackupReadError::BadValue, "settings.DNServer"},
        {with("\"EnableDHCP\": false", "\"EnableDHCP\": 0"), BackupReadError::BadValue, "settings.EnableDHCP"},
        {with("\"3Des3\"", "\"3des3\""), BackupReadError::MissingValue, "settings.3Des3"},
        {with("\"door7\"", "\"" + std::string(kMaxSettingsBackupText + 1, 'x') + "\""), BackupReadError::BadValue,
         "settings.MyName"},
    };
    for (const Case& c : cases) {
        const BackupRead read = ReadSettingsBackup(c.bytes);
        EXPECT_EQ(read.error, c.error) << c.bytes.substr(0, 80);
        EXPECT_EQ(read.field, c.field);
        EXPECT_TRUE(read.backup.settings.des1.empty() && read.backup.mac.empty()) << "nothing half read is used";
    }
    EXPECT_NE(DescribeBackupReadError(ReadSettingsBackup(with("\"3Des3\"", "\"x\""))).find("settings.3Des3"),
              std::string::npos);
}

TEST(SettingsRestoreTest, NetworkValuesAreKeptUnlessTakenAndTheLoginNever)
{
    const SettingsBackup b = Saved();
    ModuleSettings module;
    module.ip = ParseIpText("192.0.2.20");
    module.mask = ParseIpText("255.255.0.0");
    module.gateway = ParseIpText("192.0.2.1");
    module.dhcp = 1;
    module.devicePort = 4000;
    module.des1 = "old code";
    module.newLoginName = "admin";
    module.newAdminPassword = "login";

    std::map<std::string, RestoreField> kept;
    for (const RestoreField& f : PreviewRestore(module, b.settings, false)) {
        kept.emplace(f.field, f);
    }
    EXPECT_EQ(kept.at("IP").state, RestoreFieldState::Kept);
    EXPECT_EQ(kept.at("IP").newText, "192.0.2.20");
    EXPECT_EQ(kept.at("IP").fileText, "192.0.2.10");
    EXPECT_EQ(kept.at("DHCP").state, RestoreFieldState::Kept);
    EXPECT_EQ(kept.at("Device port").state, RestoreFieldState::Changed);
    EXPECT_EQ(kept.at("Device port").newText, "4100");
    EXPECT_EQ(kept.at("3DES code 1").state, RestoreFieldState::Changed);
    EXPECT_TRUE(kept.at("3DES code 1").oldText.empty() && kept.at("3DES code 1").newText.empty()) << "never shown";
    EXPECT_EQ(kept.at("3DES code 2").state, RestoreFieldState::Changed);
    EXPECT_EQ(PreviewRestore(module, b.settings, true)[2].state, RestoreFieldState::Changed);

    ModuleSettings keep = module;
    ApplyRestore(b.settings, false, keep);
    EXPECT_EQ(keep.ip, module.ip);
    EXPECT_EQ(keep.mask, module.mask);
    EXPECT_EQ(keep.gateway, module.gateway);
    EXPECT_EQ(keep.dhcp, 1);
    EXPECT_EQ(keep.dns, b.settings.dns) << "the DNS server is no addressing of the module's own";
    EXPECT_EQ(keep.des3, b.settings.des3);
    EXPECT_EQ(keep.machineName, "Tür 7");
    ModuleSettings take = module;
    ApplyRestore(b.settings, true, take);
    EXPECT_EQ(take.ip, b.settings.ip);
    EXPECT_EQ(take.dhcp, 0);
    EXPECT_EQ(take.newLoginName, "admin");
    EXPECT_EQ(take.newAdminPassword, "login");
    for (const RestoreField& f : PreviewRestore(take, b.settings, true)) {
        EXPECT_EQ(f.state, RestoreFieldState::Unchanged) << f.field;
    }
}

TEST(SettingsRestoreTest, OnlyAModuleOfTheSameModelTakesAFreeUsableAddress)
{
    const SettingsBackup b = Saved();
    DeviceRecord spare, other, reader;
    spare.macText = "02:00:5E:00:00:02";
    spare.model = "QT-DC410";
    spare.ip = ParseIpText("192.0.2.20");
    other = spare;
    other.macText = "02:00:5E:00:00:03";
    other.ip = ParseIpText("192.0.2.11");
    reader.kind = ModuleKind::BinaryDactyl;
    reader.model = "QT-DC410";
    EXPECT_EQ(RestoreRefusal(b, spare), std::nullopt);
    DeviceRecord dactyl = spare;
    dactyl.model = "QT-DC410 ";
    ASSERT_TRUE(RestoreRefusal(b, dactyl));
    EXPECT_NE(RestoreRefusal(b, dactyl)->find("same model"), std::string::npos);
    EXPECT_TRUE(RestoreRefusal(b, reader));

    EXPECT_TRUE(CheckRestoreAddressing(spare, b.settings, {&spare, &other}).Usable());
    other.ip = b.settings.ip;
    const RestoreAddressCheck taken = CheckRestoreAddressing(spare, b.settings, {&spare, &other});
    EXPECT_EQ(taken.holder, &other);
    EXPECT_NE(DescribeRestoreAddressCheck(taken).find(other.macText), std::string::npos);
    other.ip = b.settings.gateway;
    EXPECT_EQ(CheckRestoreAddressing(spare, b.settings, {&spare, &other}).rule, AddressRule::GatewayIsModule);
    SettingsBackup dhcp = Saved();
    dhcp.settings.dhcp = 1;
    other.ip = dhcp.settings.ip;
    EXPECT_TRUE(CheckRestoreAddressing(spare, dhcp.settings, {&spare, &other}).Usable())
        << "with DHCP the static address is not used";
}

}  // namespace
}  // namespace tarrowind

namespace tarrowind {
namespace {

TEST(SettingsFileCommandTest, GreyedWithTheReasonTheSelectionGives)
{
    DeviceRecord web, reader, fresh;
    web.kind = ModuleKind::Web;
    web.model = "QT-DC410";
    web.version = "V3.10R2";
    web.status = kStatusLoginSuccessfully;
    reader = web;
    reader.kind = ModuleKind::BinaryDactyl;
    fresh = web;
    fresh.status = kStatusNone;
    EXPECT_EQ(SettingsFileBlockKey({&reader, &web}, true), nullptr) << "saved for the web module, the reader skipped";
    EXPECT_STREQ(SettingsFileBlockKey({&reader, &web}, false), CommandBlockKey(CommandBlock::OneModuleOnly));
    EXPECT_STREQ(SettingsFileBlockKey({&reader}, true), "ORB_IDS_WHY_NO_SETTINGS_PAGE");
    EXPECT_STREQ(SettingsFileBlockKey({&fresh}, false), CommandBlockKey(CommandBlock::NotLoggedIn));
    EXPECT_STREQ(SettingsFileBlockKey({nullptr}, true), CommandBlockKey(CommandBlock::NoSelection));
}

}  // namespace
}  // namespace tarrowind
