#pragma once

#include <cstdint>
#include <functional>
#include <optional>
#include <string>
#include <utility>
#include <vector>

#include "commands/login_rules.h"
#include "operations/controller_manager.h"
#include "discovery/device_record.h"
#include "operations/settings_change.h"
#include "operations/update_waves.h"
#include "platform/ipv4_address.h"

namespace tarrowind {

struct ModuleSettings;

// A reader's name and addressing as its setting dialog edits them; addresses with the first dotted
// number in the most significant byte.
struct DactylSettingValues {
    std::string name;
    std::int32_t dhcp = 0;
    Ipv4Address ip;
    Ipv4Address mask;
    Ipv4Address gateway;
};

// Why a selected module was left as it was; the window says nothing, the command line tells the user.
enum class SkipReason {
    NotEligible,        // its kind, action or status does not take the command
    NotOffered,         // its model and firmware do not take the command
    KindNotOffered,     // its kind of module does not take the command (a reader has no such page)
    AddressInUse,       // another action holds its address
    NoWorker,           // the queue could not start a worker for it
    AddressUnusable,    // its address cannot be reached (0.0.0.0, loopback, multicast, broadcast)
    AddressNotConfirmed,  // its reply named an address other than the one it came from
    CannotTellApart,    // other modules share its address and nothing makes a request reach it alone
};

// What the commands ask the user. The window shows its dialogs; the command line answers from its options.
class CommandPrompts {
public:
    virtual ~CommandPrompts() = default;
    // Login ID and password for every selected module; false when the user cancelled.
    virtual bool AskLogin(std::string& loginId, std::string& password) = 0;
    // Edits the configuration read from the module; false when cancelled.
    virtual bool EditModuleSettings(ModuleSettings& settings) = 0;
    virtual bool EditDactylSettings(DactylSettingValues& values) = 0;
    // The firmware file for the selection, the dialog prefilled for `first`; false when cancelled.
    virtual bool AskFirmwareFile(DeviceRecord& first, std::string& path) = 0;
    // Told just before AskFirmwareFile: the selected modules the update can go to, for the dialog to count.
    virtual void FirmwareTargets(const std::vector<const DeviceRecord*>& modules) { (void)modules; }
    // Whether the firmware update of `modules` goes out in waves (`waves` set) or all at once (unset).
    // Asked after AskFirmwareFile, whose dialog may hold the choice, and before an update to the newest
    // firmware; false when the user cancelled.
    virtual bool AskUpdateWaves(const std::vector<const DeviceRecord*>& modules, bool toLatest,
                                std::optional<WaveOptions>& waves)
    {
        (void)modules, (void)toLatest, (void)waves;
        return true;
    }
    // A new login ID and password for `modules` modules, the password typed twice; `check` tells what the
    // rules refuse, and the prompt asks again until it refuses nothing. False when the user cancelled.
    using NewLoginCheck = std::function<NewLoginProblem(const std::string& loginId, const std::string& password)>;
    virtual bool AskNewLogin(int modules, std::string& loginId, std::string& password, const NewLoginCheck& check)
    {
        (void)modules, (void)loginId, (void)password, (void)check;
        return false;
    }
    // Opens a module's web pages in the user's browser.
    virtual void OpenAddress(const std::string& url) = 0;
    // The settings command found the module's address busy: the window shows a message.
    virtual void AddressInUse(const DeviceRecord& record) = 0;
    // Runs `work`, a read from `record`'s module that can take as long as the module's connect time,
    // while the user waits. False when the user stopped waiting: `work` still runs to its end and then
    // `afterAbandoned` runs on the caller's thread. This default runs `work` on the caller's thread.
    virtual bool Await(const DeviceRecord& record, std::function<void()> work, std::function<void()> afterAbandoned)
    {
        (void)record, (void)afterAbandoned;
        work();
        return true;
    }
    virtual void Skipped(const DeviceRecord& record, SkipReason reason) { (void)record, (void)reason; }
    // `record` was skipped as it cannot be told apart from the others on its address (`modules` with it);
    // `first`: the first such module of this command.
    virtual void CannotTellApart(const DeviceRecord& record, int modules, bool first)
    {
        (void)modules, (void)first;
        Skipped(record, SkipReason::CannotTellApart);
    }
};

// The module commands of the main window: each checks the selected modules, asks what it needs, writes
// the action and its first status into the records, and hands them to the job queue. `selected` is in
// list order; null entries are rows without a record.
class ModuleCommands {
public:
    ModuleCommands(CControllerManager& manager, CommandPrompts& prompts) : m_manager(manager), m_prompts(prompts) {}

    void SetLogin(const std::vector<DeviceRecord*>& selected);
    void Setting(const std::vector<DeviceRecord*>& selected);
    void AdvancedSetting(const std::vector<DeviceRecord*>& selected);
    // One settings action per module with its own change, through the queue. Each module is checked as
    // the settings command checks it (logged in, offered, its address free); the others are reported
    // through CommandPrompts::Skipped. Null records are passed over.
    void ChangeSettings(const std::vector<std::pair<DeviceRecord*, SettingsChange>>& changes);
    // One settings action per logged-in web module that changes its login only, every other value as
    // the module has it just before the write; after its restart each logs in with the new login.
    void ChangeLogin(const std::vector<DeviceRecord*>& selected);
    enum class RestartKind { Reboot = 1, Default = 2 };
    void RebootOrDefault(const std::vector<DeviceRecord*>& selected, RestartKind kind);
    void FirmwareUpdate(const std::vector<DeviceRecord*>& selected);
    void FirmwareUpdateToLatest(const std::vector<DeviceRecord*>& selected);
    void CancelQueueItems(const std::vector<DeviceRecord*>& selected);
    // Every listed module, for telling modules on one address apart: only their address and MAC are read,
    // so copies that no worker changes meanwhile will do (the window's row snapshots). Unset: none known.
    void SetListed(std::function<std::vector<const DeviceRecord*>()> listed) { m_listed = std::move(listed); }
    // Where firmware updates in waves are rolled out; unset: every update goes out at once.
    void SetUpdateWaves(UpdateWaves* waves) { m_waves = waves; }

    // The module's web address: "https://" or "http://", its numeric address, "/".
    static std::string WebAddress(const DeviceRecord& record);
    // Logged in: no action and a status of LOGIN_SUCCESSFULLY or above.
    static bool IsLoggedIn(const DeviceRecord& record);
    static bool TakesLogin(const DeviceRecord& record);
    // Puts a record withdrawn from the queue back where its action started from: not logged in for a
    // login, logged in for every other action, with `why` as its reason. Reports it.
    static void PutBack(DeviceRecord& record, FailureReason why = FailureReason::Cancelled);

private:
    using OfferedTo = bool (*)(const std::string& model, const std::string& version);
    // Which of the restart and firmware commands the window would offer for this one module.
    enum class Offer { Restart, FirmwareUpdate, FirmwareUpdateToLatest };
    // Runs `act` on each selected module that is logged in, that the window would offer the command
    // (`offer`) and whose model and firmware take it (`offered`, when given); the others are skipped.
    void ForLoggedIn(const std::vector<DeviceRecord*>& selected, Offer offer, OfferedTo offered,
                     const std::function<void(DeviceRecord&)>& act);
    // A record whose reply did not come from the address it names is sent no credentials: it gets the
    // status that says so and is reported as skipped. False for every other record.
    bool RefusedUnconfirmed(DeviceRecord& record);
    // A module that shares its address with others and cannot be reached alone is sent nothing: a
    // request would reach whichever answers the address first. Reported as skipped; `told` is set by the
    // first. Where the right to make neighbour entries is not known yet it is learnt first, and a right
    // still unknown then counts as none.
    bool RefusedShared(const DeviceRecord& record, bool& told);
    // Sets the action and its first status, reports it and queues the record.
    void Start(DeviceRecord& record, std::int32_t action, std::int32_t status);
    // A firmware update: started, or with `wave` set to the batch of a rollout in waves, shown as queued
    // and added to it.
    void StartUpdate(DeviceRecord& record, std::int32_t action, std::vector<DeviceRecord*>* wave);
    // True, with status ADDRESS_UNUSABLE shown and the skip told, when nothing can be sent to the
    // record's address.
    bool RefuseUnusable(DeviceRecord& record);
    // Hands the record to the queue; when no worker can take it, puts it back as it was before.
    void Queue(DeviceRecord& record, std::int32_t statusIfRefused);
    // False when the user stopped waiting for the module's configuration.
    bool SettingOfWebModule(DeviceRecord& record);
    // Releases the settings command's reservation; a record parked for the address that no worker can
    // take is put back.
    void Release(std::uint32_t address);
    void SettingOfReader(DeviceRecord& record);

    CControllerManager& m_manager;
    CommandPrompts& m_prompts;
    std::function<std::vector<const DeviceRecord*>()> m_listed;
    UpdateWaves* m_waves = nullptr;
};

}  // namespace tarrowind
