#include "tools/cli/set_plan.h"

#include <gtest/gtest.h>

#include <sstream>

#include "tools/cli/action_outcome.h"

namespace tarrowind {
namespace {

// A plan with a wrong row of its own is a usage error; one the network spoils is a failure; a module the
// plan keeps away from an address ends skipped with the plan's words, not as never started.
TEST(SetPlan, ProblemsDecideTheExitCodeAndSkipsKeepThePlansWords)
{
    PlanMatch match;
    const auto problem = [&match](PlanProblemKind kind, std::size_t line) {
        PlanProblem p;
        p.kind = kind;
        p.line = line;
        match.problems.push_back(p);
    };
    EXPECT_EQ(PlanProblemExitCode(match), kExitDone);
    problem(PlanProblemKind::UnknownMac, 3);
    EXPECT_EQ(PlanProblemExitCode(match), kExitFailed);
    problem(PlanProblemKind::AddressTwice, 4);
    EXPECT_EQ(PlanProblemExitCode(match), kExitUsage);
    std::ostringstream out;
    PrintPlanMatch(match, false, out);
    EXPECT_NE(out.str().find("problem: line 3: no listed module has the MAC"), std::string::npos) << out.str();

    DeviceRecord mover, keeper;
    mover.macText = "02:00:00:00:00:01";
    keeper.macText = "02:00:00:00:00:02";
    AddressPlanRow row;
    row.record = &mover;
    row.note = AddressNote::InUse;
    row.usedBy = &keeper;
    OutcomeTracker tracker(CliAction::Set);
    tracker.BeginAction();
    tracker.SkippedBecause(mover, AddressNoteText(row));
    const ModuleOutcome outcome = tracker.Of(mover);
    EXPECT_EQ(outcome.result, ModuleResult::Skipped);
    EXPECT_NE(outcome.reason.find("in use by 02:00:00:00:00:02"), std::string::npos) << outcome.reason;
}

}  // namespace
}  // namespace tarrowind
