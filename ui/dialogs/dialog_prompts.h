#pragma once

#include <QObject>
#include <QWidget>

#include <cstdint>
#include <functional>
#include <memory>
#include <optional>
#include <vector>

#include "commands/module_commands.h"

namespace tarrowind {

// The module commands' questions as the window's modal dialogs, owned by `parent`.
class DialogPrompts final : public CommandPrompts {
public:
    DialogPrompts(QWidget* parent, const CControllerManager& manager) : m_parent(parent), m_manager(manager) {}

    bool AskLogin(std::string& loginId, std::string& password) override;
    bool AskNewLogin(int modules, std::string& loginId, std::string& password, const NewLoginCheck& check) override;
    bool EditModuleSettings(ModuleSettings& settings) override;
    bool EditDactylSettings(DactylSettingValues& values) override;
    bool AskFirmwareFile(DeviceRecord& first, std::string& path) override;
    void FirmwareTargets(const std::vector<const DeviceRecord*>& modules) override;
    // From a file: the choice of the firmware dialog. To the newest: for two modules or more, a dialog
    // that names them and offers the waves.
    bool AskUpdateWaves(const std::vector<const DeviceRecord*>& modules, bool toLatest,
                        std::optional<WaveOptions>& waves) override;
    void OpenAddress(const std::string& url) override;
    void AddressInUse(const DeviceRecord& record) override;
    // Said once per command; the rows keep their status.
    void CannotTellApart(const DeviceRecord& record, int modules, bool first) override;
    // Runs `work` on a thread of its own behind a modal busy indicator, so the window keeps painting and
    // other rows keep moving however long the module takes to answer.
    bool Await(const DeviceRecord& record, std::function<void()> work, std::function<void()> afterAbandoned) override;

    // Reads still running, also those the user stopped waiting for; the window stays open until none is.
    int PendingReads() const { return static_cast<int>(m_reads.size()); }
    // The login ID offered by the login dialog: the one given last.
    std::string lastLoginId;
    // The addresses of the listed modules other than `record` (network order), which the settings
    // sheet gives no module; unset: none is known.
    std::function<std::vector<std::uint32_t>(const DeviceRecord* record)> otherModuleAddresses;

    ~DialogPrompts() override;

private:
    struct PendingRead;
    void Ended(const std::shared_ptr<PendingRead>& read);

    QWidget* m_parent;
    const CControllerManager& m_manager;
    std::vector<std::string> m_firmwareTargets;  // named by the last FirmwareTargets, shown by the next dialog
    std::optional<WaveOptions> m_fileWaves;      // chosen in the last firmware dialog
    QObject m_receiver;  // on the window thread: where a read that ended is handled
    std::vector<std::shared_ptr<PendingRead>> m_reads;
};

}  // namespace tarrowind
