#pragma once

#include <map>
#include <mutex>
#include <optional>
#include <string>
#include <vector>

#include "commands/module_commands.h"
#include "discovery/device_record.h"
#include "tools/cli/action_command.h"

namespace tarrowind {

// Held: a firmware update in waves that never started, as an earlier one failed.
enum class ModuleResult { Done, Failed, Skipped, NotFound, Held };

// "done", "failed", "skipped", "not found", "held".
const char* ResultName(ModuleResult result);

struct ModuleOutcome {
    ModuleResult result = ModuleResult::Failed;
    std::string reason;  // for done, empty or what a firmware update changed ("updated V3.10 -> V3.21")
};

// Keeps, per chosen module, whether the requested action was queued for it and why the commands left it
// alone, so that the summary never calls a module done that was not acted on. Every action but login
// starts with a login phase; its queued logins do not count as the action.
class OutcomeTracker {
public:
    explicit OutcomeTracker(CliAction action);

    // From here on skips belong to the requested action, no longer to the login before it.
    void BeginAction();
    // Every report of a chosen module; workers call it concurrently.
    void Seen(const DeviceRecord& record);
    void Skipped(const DeviceRecord& record, SkipReason reason);
    // Skipped as one of `modules` on its address that cannot be told apart.
    void CannotTellApart(const DeviceRecord& record, int modules);
    // Left alone by the requested action for a reason the commands do not name (a plan's).
    void SkippedBecause(const DeviceRecord& record, std::string words);
    // Read once every worker has finished.
    ModuleOutcome Of(const DeviceRecord& record) const;

private:
    struct Track {
        bool queued = false;
        bool noWorker = false;
        std::optional<SkipReason> loginSkip;
        std::optional<SkipReason> actionSkip;
        std::string skipWords;
        int sharing = 0;  // modules on its address, for CannotTellApart
    };

    CliAction m_action;
    mutable std::mutex m_lock;
    bool m_actionPhase;
    std::map<const DeviceRecord*, Track> m_tracks;
};

// Why a module was left alone, in words, e.g. "a LongReply module takes no settings change". `modules`:
// how many share its address, for CannotTellApart.
std::string SkipReasonWords(const DeviceRecord& record, SkipReason reason, CliAction action, int modules = 0);

// 0 when every module was done, 1 when any failed, was not found or held, else 3 when any was skipped.
int ExitCode(const std::vector<ModuleResult>& results);

inline constexpr int kExitDone = 0;
inline constexpr int kExitFailed = 1;
inline constexpr int kExitUsage = 2;
inline constexpr int kExitSkipped = 3;

}  // namespace tarrowind
