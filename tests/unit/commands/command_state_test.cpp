#include <gtest/gtest.h>

#include "commands/command_state.h"

namespace tarrowind {
namespace {

DeviceRecord Module(ModuleKind kind, const char* model, std::int32_t status = kStatusLoginSuccessfully)
{
    DeviceRecord r;
    r.kind = kind;
    r.model = model;
    r.version = "V3.10R2";
    r.status = status;
    return r;
}

TEST(CommandStateTest, NothingSelectedLeavesOnlySearchWhileIdle)
{
    const CommandState idle = ComputeCommandState({}, false);
    EXPECT_EQ(idle.search, 1);
    EXPECT_EQ(idle.setLogin | idle.setting | idle.advancedSetting | idle.reboot | idle.restoreDefault |
                  idle.firmwareUpdate | idle.firmwareUpdateToLatest | idle.cancelQueueItems,
              0);
    EXPECT_EQ(ComputeCommandState({}, true).search, 0);
}

TEST(CommandStateTest, BatchesOfModulesAndReaders)
{
    const DeviceRecord a = Module(ModuleKind::Web, "QT-DC410");
    const DeviceRecord b = Module(ModuleKind::WebDactyl, "QT-FP-6621");
    const DeviceRecord reader = Module(ModuleKind::BinaryDactyl, "");
    const CommandState mixed = ComputeCommandState({&a, nullptr, &b}, false);
    EXPECT_EQ(mixed.firmwareUpdate, 0);  // two models cannot share one file
    EXPECT_EQ(mixed.reboot & mixed.restoreDefault & mixed.firmwareUpdateToLatest & mixed.setLogin, 1);
    EXPECT_EQ(mixed.setting | mixed.advancedSetting, 0);
    EXPECT_EQ(mixed.cancelQueueItems, 3);
    EXPECT_EQ(ComputeCommandState({&a, &a}, false).firmwareUpdate, 1);
    const CommandState withReader = ComputeCommandState({&a, &reader, &a}, false);
    EXPECT_EQ(withReader.reboot | withReader.restoreDefault | withReader.firmwareUpdate |
                  withReader.firmwareUpdateToLatest,
              0);
}

TEST(CommandStateTest, OneSelectedModuleFollowsItsKindStatusAndModel)
{
    const DeviceRecord grabber = Module(ModuleKind::Web, "QT-TEXT GRABBER V7K");
    const CommandState g = ComputeCommandState({&grabber}, false);
    EXPECT_EQ(g.setting, 0);
    EXPECT_EQ(g.reboot & g.restoreDefault & g.firmwareUpdate & g.advancedSetting, 1);
    EXPECT_EQ(g.setLogin, 0);

    const DeviceRecord fresh = Module(ModuleKind::Web, "QT-DC410", kStatusNone);
    const CommandState f = ComputeCommandState({&fresh}, false);
    EXPECT_EQ(f.setLogin & f.advancedSetting, 1);
    EXPECT_EQ(f.setting | f.reboot, 0);

    DeviceRecord reader = Module(ModuleKind::BinaryDactyl, "", kStatusSettingFailed);
    EXPECT_EQ(ComputeCommandState({&reader}, false).setting, 0);
    EXPECT_EQ(ComputeCommandState({&reader}, false).setLogin, 1);
    reader.status = kStatusLoginSuccessfully;
    const CommandState r = ComputeCommandState({&reader}, false);
    EXPECT_EQ(r.setting, 1);
    EXPECT_EQ(r.setLogin | r.reboot | r.firmwareUpdateToLatest, 0);

    const DeviceRecord unsupported = Module(ModuleKind::Web, "QT-KS7730", kStatusNotSupported);
    EXPECT_EQ(ComputeCommandState({&unsupported}, false).setLogin | ComputeCommandState({&unsupported}, false).advancedSetting, 0);
    const DeviceRecord longReply = Module(ModuleKind::LongReply, "QT-DC900", kStatusNone);
    EXPECT_EQ(ComputeCommandState({&longReply}, false).setLogin, 0);
}

TEST(CommandStateTest, DefaultActionCancelsQueuedRowsAndOpensWhatTheStatusCallsFor)
{
    DeviceRecord r = Module(ModuleKind::Web, "QT-DC410", kStatusQueueReboot);
    r.action = kActionReboot;
    EXPECT_EQ(ChooseDefaultAction({&r}), DefaultAction::CancelQueueItems);
    r.status = kStatusReboot;
    EXPECT_EQ(ChooseDefaultAction({&r}), DefaultAction::Nothing);
    r.action = kActionNone;
    r.status = kStatusLoginFailed;
    EXPECT_EQ(ChooseDefaultAction({&r}), DefaultAction::SetLogin);
    r.status = kStatusLatestVersion;
    EXPECT_EQ(ChooseDefaultAction({&r}), DefaultAction::Setting);
    r.status = kStatusCannotAccess;
    EXPECT_EQ(ChooseDefaultAction({&r}), DefaultAction::Nothing);
    EXPECT_EQ(ChooseDefaultAction({&r, &r}), DefaultAction::Nothing);
    EXPECT_EQ(ChooseDefaultAction({nullptr}), DefaultAction::Nothing);

    // The login dialog opens only where Set Login is offered: a module without a login gets nothing.
    const DeviceRecord longReply = Module(ModuleKind::LongReply, "QT-DC900", kStatusNone);
    EXPECT_EQ(ChooseDefaultAction({&longReply}), DefaultAction::Nothing);
    const DeviceRecord reader = Module(ModuleKind::BinaryDactyl, "QT-FP20", kStatusLoginFailed);
    EXPECT_EQ(ChooseDefaultAction({&reader}), DefaultAction::SetLogin);
}

}  // namespace
}  // namespace tarrowind
