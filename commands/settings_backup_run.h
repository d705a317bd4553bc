#pragma once

#include <chrono>
#include <cstdint>
#include <optional>
#include <string>
#include <vector>

#include "commands/module_commands.h"
#include "operations/controller_manager.h"

namespace tarrowind {

// Why a module's settings are not saved; nothing for a logged-in Web or WebDactyl module whose settings
// the settings command would read.
std::optional<SkipReason> BackupNotOfferedReason(const DeviceRecord& record);

// Why "Save settings..." (`many`: any of the selection) or "Restore settings..." (one module) is greyed
// for the selection: a string-table key; null when the command is offered.
const char* SettingsFileBlockKey(const std::vector<const DeviceRecord*>& selected, bool many);

// One module's backup: what was read and where it went.
struct ModuleBackup {
    DeviceRecord* record = nullptr;  // the listed record; the run reads and writes only `module`
    DeviceRecord module;             // a copy taken when the module was added
    std::int32_t readResult = kHttpNoTarget;
    bool written = false;
    bool notText = false;  // a value read was no UTF-8 text, so nothing was written
    std::string path;      // UTF-8

    bool Saved() const { return written; }
};

// Saves the settings of many modules, one file each, into one folder. Add and Release run on the thread
// that owns the records (the window's, or the command line's after its workers stopped); Run on any
// thread, on the copies only, so the user may stop waiting while it goes on.
class SettingsBackupRun {
public:
    SettingsBackupRun(CControllerManager& manager, std::string folder, std::chrono::system_clock::time_point now);
    ~SettingsBackupRun();
    SettingsBackupRun(const SettingsBackupRun&) = delete;
    SettingsBackupRun& operator=(const SettingsBackupRun&) = delete;

    // Takes the module when it is offered and its address can be reserved for the read, so no action
    // talks to it meanwhile; else the reason it is left alone.
    std::optional<SkipReason> Add(DeviceRecord& record);
    // Reads the modules, at most `parallel` at once, and writes a file for each that answered.
    void Run(int parallel = CControllerManager::kMaxWorkers);
    // Frees the reservations. A record an action queued meanwhile for a reserved address that no worker
    // could start is put back by the caller (ModuleCommands::PutBack): returned here.
    std::vector<DeviceRecord*> Release();

    const std::vector<ModuleBackup>& Modules() const { return m_modules; }

private:
    void Save(ModuleBackup& backup);

    CControllerManager& m_manager;
    std::string m_folder;
    std::string m_savedAt;
    std::vector<ModuleBackup> m_modules;
    std::vector<std::uint32_t> m_reserved;
};

}  // namespace tarrowind
