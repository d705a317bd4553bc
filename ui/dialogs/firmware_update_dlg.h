#pragma once

#include <QDialog>

#include <optional>
#include <string>
#include <vector>

#include "discovery/device_record.h"
#include "operations/update_waves.h"

class QLabel;
class QLineEdit;

namespace tarrowind {

class UpdateWavesChoice;

// Asks for the firmware file that the firmware-update action uploads to every selected module,
// pre-filled with the firmware that the management software's list names for the module's model.
// Update is refused while the path is empty; the path is not checked for existence. Cancel is the
// default button, so Enter in the path box does not start an update; a focused button takes Enter.
class CFirmwareUpdateDlg final : public QDialog {
    Q_OBJECT

public:
    // Shows an open-file chooser and returns the chosen file's full path, or empty when cancelled;
    // replaceable so that tests never open one.
    using FileChooser = QString (*)(QWidget* parent, const QString& caption, const QString& directory,
                                    const QString& filter);
    // Sets the chooser (nullptr: the desktop's) and returns the previous one.
    static FileChooser SetFileChooser(FileChooser chooser);
    // The chooser's file-type filter: firmware images ending in .a90 or .bin.
    static QString FileFilter();

    explicit CFirmwareUpdateDlg(QWidget* parent = nullptr);
    ~CFirmwareUpdateDlg() override;

    std::string firmwareFile;                   // full path of the file to upload (UTF-8); never empty after Accepted
    const DeviceRecord* device = nullptr;       // module whose model picks the listed firmware; not owned
    std::optional<std::string> firmwareFolder;  // folder with the firmware list; unset: the management software's
    // The modules the update goes to, each as the list names it; the dialog counts them and names a few.
    std::vector<std::string> modules;

    // After Accepted: the update goes out in waves (set) or to every module at once. Offered for two
    // modules or more.
    std::optional<WaveOptions> waves;

    // Up to this many modules are named; more are only counted.
    static constexpr std::size_t kNamedModules = 5;
    // The count of `modules` and, when they are few, their names, one a line.
    static QString TargetsText(const std::vector<std::string>& modules);
    // The folder the chooser opened last in this run; the next dialog starts there when its path has none.
    static QString LastFolder();
    static void SetLastFolder(const QString& folder);  // the one the window remembered from its last run

    void setVisible(bool visible) override;

public slots:
    void accept() override;

private:
    void Browse();
    void ShowTargets();

    QLineEdit* m_path;
    QLabel* m_targets;
    UpdateWavesChoice* m_waves;
    bool m_looked = false;
};

}  // namespace tarrowind
