#include "commands/module_commands.h"

#include <memory>
#include <set>

#include "commands/address_plan.h"
#include "commands/command_state.h"
#include "commands/shared_address.h"
#include "discovery/address_text.h"
#include "discovery/core_events.h"
#include "discovery/dactyl_settings.h"
#include "discovery/module_address.h"
#include "operations/firmware_folder.h"
#include "operations/firmware_upload.h"
#include "operations/module_request.h"
#include "operations/module_settings.h"
#include "operations/pending_payload.h"
#include "platform/ipv4_address.h"
#include "platform/secret_wipe.h"

namespace tarrowind {

bool ModuleCommands::IsLoggedIn(const DeviceRecord& r)
{
    return r.action == kActionNone && r.status >= kStatusLoginSuccessfully;
}

bool ModuleCommands::TakesLogin(const DeviceRecord& r)
{
    return r.kind != ModuleKind::LongReply && r.action == kActionNone &&
           (r.status == kStatusNone || r.status == kStatusLoginFailed ||
            (r.kind == ModuleKind::BinaryDactyl && r.status == kStatusSettingFailed));
}

std::string ModuleCommands::WebAddress(const DeviceRecord& r)
{
    // From the numeric address: the address text is whatever the answering host put in its reply.
    return std::string(r.useHttps != 0 ? "https" : "http") + "://" + FormatIp(r.ip) + "/";
}

void ModuleCommands::PutBack(DeviceRecord& r, FailureReason why)
{
    r.status = r.action == kActionSetLogin || r.status == kStatusQueueLogin ? kStatusNone : kStatusLoginSuccessfully;
    r.failureReason = why;
    r.action = kActionNone;
    r.pendingPayload.reset();
    Report(r);
}

bool ModuleCommands::RefuseUnusable(DeviceRecord& r)
{
    if (IsUsableModuleAddress(r.ip)) {
        return false;
    }
    r.action = kActionNone;
    r.status = kStatusAddressUnusable;
    r.pendingPayload.reset();
    Report(r);
    m_prompts.Skipped(r, SkipReason::AddressUnusable);
    return true;
}

bool ModuleCommands::RefusedUnconfirmed(DeviceRecord& r)
{
    if (r.addressConfirmed || r.action != kActionNone) {
        return false;
    }
    r.status = kStatusAddressNotConfirmed;
    Report(r);
    m_prompts.Skipped(r, SkipReason::AddressNotConfirmed);
    return true;
}

bool ModuleCommands::RefusedShared(const DeviceRecord& r, bool& told)
{
    if (!m_listed) {
        return false;
    }
    const std::vector<const DeviceRecord*> listed = m_listed();
    if (ModulesNotToldApart(r, listed, false) == 0) {
        return false;  // alone on its address, or a reader
    }
    if (!m_manager.StaticArp().Granted() && !m_manager.StaticArp().Refused()) {
        m_manager.LearnStaticArpRight(r);
    }
    const int modules = ModulesNotToldApart(r, listed, m_manager.StaticArp().Granted());
    if (modules == 0) {
        return false;
    }
    m_prompts.CannotTellApart(r, modules, !told);
    told = true;
    return true;
}

void ModuleCommands::Queue(DeviceRecord& r, std::int32_t statusIfRefused)
{
    if (m_manager.QueueJob(&r) == 0) {
        if (r.status == kStatusAddressUnusable) {
            m_prompts.Skipped(r, SkipReason::AddressUnusable);
            return;
        }
        r.action = kActionNone;
        r.status = statusIfRefused;
        r.pendingPayload.reset();
        Report(r);
        m_prompts.Skipped(r, SkipReason::NoWorker);
    }
}

void ModuleCommands::SetLogin(const std::vector<DeviceRecord*>& selected)
{
    if (selected.empty()) {
        return;
    }
    std::string loginId, password;
    const WipeOnExit wipePassword(password);
    if (!m_prompts.AskLogin(loginId, password)) {
        return;
    }
    KeepSecretsOutOfDumps();
    bool told = false;
    for (DeviceRecord* r : selected) {
        if (r == nullptr || RefusedUnconfirmed(*r)) {
            continue;
        }
        if (!TakesLogin(*r)) {
            m_prompts.Skipped(*r, SkipReason::NotEligible);
            continue;
        }
        if (RefuseUnusable(*r) || RefusedShared(*r, told)) {
            continue;
        }
        r->userName = loginId;
        r->password = password;
        Start(*r, kActionSetLogin, kStatusQueueLogin);
    }
}

void ModuleCommands::Setting(const std::vector<DeviceRecord*>& selected)
{
    DeviceRecord* r = selected.empty() ? nullptr : selected.front();
    if (r != nullptr && RefusedUnconfirmed(*r)) {
        return;
    }
    if (r == nullptr || r->action != kActionNone || r->status < kStatusLoginSuccessfully) {
        if (r != nullptr) {
            m_prompts.Skipped(*r, SkipReason::NotEligible);
        }
        return;
    }
    if (!CanConfigure(r->model, r->version)) {
        m_prompts.Skipped(*r, SkipReason::NotOffered);
        return;
    }
    if (r->kind == ModuleKind::BinaryDactyl && !IsUsableModuleAddress(r->ip)) {
        // Its settings go out by broadcast to its MAC: the way to give a reader without one an address.
        // Such an address cannot be reserved; the reader's row is the only one that acts on it here.
        r->action = kActionSetting;
        Report(*r);
        SettingOfReader(*r);
        return;
    }
    bool told = false;
    if (RefuseUnusable(*r) || RefusedShared(*r, told)) {
        return;
    }
    // The reservation keeps every other action off this address while the user edits; the record queued
    // meanwhile is parked and starts when the address is released.
    if (!m_manager.ReserveAddress(r->ip)) {
        m_prompts.AddressInUse(*r);
        return;
    }
    const std::uint32_t address = r->ip;
    r->action = kActionSetting;
    Report(*r);
    if (r->kind == ModuleKind::BinaryDactyl) {
        SettingOfReader(*r);
    } else if (!SettingOfWebModule(*r)) {
        return;  // the user stopped waiting for the read: the address is released when it ends
    }
    Release(address);
}

void ModuleCommands::Release(std::uint32_t address)
{
    DeviceRecord* refused = nullptr;
    m_manager.ReleaseAddress(address, &refused);
    if (refused != nullptr) {
        PutBack(*refused, FailureReason::None);
        m_prompts.Skipped(*refused, SkipReason::NoWorker);
    }
}

bool ModuleCommands::SettingOfWebModule(DeviceRecord& r)
{
    // The read works on a copy of the record: a read the user stopped waiting for outlives the command,
    // and the row may be gone by the time it ends.
    struct Read {
        DeviceRecord module;
        ModuleSettings settings;
        std::int32_t result = kHttpNoTarget;
    };
    auto read = std::make_shared<Read>();
    read->module = r;
    read->module.reportWindow = nullptr;
    read->module.pendingPayload.reset();
    read->settings.target = HttpTarget::ForRecord(read->module);
    CControllerManager& manager = m_manager;
    const std::uint32_t address = r.ip;
    const auto work = [read, &manager] {
        manager.AddStaticArp(read->module);
        read->result = ReadModuleSettings(&read->settings, manager.Http());
        manager.RemoveStaticArp(read->module);
    };
    if (!m_prompts.Await(r, work, [this, address] { Release(address); })) {
        r.action = kActionNone;
        Report(r);
        return false;
    }
    if (read->result != kHttpSuccess) {
        r.action = kActionNone;
        r.status = SettingsFailureStatus(read->result);
        r.failureReason = FailureReasonOf(read->result);
        Report(r);
        return true;
    }
    auto settings = std::make_shared<ModuleSettings>(read->settings);
    settings->target = HttpTarget::ForRecord(r);
    settings->newLoginName = settings->target.userName;
    settings->newAdminPassword = settings->target.password;
    if (!m_prompts.EditModuleSettings(*settings)) {
        r.action = kActionNone;
        Report(r);
        return true;
    }
    settings->target = HttpTarget::ForRecord(r);  // the sheet edits values, never where they go
    r.pendingPayload = MakePayload(*settings);
    Start(r, kActionSetting, kStatusQueueSetting);
    return true;
}

void ModuleCommands::SettingOfReader(DeviceRecord& r)
{
    DactylSettingValues values{r.name, r.dhcp, Ipv4Address::FromNetworkOrder(ParseIpText(r.ipText)),
                               Ipv4Address::FromNetworkOrder(ParseIpText(r.maskText)),
                               Ipv4Address::FromNetworkOrder(ParseIpText(r.gatewayText))};
    if (!m_prompts.EditDactylSettings(values)) {
        r.action = kActionNone;
        Report(r);
        return;
    }
    r.pendingPayload = MakePayload(DactylSettingsRequest(MakeDactylSettingsRequest(
        r.macText, values.name, values.dhcp != 0, values.ip.HostOrder(), values.mask.HostOrder(),
        values.gateway.HostOrder())));
    Start(r, kActionSetting, kStatusQueueSetting);
}

void ModuleCommands::ChangeSettings(const std::vector<std::pair<DeviceRecord*, SettingsChange>>& changes)
{
    // Addresses of the changes queued here: modules sharing one (new ones on their factory address) park
    // behind each other and are worked on one after another, each reached by its own MAC.
    std::set<std::uint32_t> queuedHere;
    bool told = false;
    for (const auto& [r, change] : changes) {
        if (r == nullptr || RefusedUnconfirmed(*r)) {
            continue;
        }
        if (const auto reason = SettingNotOfferedReason(*r)) {
            m_prompts.Skipped(*r, *reason);
            continue;
        }
        if (r->kind == ModuleKind::BinaryDactyl && !IsUsableModuleAddress(r->ip)) {
            r->pendingPayload = MakePayload(change);
            Start(*r, kActionSetting, kStatusQueueSetting);  // by broadcast, as in Setting
            continue;
        }
        if (RefuseUnusable(*r) || RefusedShared(*r, told)) {
            continue;
        }
        // As for the settings command: queued under the reservation, so that it parks, and started by
        // the release; another action on the address meanwhile cannot slip in.
        const std::uint32_t address = r->ip;
        const bool reserved = m_manager.ReserveAddress(address);
        if (!reserved && queuedHere.count(address) == 0) {
            m_prompts.Skipped(*r, SkipReason::AddressInUse);
            continue;
        }
        queuedHere.insert(address);
        r->pendingPayload = MakePayload(change);
        Start(*r, kActionSetting, kStatusQueueSetting);
        if (reserved) {
            Release(address);
        }
    }
}

void ModuleCommands::ChangeLogin(const std::vector<DeviceRecord*>& selected)
{
    std::vector<DeviceRecord*> modules;
    for (DeviceRecord* r : selected) {
        if (r == nullptr) {
            continue;
        }
        if (TakesNewLogin(*r)) {
            modules.push_back(r);
        } else if (r->kind == ModuleKind::BinaryDactyl || r->kind == ModuleKind::LongReply) {
            m_prompts.Skipped(*r, SkipReason::KindNotOffered);  // a reader's settings carry no login
        } else {
            m_prompts.Skipped(*r, SettingNotOfferedReason(*r).value_or(SkipReason::NotEligible));
        }
    }
    if (modules.empty()) {
        return;
    }
    // Idle and logged in: no worker writes these records while their passwords are read here.
    const CommandPrompts::NewLoginCheck check = [&modules](const std::string& loginId, const std::string& password) {
        std::vector<std::string_view> current;
        for (const DeviceRecord* r : modules) {
            current.push_back(r->password);
        }
        return CheckNewLogin(loginId, password, current);
    };
    SettingsChange::Login login;
    if (!m_prompts.AskNewLogin(static_cast<int>(modules.size()), login.userName, login.password, check) ||
        check(login.userName, login.password) != NewLoginProblem::None) {
        return;
    }
    std::vector<std::pair<DeviceRecord*, SettingsChange>> changes;
    changes.reserve(modules.size());
    for (DeviceRecord* r : modules) {
        SettingsChange change;
        change.login = login;
        changes.emplace_back(r, std::move(change));
    }
    ChangeSettings(changes);
}

void ModuleCommands::AdvancedSetting(const std::vector<DeviceRecord*>& selected)
{
    const DeviceRecord* r = selected.empty() ? nullptr : selected.front();
    if (r == nullptr || r->action != kActionNone || r->status == kStatusNotSupported ||
        r->status == kStatusCannotAccess || !IsUsableModuleAddress(r->ip)) {
        return;
    }
    m_prompts.OpenAddress(WebAddress(*r));
}

void ModuleCommands::ForLoggedIn(const std::vector<DeviceRecord*>& selected, Offer offer, OfferedTo offered,
                                 const std::function<void(DeviceRecord&)>& act)
{
    bool told = false;
    for (DeviceRecord* r : selected) {
        if (r == nullptr || RefusedUnconfirmed(*r)) {
            continue;
        }
        if (!IsLoggedIn(*r)) {
            m_prompts.Skipped(*r, SkipReason::NotEligible);
            continue;
        }
        // What the window offers for this module alone; only the kind can take an offer away from a
        // logged-in module (a reader has no restart or firmware pages).
        const CommandState alone = ComputeCommandState({r}, false);
        const std::int32_t offeredAlone = offer == Offer::Restart          ? alone.reboot
                                          : offer == Offer::FirmwareUpdate ? alone.firmwareUpdate
                                                                           : alone.firmwareUpdateToLatest;
        if (offeredAlone == 0 && r->kind != ModuleKind::Web && r->kind != ModuleKind::WebDactyl) {
            m_prompts.Skipped(*r, SkipReason::KindNotOffered);
        } else if ((offered != nullptr && !offered(r->model, r->version)) || offeredAlone == 0) {
            m_prompts.Skipped(*r, SkipReason::NotOffered);
        } else if (!RefusedShared(*r, told)) {
            act(*r);
        }
    }
}

void ModuleCommands::Start(DeviceRecord& r, std::int32_t action, std::int32_t status)
{
    const bool byBroadcast = r.kind == ModuleKind::BinaryDactyl && status == kStatusQueueSetting;
    if (!byBroadcast && RefuseUnusable(r)) {
        return;
    }
    const std::int32_t before = r.status;
    r.action = action;
    r.status = status;
    r.failureReason = FailureReason::None;
    Report(r);
    Queue(r, before);
}

void ModuleCommands::RebootOrDefault(const std::vector<DeviceRecord*>& selected, RestartKind kind)
{
    if (kind != RestartKind::Reboot && kind != RestartKind::Default) {
        return;
    }
    const bool reboot = kind == RestartKind::Reboot;
    ForLoggedIn(selected, Offer::Restart, &CanConfigure, [&](DeviceRecord& r) {
        Start(r, reboot ? kActionReboot : kActionDefault, reboot ? kStatusQueueReboot : kStatusQueueSetDefault);
    });
}

void ModuleCommands::StartUpdate(DeviceRecord& r, std::int32_t action, std::vector<DeviceRecord*>* wave)
{
    if (wave == nullptr) {
        Start(r, action, kStatusQueueFirmwareUpdate);
        return;
    }
    if (RefuseUnusable(r)) {
        return;
    }
    r.action = action;
    r.status = kStatusQueueFirmwareUpdate;
    r.failureReason = FailureReason::None;
    Report(r);
    wave->push_back(&r);
}

void ModuleCommands::FirmwareUpdate(const std::vector<DeviceRecord*>& selected)
{
    if (selected.empty() || selected.front() == nullptr) {
        return;
    }
    std::vector<const DeviceRecord*> targets;
    for (const DeviceRecord* r : selected) {
        if (r != nullptr && IsLoggedIn(*r) && ComputeCommandState({r}, false).firmwareUpdate != 0 &&
            CanUpdateFirmware(r->model, r->version)) {
            targets.push_back(r);
        }
    }
    m_prompts.FirmwareTargets(targets);
    std::string path;
    if (!m_prompts.AskFirmwareFile(*selected.front(), path)) {
        return;
    }
    std::optional<WaveOptions> waves;
    if (!m_prompts.AskUpdateWaves(targets, false, waves)) {
        return;
    }
    std::vector<DeviceRecord*> wave;
    std::vector<DeviceRecord*>* inWaves = waves && m_waves != nullptr ? &wave : nullptr;
    FirmwareBatchDigests digests;  // taken as the batch begins: every module gets these bytes or none
    ForLoggedIn(selected, Offer::FirmwareUpdate, &CanUpdateFirmware, [&](DeviceRecord& r) {
        r.firmwareFile = path;
        r.firmwareFile2.clear();
        r.expectedVersion.clear();  // any version but the one before counts
        r.pendingPayload = MakePayload(digests.For(r.firmwareFile, r.firmwareFile2));
        StartUpdate(r, kActionFirmwareUpdate, inWaves);
    });
    if (inWaves != nullptr) {
        m_waves->Begin(m_manager, wave, *waves);
    }
}

void ModuleCommands::FirmwareUpdateToLatest(const std::vector<DeviceRecord*>& selected)
{
    // One reading of the list for the whole selection: every module is judged against the same list.
    const std::string folder = m_manager.FirmwareFolder();
    const IniReader list = ReadFirmwareList(folder);
    std::vector<const DeviceRecord*> targets;
    for (const DeviceRecord* r : selected) {
        if (r != nullptr && IsLoggedIn(*r) && ComputeCommandState({r}, false).firmwareUpdateToLatest != 0 &&
            CheckLatestFirmware(list, folder, r->model, r->version, nullptr, nullptr) == 1) {
            targets.push_back(r);
        }
    }
    std::optional<WaveOptions> waves;
    if (!m_prompts.AskUpdateWaves(targets, true, waves)) {
        return;
    }
    std::vector<DeviceRecord*> wave;
    std::vector<DeviceRecord*>* inWaves = waves && m_waves != nullptr ? &wave : nullptr;
    FirmwareBatchDigests digests;
    ForLoggedIn(selected, Offer::FirmwareUpdateToLatest, nullptr, [&](DeviceRecord& r) {
        const std::int32_t latest =
            CheckLatestFirmware(list, folder, r.model, r.version, &r.firmwareFile, &r.firmwareFile2,
                                &r.expectedVersion);
        if (latest == -1) {
            r.status = kStatusUnknown;
            Report(r);
        } else if (latest == 0) {
            r.status = kStatusLatestVersion;
            Report(r);
        } else if (latest == 1) {
            r.pendingPayload = MakePayload(digests.For(r.firmwareFile, r.firmwareFile2));
            StartUpdate(r, kActionFirmwareUpdateToLatest, inWaves);
        }
    });
    if (inWaves != nullptr) {
        m_waves->Begin(m_manager, wave, *waves);
    }
}

void ModuleCommands::CancelQueueItems(const std::vector<DeviceRecord*>& selected)
{
    // Those waiting for their wave first: a cancelled update of a rollout may start the next one waiting.
    if (m_waves != nullptr) {
        for (DeviceRecord* r : selected) {
            if (r != nullptr && m_waves->Withdraw(r)) {
                PutBack(*r);
            }
        }
    }
    for (DeviceRecord* r : selected) {
        // Withdrawn first: only a parked record may be read here, one a worker holds is its own. Every
        // parked record waits in one of the queued statuses.
        if (r == nullptr || !m_manager.CancelJob(r)) {
            continue;
        }
        PutBack(*r);
    }
}

}  // namespace tarrowind
