// Any file as a module's settings file: refused with a reason, or read into values that write back to
// a file that reads the same.
#include <cstddef>
#include <cstdint>
#include <string_view>

#include "commands/settings_backup.h"
#include "commands/settings_restore.h"
#include "tests/fuzz/fuzz_check.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size)
{
    using namespace tarrowind;
    const BackupRead read = ReadSettingsBackup(std::string_view(reinterpret_cast<const char*>(data), size));
    FuzzCheck(!DescribeBackupReadError(read).empty());
    if (read.error != BackupReadError::None) {
        FuzzCheck(read.backup.settings.ddnsPassword.empty() && read.backup.mac.empty());
        return 0;
    }
    const SettingsBackup& b = read.backup;
    FuzzCheck(b.settings.devicePort >= 1025 && b.settings.devicePort <= 65535);
    FuzzCheck(b.settings.sendToServer <= 2 && b.settings.ddnsType <= 1);
    const std::optional<std::string> text = SettingsBackupText(b);
    FuzzCheck(text.has_value());  // the parser let only UTF-8 texts through
    const BackupRead again = ReadSettingsBackup(*text);
    FuzzCheck(again.error == BackupReadError::None);
    FuzzCheck(again.backup.mac == b.mac && again.backup.model == b.model && again.backup.name == b.name);
    for (const RestoreField& f : PreviewRestore(b.settings, again.backup.settings, true)) {
        FuzzCheck(f.state == RestoreFieldState::Unchanged);
    }
    return 0;
}
