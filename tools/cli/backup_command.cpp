#include "tools/cli/backup_command.h"


#include <filesystem>

#include <nlohmann/json.hpp>

#include "commands/settings_backup_run.h"
#include "commands/settings_restore.h"
#include "commands/terminal_text.h"
#include "platform/file_path.h"
#include "tools/cli/input_file.h"

namespace tarrowind {
namespace {

const char* StateName(RestoreFieldState state)
{
    switch (state) {
    case RestoreFieldState::Unchanged:
        return "unchanged";
    case RestoreFieldState::Changed:
        return "changed";
    case RestoreFieldState::Kept:
        return "kept";
    }
    return "?";
}

bool ReadBackupFile(const std::string& path, std::string& bytes, std::ostream& err)
{
    return ReadInputFile(path, kMaxSettingsBackupBytes, "settings file", bytes, err);
}

}  // namespace

int SettingsFileCommand::Prepare()
{
    const SettingsFileOptions& o = m_options.settingsFile;
    if (m_options.action == CliAction::Backup) {
        std::error_code error;
        std::filesystem::create_directories(PathFromUtf8(o.folder), error);
        if (error || !std::filesystem::is_directory(PathFromUtf8(o.folder), error)) {
            m_err << "tarrowind-cli: --out " << o.folder << " is no folder that can be made\n";
            return kExitUsage;
        }
        return kExitDone;
    }
    if (m_options.all || m_options.macs.size() + m_options.ips.size() != 1) {
        m_err << "tarrowind-cli: restore goes to one module: give one --mac or one --ip\n";
        return kExitUsage;
    }
    std::string bytes;
    if (!ReadBackupFile(o.file, bytes, m_err)) {
        return kExitUsage;
    }
    BackupRead read = ReadSettingsBackup(bytes);
    WipeString(bytes);
    if (read.error != BackupReadError::None) {
        m_err << "tarrowind-cli: " << o.file << ": " << DescribeBackupReadError(read) << '\n';
        return kExitUsage;
    }
    m_backup = std::move(read.backup);
    return kExitDone;
}

int SettingsFileCommand::Check(const std::vector<DeviceRecord*>& chosen, const std::vector<DeviceRecord*>& listed,
                               std::map<const DeviceRecord*, std::uint32_t>& expectedIp)
{
    if (m_options.action != CliAction::Restore || chosen.empty()) {
        return kExitDone;
    }
    const DeviceRecord& module = *chosen.front();
    if (const auto refusal = RestoreRefusal(m_backup, module)) {
        m_err << "tarrowind-cli: " << TerminalSafe(module.macText) << ": " << TerminalSafe(*refusal)
              << "; nothing was changed\n";
        return kExitFailed;
    }
    if (!m_options.settingsFile.withNetwork) {
        return kExitDone;
    }
    const RestoreAddressCheck check =
        CheckRestoreAddressing(module, m_backup.settings, std::vector<const DeviceRecord*>(listed.begin(), listed.end()));
    if (!check.Usable()) {
        m_err << "tarrowind-cli: " << TerminalSafe(module.macText) << ": " << TerminalSafe(DescribeRestoreAddressCheck(check))
              << "; nothing was changed\n";
        return kExitFailed;
    }
    if (!check.addressing.dhcp && !m_options.settingsFile.dryRun) {
        expectedIp[&module] = check.addressing.ip;
    }
    return kExitDone;
}

void SettingsFileCommand::Backup(const std::vector<DeviceRecord*>& chosen, CControllerManager& manager,
                                 OutcomeTracker& tracker)
{
    SettingsBackupRun run(manager, m_options.settingsFile.folder, std::chrono::system_clock::now());
    for (DeviceRecord* r : chosen) {
        if (const auto reason = run.Add(*r)) {
            tracker.Skipped(*r, *reason);
        }
    }
    run.Run();
    for (DeviceRecord* refused : run.Release()) {
        ModuleCommands::PutBack(*refused, FailureReason::None);
    }
    for (const ModuleBackup& b : run.Modules()) {
        ModuleOutcome outcome{ModuleResult::Done, "saved to " + b.path};
        if (b.readResult != kHttpSuccess) {
            outcome = {ModuleResult::Failed, b.readResult == kHttpPageIncomplete
                                                 ? "the configuration page lacked values; nothing was saved"
                                                 : "the settings could not be read (" + std::to_string(b.readResult) +
                                                       "); nothing was saved"};
        } else if (b.notText) {
            outcome = {ModuleResult::Failed, "a value the module holds is no UTF-8 text; nothing was saved"};
        } else if (!b.written) {
            outcome = {ModuleResult::Failed, "the file " + b.path + " could not be written"};
        }
        tracker.Ended(*b.record, outcome);
    }
}

bool SettingsFileCommand::Restore(ModuleSettings& settings, OutcomeTracker& tracker)
{
    const SettingsFileOptions& o = m_options.settingsFile;
    const std::vector<RestoreField> fields = PreviewRestore(settings, m_backup.settings, o.withNetwork);
    const auto shown = [](const RestoreField& f, const std::string& text) {
        return f.secret ? std::string("(secret)") : text;
    };
    if (m_options.json) {
        for (const RestoreField& f : fields) {
            nlohmann::ordered_json line = {{"field", f.field}, {"change", StateName(f.state)}, {"secret", f.secret}};
            if (!f.secret) {
                line["old"] = f.oldText;
                line["new"] = f.newText;
                line["file"] = f.fileText;
            }
            m_out << JsonTerminalSafe(line.dump(-1, ' ', false, nlohmann::json::error_handler_t::replace)) << '\n';
        }
    } else {
        m_out << "Settings of " << TerminalColumn(m_backup.mac) << " (" << TerminalColumn(m_backup.model) << ' ' << TerminalColumn(m_backup.version)
              << ", \"" << TerminalColumn(m_backup.name) << "\", saved " << TerminalColumn(m_backup.savedAt) << ")\n"
              << "FIELD\tNOW\tAFTER\tCHANGE\n";
        for (const RestoreField& f : fields) {
            m_out << f.field << '\t' << shown(f, TerminalColumn(f.oldText)) << '\t' << shown(f, TerminalColumn(f.newText)) << '\t'
                  << StateName(f.state);
            if (f.state == RestoreFieldState::Kept) {
                m_out << " (the file has " << TerminalColumn(f.fileText) << "; --with-network takes it)";
            }
            m_out << '\n';
        }
    }
    m_out.flush();
    if (o.dryRun) {
        if (settings.target.record != nullptr) {
            tracker.Ended(*settings.target.record, {ModuleResult::Done, "dry run: nothing was changed"});
        }
        return false;
    }
    ApplyRestore(m_backup.settings, o.withNetwork, settings);
    return true;
}

}  // namespace tarrowind
