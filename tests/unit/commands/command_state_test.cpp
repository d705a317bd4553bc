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

namespace tarrowind {
namespace {

// Every disallowed command gets a reason with a text, every allowed one none, for a spread of selections.
TEST(CommandReasonsTest, ExactlyTheDisallowedCommandsSayWhy)
{
    const DeviceRecord a = Module(ModuleKind::Web, "QT-DC410");
    const DeviceRecord b = Module(ModuleKind::Web, "QT-DC420");
    const DeviceRecord reader = Module(ModuleKind::BinaryDactyl, "");
    const DeviceRecord fresh = Module(ModuleKind::Web, "QT-DC410", kStatusNone);
    const DeviceRecord grabber = Module(ModuleKind::Web, "QT-TEXT GRABBER V7K");
    const DeviceRecord longReply = Module(ModuleKind::LongReply, "", kStatusNone);
    const DeviceRecord unsupported = Module(ModuleKind::Web, "", kStatusNotSupported);
    DeviceRecord acting = a;
    acting.action = kActionReboot;
    const std::vector<std::vector<const DeviceRecord*>> selections = {
        {}, {nullptr}, {&a}, {&reader}, {&fresh}, {&grabber}, {&longReply}, {&unsupported}, {&acting},
        {&a, &b}, {&a, &reader}, {&a, nullptr},
    };
    for (const bool busy : {false, true}) {
        for (std::size_t i = 0; i < selections.size(); ++i) {
            CommandReasons why;
            const CommandState c = ComputeCommandState(selections[i], busy, &why);
            const std::pair<std::int32_t, CommandBlock> all[] = {
                {c.search, why.search}, {c.setLogin, why.setLogin}, {c.setting, why.setting},
                {c.advancedSetting, why.advancedSetting}, {c.reboot, why.reboot},
                {c.restoreDefault, why.restoreDefault}, {c.firmwareUpdate, why.firmwareUpdate},
                {c.firmwareUpdateToLatest, why.firmwareUpdateToLatest}, {c.cancelQueueItems, why.cancelQueueItems},
                {c.changeLogin, why.changeLogin},
            };
            for (std::size_t k = 0; k < std::size(all); ++k) {
                EXPECT_EQ(all[k].first == 0, all[k].second != CommandBlock::None) << "selection " << i << " command " << k;
                EXPECT_EQ(CommandBlockKey(all[k].second) == nullptr, all[k].second == CommandBlock::None);
            }
        }
    }
}

TEST(CommandReasonsTest, ReasonsNameWhatTheUserCanChange)
{
    const DeviceRecord a = Module(ModuleKind::Web, "QT-DC410");
    const DeviceRecord b = Module(ModuleKind::Web, "QT-DC420");
    const DeviceRecord reader = Module(ModuleKind::BinaryDactyl, "");
    const DeviceRecord fresh = Module(ModuleKind::Web, "QT-DC410", kStatusNone);
    const DeviceRecord longReply = Module(ModuleKind::LongReply, "", kStatusNone);
    CommandReasons why;

    ComputeCommandState({&a, &reader}, true, &why);
    EXPECT_EQ(why.reboot, CommandBlock::ReaderSelected);
    EXPECT_EQ(why.restoreDefault, CommandBlock::ReaderSelected);
    EXPECT_EQ(why.firmwareUpdate, CommandBlock::ReaderSelected);
    EXPECT_EQ(why.setting, CommandBlock::OneModuleOnly);
    EXPECT_EQ(why.search, CommandBlock::Busy);
    ComputeCommandState({&reader}, false, &why);
    EXPECT_EQ(why.reboot, CommandBlock::ReaderSelected);

    ComputeCommandState({&a, &b}, false, &why);
    EXPECT_EQ(why.firmwareUpdate, CommandBlock::MixedModels);
    ComputeCommandState({&fresh}, false, &why);
    EXPECT_EQ(why.reboot, CommandBlock::NotLoggedIn);
    ComputeCommandState({&a}, false, &why);
    EXPECT_EQ(why.setLogin, CommandBlock::AlreadyLoggedIn);
    ComputeCommandState({&longReply}, false, &why);
    EXPECT_EQ(why.setLogin, CommandBlock::TakesNoLogin);
    ComputeCommandState({}, false, &why);
    EXPECT_EQ(why.cancelQueueItems, CommandBlock::NoSelection);
    EXPECT_EQ(why.changeLogin, CommandBlock::NoSelection);

    // A new login goes to the logged-in web modules of a selection; one among others is enough.
    const DeviceRecord grabber = Module(ModuleKind::Web, "QT-TEXT GRABBER V7K");
    EXPECT_EQ(ComputeCommandState({&reader, &fresh, &a}, false).changeLogin, 1);
    for (const auto& selection : std::vector<std::vector<const DeviceRecord*>>{{&reader}, {&fresh, &longReply}, {&grabber}}) {
        EXPECT_EQ(ComputeCommandState(selection, false, &why).changeLogin, 0);
        EXPECT_EQ(why.changeLogin, CommandBlock::NoneTakesNewLogin);
    }
}

}  // namespace
}  // namespace tarrowind
