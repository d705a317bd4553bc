#pragma once

#include <cstdint>
#include <map>
#include <ostream>
#include <vector>

#include "commands/settings_backup.h"
#include "operations/controller_manager.h"
#include "tools/cli/action_command.h"
#include "tools/cli/action_outcome.h"

namespace tarrowind {

// What `backup` and `restore` add to the common run of an action: the search, the login and the summary
// stay the run's.
class SettingsFileCommand {
public:
    SettingsFileCommand(const ActionOptions& options, std::ostream& out, std::ostream& err)
        : m_options(options), m_out(out), m_err(err)
    {
    }

    // Before anything is sent: the options, and the restore's file read and checked, or the backup's
    // folder made. kExitDone to go on, else the exit code.
    int Prepare();
    // After the search, before any login: the restore's module takes the file's model and, with the
    // network values, their addressing (noted in `expectedIp` for the summary). kExitDone to go on.
    int Check(const std::vector<DeviceRecord*>& chosen, const std::vector<DeviceRecord*>& listed,
              std::map<const DeviceRecord*, std::uint32_t>& expectedIp);
    // After the login: saves the chosen modules' settings, each outcome told to `tracker`.
    void Backup(const std::vector<DeviceRecord*>& chosen, CControllerManager& manager, OutcomeTracker& tracker);
    // The settings command's edit for a restore: prints the preview and puts the file's values into
    // `settings`; false for a dry run, which then counts as done.
    bool Restore(ModuleSettings& settings, OutcomeTracker& tracker);

private:
    const ActionOptions& m_options;
    std::ostream& m_out;
    std::ostream& m_err;
    SettingsBackup m_backup;
};

}  // namespace tarrowind
