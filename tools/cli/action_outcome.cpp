#include "tools/cli/action_outcome.h"

#include "commands/module_csv.h"
#include "discovery/address_text.h"
#include "tools/cli/status_names.h"

namespace tarrowind {
namespace {

struct Queued {
    std::int32_t action, status;
};

Queued QueuedFor(CliAction action)
{
    switch (action) {
    case CliAction::Login:
        return {kActionSetLogin, kStatusQueueLogin};
    case CliAction::Reboot:
        return {kActionReboot, kStatusQueueReboot};
    case CliAction::Default:
        return {kActionDefault, kStatusQueueSetDefault};
    case CliAction::Firmware:
        return {kActionFirmwareUpdate, kStatusQueueFirmwareUpdate};
    case CliAction::Latest:
        return {kActionFirmwareUpdateToLatest, kStatusQueueFirmwareUpdate};
    case CliAction::Set:
    case CliAction::Restore:
        return {kActionSetting, kStatusQueueSetting};
    case CliAction::Backup:
        break;  // read without the queue
    }
    return {-1, -1};
}

const char* Doing(CliAction action)
{
    switch (action) {
    case CliAction::Login:
        return "login";
    case CliAction::Reboot:
        return "reboot";
    case CliAction::Default:
        return "factory default";
    case CliAction::Firmware:
    case CliAction::Latest:
        return "firmware update";
    case CliAction::Set:
        return "settings change";
    case CliAction::Backup:
        return "settings backup";
    case CliAction::Restore:
        return "settings restore";
    }
    return "command";
}

// What went wrong with the request, where the layer or the answer told it apart.
const char* ReasonWords(FailureReason reason)
{
    switch (reason) {
    case FailureReason::CredentialsRefused:
        return "the module refused the login ID or password";
    case FailureReason::RefusalPage:
        return "the module answered with a refusal page";
    case FailureReason::NoAnswer:
        return "the module did not answer";
    case FailureReason::TimedOut:
        return "the module stopped answering (time-out)";
    case FailureReason::TlsFailed:
        return "the secure (TLS) connection to the module could not be set up";
    case FailureReason::Cancelled:
        return "cancelled";
    case FailureReason::Held:
        return "held: an earlier update failed";
    case FailureReason::LoginKept:
        return "the module refused the new login after its restart and keeps its old one";
    case FailureReason::None:
        break;
    }
    return nullptr;
}

// The action a failure status belongs to; null for statuses that are no plain failure of a request.
const char* FailedAction(std::int32_t status)
{
    switch (status) {
    case kStatusLoginFailed:
        return "login";
    case kStatusSettingFailed:
        return "settings change";
    case kStatusRebootFailed:
        return "reboot";
    case kStatusSetDefaultFailed:
        return "factory default";
    case kStatusFirmwareUpdateFailed:
        return "firmware update";
    default:
        return nullptr;
    }
}

std::string FailureWords(const DeviceRecord& r)
{
    const char* why = ReasonWords(r.failureReason);
    if (const char* failed = FailedAction(r.status); failed != nullptr && why != nullptr) {
        return std::string(failed) + " failed: " + why;
    }
    switch (r.status) {
    case kStatusCannotAccess:
        return r.versionBefore.empty() ? "the module did not answer"
                                       : "the module did not come back after the firmware update from " +
                                             r.versionBefore;
    case kStatusLoginFailed:
        return "the module refused the login";
    case kStatusSettingFailed:
        return "the module's settings could not be read or written";
    case kStatusSettingsUnreadable:
        return "the configuration page of " + r.macText + " at " + r.ipText +
               " lacked values its form posts back (a busy or login page?); nothing was written";
    case kStatusRebootFailed:
        return "the module refused the reboot";
    case kStatusSetDefaultFailed:
        return "the module refused the factory default";
    case kStatusFirmwareUpdateFailed:
        return "the firmware update failed";
    case kStatusFirmwareNotTaken:
        return "the module came back with version " + r.version +
               (r.expectedVersion.empty() ? ", the one it had before the update"
                                          : ", not the updated " + r.expectedVersion);
    case kStatusUnknown:
        return "the firmware folder lists no firmware for model " + r.model;
    case kStatusAddressUnusable:
        return "the module's address " + FormatIp(r.ip) + " cannot be reached; nothing was sent to it";
    case kStatusAddressNotConfirmed:
        return SkipReasonWords(r, SkipReason::AddressNotConfirmed, CliAction::Login);
    default:
        return std::string("the action ended in status ") + StatusName(r.status);
    }
}

}  // namespace

std::string SkipReasonWords(const DeviceRecord& r, SkipReason reason, CliAction action, int modules)
{
    switch (reason) {
    case SkipReason::NotEligible:
        if (r.kind == ModuleKind::LongReply) {
            return action == CliAction::Login ? std::string("a LongReply module takes no login")
                                              : std::string("a LongReply module takes no login, so no ") + Doing(action);
        }
        if (r.status == kStatusNotSupported) {
            return "model " + r.model + " is offered no command";
        }
        return std::string("a module in status ") + StatusName(r.status) + " takes no " + Doing(action);
    case SkipReason::NotOffered:
        return "model " + r.model + " with firmware " + r.version + " takes no " + Doing(action);
    case SkipReason::KindNotOffered:
        return std::string("a ") + ModuleKindText(r.kind) + " module takes no " + Doing(action);
    case SkipReason::AddressInUse:
        return "another action holds the module's address " + r.ipText;
    case SkipReason::NoWorker:
        return "no worker could be started for the module";
    case SkipReason::AddressUnusable:
        return "the module's address " + FormatIp(r.ip) + " cannot be reached; nothing was sent to it";
    case SkipReason::AddressNotConfirmed:
        return "its reply came from " + FormatIp(r.replyFrom) + " but names " + r.ipText +
               "; no password is sent to it";
    case SkipReason::CannotTellApart:
        return (modules > 1 ? std::to_string(modules) : std::string("several")) + " modules answer at " +
               FormatIp(r.ip) + " and without static neighbour entries they cannot be told apart; nothing was sent";
    }
    return "left alone";
}

const char* ResultName(ModuleResult result)
{
    switch (result) {
    case ModuleResult::Done:
        return "done";
    case ModuleResult::Failed:
        return "failed";
    case ModuleResult::Skipped:
        return "skipped";
    case ModuleResult::NotFound:
        return "not found";
    case ModuleResult::Held:
        return "held";
    }
    return "?";
}

OutcomeTracker::OutcomeTracker(CliAction action) : m_action(action), m_actionPhase(action == CliAction::Login) {}

void OutcomeTracker::BeginAction()
{
    std::lock_guard hold(m_lock);
    m_actionPhase = true;
}

void OutcomeTracker::Seen(const DeviceRecord& r)
{
    // A login queued before a reboot, or again after it, never has the action's own queue status.
    const Queued q = QueuedFor(m_action);
    std::lock_guard hold(m_lock);
    if (r.action == q.action && r.status == q.status) {
        m_tracks[&r].queued = true;
    }
}

void OutcomeTracker::Skipped(const DeviceRecord& r, SkipReason reason)
{
    std::lock_guard hold(m_lock);
    Track& t = m_tracks[&r];
    if (reason == SkipReason::NoWorker) {
        t.noWorker = true;  // it was meant to be acted on: a failure, not a skip
    } else if (m_actionPhase) {
        t.actionSkip = t.actionSkip.value_or(reason);
    } else {
        t.loginSkip = t.loginSkip.value_or(reason);
    }
}

void OutcomeTracker::CannotTellApart(const DeviceRecord& r, int modules)
{
    {
        std::lock_guard hold(m_lock);
        m_tracks[&r].sharing = modules;
    }
    Skipped(r, SkipReason::CannotTellApart);
}

void OutcomeTracker::SkippedBecause(const DeviceRecord& r, std::string words)
{
    std::lock_guard hold(m_lock);
    Track& t = m_tracks[&r];
    if (t.skipWords.empty()) {
        t.skipWords = std::move(words);
    }
}

void OutcomeTracker::Ended(const DeviceRecord& r, ModuleOutcome outcome)
{
    std::lock_guard hold(m_lock);
    m_tracks[&r].ended = std::move(outcome);
}

ModuleOutcome OutcomeTracker::Of(const DeviceRecord& r) const
{
    std::lock_guard hold(m_lock);
    const auto found = m_tracks.find(&r);
    const Track t = found == m_tracks.end() ? Track{} : found->second;
    if (t.noWorker) {
        return {ModuleResult::Failed, SkipReasonWords(r, SkipReason::NoWorker, m_action)};
    }
    if (t.ended && !IsFailureStatus(r.status)) {
        return *t.ended;
    }
    // A failed login before the action explains more than the action's skip that follows from it.
    if (IsFailureStatus(r.status)) {
        return {ModuleResult::Failed, FailureWords(r)};
    }
    if (t.queued && r.action == kActionNone && r.failureReason == FailureReason::Held) {
        return {ModuleResult::Held, ReasonWords(r.failureReason)};
    }
    if (t.queued) {
        if (r.action == kActionNone && r.status == kStatusLoginSuccessfully) {
            const bool updated = !r.versionBefore.empty() && r.version != r.versionBefore &&
                                 (m_action == CliAction::Firmware || m_action == CliAction::Latest);
            return {ModuleResult::Done, updated ? "updated " + r.versionBefore + " -> " + r.version : ""};
        }
        return {ModuleResult::Failed, FailureWords(r)};
    }
    if (m_action == CliAction::Latest && r.status == kStatusLatestVersion) {
        return {ModuleResult::Done, "already runs the newest firmware of the folder"};
    }
    // The login phase's reason comes first: the action's skip only repeats that it did not log in.
    if (const auto skip = t.loginSkip ? t.loginSkip : t.actionSkip) {
        return {ModuleResult::Skipped, SkipReasonWords(r, *skip, m_action, t.sharing)};
    }
    if (!t.skipWords.empty()) {
        return {ModuleResult::Skipped, t.skipWords};
    }
    return {ModuleResult::Failed, "the action was never started"};
}

int ExitCode(const std::vector<ModuleResult>& results)
{
    bool skipped = false;
    for (const ModuleResult r : results) {
        if (r == ModuleResult::Failed || r == ModuleResult::NotFound || r == ModuleResult::Held) {
            return kExitFailed;
        }
        skipped = skipped || r == ModuleResult::Skipped;
    }
    return skipped ? kExitSkipped : kExitDone;
}

}  // namespace tarrowind
