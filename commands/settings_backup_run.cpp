#include "commands/settings_backup_run.h"

#include <algorithm>
#include <atomic>
#include <map>
#include <thread>

#include "commands/address_plan.h"
#include "commands/command_state.h"
#include "commands/settings_backup.h"
#include "discovery/address_text.h"
#include "discovery/module_address.h"
#include "operations/module_settings.h"
#include "platform/private_file.h"

namespace tarrowind {

std::optional<SkipReason> BackupNotOfferedReason(const DeviceRecord& r)
{
    if (r.kind == ModuleKind::BinaryDactyl || r.kind == ModuleKind::LongReply) {
        return SkipReason::KindNotOffered;  // no configuration page to read
    }
    return SettingNotOfferedReason(r);
}

const char* SettingsFileBlockKey(const std::vector<const DeviceRecord*>& selected, bool many)
{
    std::vector<const DeviceRecord*> rows;
    for (const DeviceRecord* r : selected) {
        if (r != nullptr) {
            rows.push_back(r);
        }
    }
    if (rows.empty()) {
        return CommandBlockKey(CommandBlock::NoSelection);
    }
    if (!many && rows.size() > 1) {
        return CommandBlockKey(CommandBlock::OneModuleOnly);
    }
    if (std::any_of(rows.begin(), rows.end(), [](const DeviceRecord* r) { return !BackupNotOfferedReason(*r); })) {
        return nullptr;
    }
    const DeviceRecord& r = *rows.front();
    if (BackupNotOfferedReason(r) == SkipReason::KindNotOffered) {
        return "ORB_IDS_WHY_NO_SETTINGS_PAGE";
    }
    if (r.action != kActionNone) {
        return CommandBlockKey(CommandBlock::RowBusy);
    }
    if (r.status == kStatusNotSupported) {
        return CommandBlockKey(CommandBlock::NotSupported);
    }
    if (r.status < kStatusLoginSuccessfully) {
        return CommandBlockKey(CommandBlock::NotLoggedIn);
    }
    return CommandBlockKey(CommandBlock::VersionTooOld);
}

SettingsBackupRun::SettingsBackupRun(CControllerManager& manager, std::string folder,
                                     std::chrono::system_clock::time_point now)
    : m_manager(manager), m_folder(std::move(folder)), m_savedAt(UtcTimestamp(now))
{
    if (!m_folder.empty() && m_folder.back() != '/' && m_folder.back() != '\\') {
        m_folder += '/';
    }
}

SettingsBackupRun::~SettingsBackupRun()
{
    for (const std::uint32_t address : m_reserved) {
        m_manager.ReleaseAddress(address);
    }
}

std::optional<SkipReason> SettingsBackupRun::Add(DeviceRecord& r)
{
    if (const auto reason = BackupNotOfferedReason(r)) {
        return reason;
    }
    if (!r.addressConfirmed) {
        return SkipReason::AddressNotConfirmed;
    }
    if (!IsUsableModuleAddress(r.ip)) {
        return SkipReason::AddressUnusable;
    }
    // Modules on one address (new ones on their factory address) are read one after another, each
    // reached by its MAC through a static neighbour entry; without such entries they cannot be told apart.
    if (std::find(m_reserved.begin(), m_reserved.end(), r.ip) != m_reserved.end()) {
        if (m_manager.StaticArp().Refused() || r.routed) {
            return SkipReason::CannotTellApart;
        }
    } else if (!m_manager.ReserveAddress(r.ip)) {
        return SkipReason::AddressInUse;
    } else {
        m_reserved.push_back(r.ip);
    }
    ModuleBackup backup;
    backup.record = &r;
    backup.module = r;
    backup.module.reportWindow = nullptr;  // a read reports nothing to the list
    backup.module.pendingPayload.reset();
    m_modules.push_back(std::move(backup));
    return std::nullopt;
}

void SettingsBackupRun::Run(int parallel)
{
    // One worker per address at a time, as the queue has it.
    std::map<std::uint32_t, std::vector<ModuleBackup*>> byAddress;
    for (ModuleBackup& b : m_modules) {
        byAddress[b.module.ip].push_back(&b);
    }
    std::vector<std::vector<ModuleBackup*>> groups;
    for (auto& [address, group] : byAddress) {
        groups.push_back(std::move(group));
    }
    std::atomic<std::size_t> next{0};
    const auto work = [&] {
        for (std::size_t i = next++; i < groups.size(); i = next++) {
            for (ModuleBackup* b : groups[i]) {
                Save(*b);
            }
        }
    };
    const std::size_t threads = std::min<std::size_t>(groups.size(), static_cast<std::size_t>(std::max(parallel, 1)));
    std::vector<std::thread> pool;
    for (std::size_t i = 1; i < threads; ++i) {
        pool.emplace_back(work);
    }
    work();
    for (std::thread& t : pool) {
        t.join();
    }
}

void SettingsBackupRun::Save(ModuleBackup& b)
{
    SettingsBackup backup;
    backup.settings.target = HttpTarget::ForRecord(b.module);
    m_manager.AddStaticArp(b.module);
    b.readResult = ReadModuleSettings(&backup.settings, m_manager.Http());
    m_manager.RemoveStaticArp(b.module);
    backup.settings.target = HttpTarget{};  // the login goes nowhere near the file
    if (b.readResult != kHttpSuccess) {
        return;
    }
    backup.mac = FormatMac(b.module.mac);
    backup.model = b.module.model;
    backup.version = b.module.version;
    backup.name = b.module.name;
    backup.savedAt = m_savedAt;
    std::optional<std::string> text = SettingsBackupText(backup);
    if (!text) {
        b.notText = true;
        return;
    }
    b.path = m_folder + SettingsBackupFileName(b.module.mac);
    b.written = WriteOwnerOnlyFile(b.path, *text);
    WipeString(*text);
}

std::vector<DeviceRecord*> SettingsBackupRun::Release()
{
    std::vector<DeviceRecord*> refused;
    for (const std::uint32_t address : m_reserved) {
        DeviceRecord* parked = nullptr;
        m_manager.ReleaseAddress(address, &parked);
        if (parked != nullptr) {
            refused.push_back(parked);
        }
    }
    m_reserved.clear();
    return refused;
}

}  // namespace tarrowind
