#include "tools/cli/action_outcome.h"

#include <gtest/gtest.h>

namespace tarrowind {
namespace {

// The record as the commands and the worker leave it after each report.
void Step(OutcomeTracker& t, DeviceRecord& r, std::int32_t action, std::int32_t status)
{
    r.action = action;
    r.status = status;
    t.Seen(r);
}

// What the lab cannot easily show: a module logged in but never queued, a lost worker, a login failure
// behind the action's skip, and the firmware check that needs no update.
TEST(ActionOutcome, OnlyAnActionQueuedAndEndedLoggedInIsDone)
{
    OutcomeTracker t(CliAction::Reboot);
    DeviceRecord never, noWorker, wrongPassword, back;
    for (DeviceRecord* r : {&never, &noWorker, &back}) {
        Step(t, *r, kActionSetLogin, kStatusQueueLogin);
        Step(t, *r, kActionNone, kStatusLoginSuccessfully);
    }
    Step(t, wrongPassword, kActionNone, kStatusLoginFailed);
    t.BeginAction();
    Step(t, back, kActionReboot, kStatusQueueReboot);
    Step(t, back, kActionNone, kStatusLoginSuccessfully);
    Step(t, noWorker, kActionReboot, kStatusQueueReboot);
    Step(t, noWorker, kActionNone, kStatusLoginSuccessfully);  // put back as it was
    t.Skipped(noWorker, SkipReason::NoWorker);
    t.Skipped(wrongPassword, SkipReason::NotEligible);

    EXPECT_EQ(t.Of(back).result, ModuleResult::Done);
    EXPECT_EQ(t.Of(never).result, ModuleResult::Failed) << "its queued login is not the reboot";
    EXPECT_EQ(t.Of(noWorker).result, ModuleResult::Failed);
    EXPECT_EQ(t.Of(wrongPassword).result, ModuleResult::Failed);
    EXPECT_NE(t.Of(wrongPassword).reason.find("login"), std::string::npos) << t.Of(wrongPassword).reason;

    OutcomeTracker latest(CliAction::Latest);
    DeviceRecord current, unknown;
    latest.BeginAction();
    Step(latest, current, kActionNone, kStatusLatestVersion);
    Step(latest, unknown, kActionNone, kStatusUnknown);
    EXPECT_EQ(latest.Of(current).result, ModuleResult::Done);
    EXPECT_EQ(latest.Of(unknown).result, ModuleResult::Failed);
}

// The reason tells a refused password from silence, and a firmware update names both versions.
TEST(ActionOutcome, ReasonsTellAWrongPasswordFromNoAnswerAndNameTheUpdate)
{
    OutcomeTracker t(CliAction::Login);
    DeviceRecord refused, silent;
    refused.failureReason = FailureReason::CredentialsRefused;
    silent.failureReason = FailureReason::NoAnswer;
    for (DeviceRecord* r : {&refused, &silent}) {
        Step(t, *r, kActionSetLogin, kStatusQueueLogin);
        Step(t, *r, kActionNone, kStatusLoginFailed);
    }
    EXPECT_EQ(t.Of(refused).reason, "login failed: the module refused the login ID or password");
    EXPECT_EQ(t.Of(silent).reason, "login failed: the module did not answer");

    OutcomeTracker update(CliAction::Firmware);
    DeviceRecord updated;
    update.BeginAction();
    Step(update, updated, kActionFirmwareUpdate, kStatusQueueFirmwareUpdate);
    updated.versionBefore = "V3.10";
    updated.version = "V3.21";
    Step(update, updated, kActionNone, kStatusLoginSuccessfully);
    EXPECT_EQ(update.Of(updated).result, ModuleResult::Done);
    EXPECT_EQ(update.Of(updated).reason, "updated V3.10 -> V3.21");
}

}  // namespace
}  // namespace tarrowind
