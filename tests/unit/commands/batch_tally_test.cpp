#include <gtest/gtest.h>

#include "commands/batch_tally.h"

namespace tarrowind {
namespace {

DeviceRecord& Reported(DeviceRecord& r, std::int32_t action, std::int32_t status)
{
    r.action = action;
    r.status = status;
    return r;
}

TEST(BatchTallyTest, CountsEndsFailuresAndSkippedRows)
{
    DeviceRecord rows[4];
    BatchTally tally;
    tally.Start({&rows[0], &rows[1], &rows[2], &rows[3]}, 3);  // rows[3] was not queued
    EXPECT_TRUE(tally.Active());
    for (int i = 0; i < 3; ++i) {
        Reported(rows[i], kActionSetLogin, kStatusLogin);
        tally.Note(rows[i]);
    }
    Reported(rows[0], kActionNone, kStatusLoginSuccessfully);
    tally.Note(rows[0]);
    Reported(rows[1], kActionNone, kStatusLoginFailed);
    tally.Note(rows[1]);
    tally.Note(rows[1]);  // a second report of the same end counts once
    EXPECT_EQ(tally.Ended(), 2);
    EXPECT_EQ(tally.Failed(), 1);
    DeviceRecord stranger;
    tally.Note(Reported(stranger, kActionNone, kStatusLoginFailed));
    EXPECT_EQ(tally.Failed(), 1);

    // rows[2] is queued again before the end: counted at its last end only.
    Reported(rows[2], kActionNone, kStatusCannotAccess);
    tally.Note(rows[2]);
    Reported(rows[2], kActionSetLogin, kStatusQueueLogin);
    tally.Note(rows[2]);
    Reported(rows[2], kActionNone, kStatusLoginSuccessfully);
    tally.Note(rows[2]);
    EXPECT_EQ(tally.Ended(), 3);
    EXPECT_EQ(tally.Failed(), 1);

    const BatchTally::Summary s = tally.Finish();
    EXPECT_EQ(s.done, 2);
    EXPECT_EQ(s.failed, 1);
    EXPECT_EQ(s.skipped, 1);
    EXPECT_FALSE(tally.Active());
}

TEST(BatchTallyTest, ABatchQueuedWhileAnotherRunsJoinsIt)
{
    DeviceRecord rows[2];
    BatchTally tally;
    tally.Start({&rows[0]}, 1);
    tally.Start({&rows[1], nullptr}, 1);
    for (DeviceRecord& r : rows) {
        tally.Note(Reported(r, kActionReboot, kStatusReboot));
    }
    tally.Note(Reported(rows[0], kActionNone, kStatusRebootFailed));
    const BatchTally::Summary s = tally.Finish();  // rows[1] is withdrawn without a report of its end
    EXPECT_EQ(s.done + s.failed + s.skipped, 2);
    EXPECT_EQ(s.failed, 1);
    EXPECT_EQ(s.skipped, 0);
}

}  // namespace
}  // namespace tarrowind

namespace tarrowind {
namespace {

TEST(BatchTallyTest, ARowHeldByAFailedRolloutIsNotCountedDone)
{
    DeviceRecord rows[3];
    BatchTally tally;
    tally.Start({&rows[0], &rows[1], &rows[2]}, 1);  // a first wave of one
    for (DeviceRecord& r : rows) {
        tally.Note(Reported(r, kActionFirmwareUpdate, kStatusQueueFirmwareUpdate));
    }
    tally.Note(Reported(rows[0], kActionNone, kStatusFirmwareUpdateFailed));
    for (DeviceRecord* held : {&rows[1], &rows[2]}) {
        held->failureReason = FailureReason::Held;
        tally.Note(Reported(*held, kActionNone, kStatusLoginSuccessfully));
    }
    EXPECT_EQ(tally.Ended(), 1);
    const BatchTally::Summary s = tally.Finish();
    EXPECT_EQ(s.done, 0);
    EXPECT_EQ(s.failed, 1);
    EXPECT_EQ(s.skipped, 2);
}

}  // namespace
}  // namespace tarrowind
