#include "tools/cli/action_outcome.h"

#include <gtest/gtest.h>

namespace tarrowind {
namespace {

DeviceRecord Module(ModuleKind kind, std::int32_t status)
{
    DeviceRecord r;
    r.kind = kind;
    r.model = kind == ModuleKind::BinaryDactyl ? "QT-FP6611" : "QT-DC410";
    r.version = "V3.10R2";
    r.status = status;
    return r;
}

// The record as the commands and the worker leave it: reported at each step, last state kept.
void Step(OutcomeTracker& t, DeviceRecord& r, std::int32_t action, std::int32_t status)
{
    r.action = action;
    r.status = status;
    t.Seen(r);
}

void LogIn(OutcomeTracker& t, DeviceRecord& r, std::int32_t end)
{
    Step(t, r, kActionSetLogin, kStatusQueueLogin);
    Step(t, r, kActionSetLogin, kStatusLogin);
    Step(t, r, kActionNone, end);
}

TEST(ActionOutcome, ALoggedInModuleTheActionSkippedIsNeverDone)
{
    OutcomeTracker t(CliAction::Reboot);
    DeviceRecord reader = Module(ModuleKind::BinaryDactyl, kStatusNone);
    DeviceRecord never = Module(ModuleKind::Web, kStatusNone);
    LogIn(t, reader, kStatusLoginSuccessfully);
    LogIn(t, never, kStatusLoginSuccessfully);
    t.BeginAction();
    t.Skipped(reader, SkipReason::KindNotOffered);
    // `never` was neither queued nor skipped: its queued login must not pass for the reboot.

    const ModuleOutcome skipped = t.Of(reader);
    EXPECT_EQ(skipped.result, ModuleResult::Skipped);
    EXPECT_NE(skipped.reason.find("BinaryDactyl"), std::string::npos) << skipped.reason;
    EXPECT_NE(skipped.reason.find("reboot"), std::string::npos) << skipped.reason;
    EXPECT_EQ(t.Of(never).result, ModuleResult::Failed);
}

TEST(ActionOutcome, TheActionRunDecidesByItsEndAndALostWorkerIsAFailure)
{
    OutcomeTracker t(CliAction::Reboot);
    DeviceRecord back = Module(ModuleKind::Web, kStatusNone);
    DeviceRecord gone = Module(ModuleKind::Web, kStatusNone);
    DeviceRecord refused = Module(ModuleKind::Web, kStatusNone);
    DeviceRecord noWorker = Module(ModuleKind::Web, kStatusNone);
    DeviceRecord wrongPassword = Module(ModuleKind::Web, kStatusNone);
    for (DeviceRecord* r : {&back, &gone, &refused, &noWorker}) {
        LogIn(t, *r, kStatusLoginSuccessfully);
    }
    LogIn(t, wrongPassword, kStatusLoginFailed);
    t.BeginAction();
    for (DeviceRecord* r : {&back, &gone, &refused, &noWorker}) {
        Step(t, *r, kActionReboot, kStatusQueueReboot);
    }
    LogIn(t, back, kStatusLoginSuccessfully);  // came back and logged in again
    Step(t, gone, kActionNone, kStatusCannotAccess);
    Step(t, refused, kActionNone, kStatusRebootFailed);
    Step(t, noWorker, kActionNone, kStatusLoginSuccessfully);  // put back as it was
    t.Skipped(noWorker, SkipReason::NoWorker);
    t.Skipped(wrongPassword, SkipReason::NotEligible);

    EXPECT_EQ(t.Of(back).result, ModuleResult::Done);
    EXPECT_EQ(t.Of(gone).result, ModuleResult::Failed);
    EXPECT_EQ(t.Of(refused).result, ModuleResult::Failed);
    EXPECT_EQ(t.Of(noWorker).result, ModuleResult::Failed);
    const ModuleOutcome login = t.Of(wrongPassword);
    EXPECT_EQ(login.result, ModuleResult::Failed);
    EXPECT_NE(login.reason.find("login"), std::string::npos) << "the login, not the skip, is the reason";
}

TEST(ActionOutcome, LoginSkipsWhatTakesNoLoginAndLatestCountsAnUpToDateModule)
{
    OutcomeTracker login(CliAction::Login);
    DeviceRecord longReply = Module(ModuleKind::LongReply, kStatusNone);
    login.Skipped(longReply, SkipReason::NotEligible);
    EXPECT_EQ(login.Of(longReply).result, ModuleResult::Skipped);
    EXPECT_NE(login.Of(longReply).reason.find("LongReply"), std::string::npos);

    OutcomeTracker latest(CliAction::Latest);
    DeviceRecord current = Module(ModuleKind::Web, kStatusNone);
    DeviceRecord unknown = Module(ModuleKind::Web, kStatusNone);
    DeviceRecord notLoggedIn = Module(ModuleKind::LongReply, kStatusNone);
    LogIn(latest, current, kStatusLoginSuccessfully);
    LogIn(latest, unknown, kStatusLoginSuccessfully);
    latest.Skipped(notLoggedIn, SkipReason::NotEligible);
    latest.BeginAction();
    Step(latest, current, kActionNone, kStatusLatestVersion);
    Step(latest, unknown, kActionNone, kStatusUnknown);
    latest.Skipped(notLoggedIn, SkipReason::NotEligible);
    EXPECT_EQ(latest.Of(current).result, ModuleResult::Done);
    EXPECT_EQ(latest.Of(unknown).result, ModuleResult::Failed);
    EXPECT_NE(latest.Of(notLoggedIn).reason.find("login"), std::string::npos) << "the login phase's reason";
}

TEST(ActionOutcome, ExitCodeFailureBeforeSkip)
{
    using R = ModuleResult;
    EXPECT_EQ(ExitCode({R::Done, R::Done}), 0);
    EXPECT_EQ(ExitCode({R::Done, R::Skipped}), 3);
    EXPECT_EQ(ExitCode({R::Skipped, R::Failed}), 1);
    EXPECT_EQ(ExitCode({R::Skipped, R::NotFound, R::Done}), 1);
}

}  // namespace
}  // namespace tarrowind
