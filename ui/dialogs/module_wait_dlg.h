#pragma once

#include <QDialog>

#include <string>

class QLabel;
class QProgressBar;

namespace tarrowind {

struct DeviceRecord;

// A modal busy indicator while the window waits for one module (its configuration being read): it names
// the module, keeps the window painting, and lets the user stop waiting by closing it or with Cancel.
// Finish() closes it with Accepted; the user's close gives Rejected.
class CModuleWaitDlg final : public QDialog {
    Q_OBJECT

public:
    CModuleWaitDlg(const DeviceRecord& record, QWidget* parent = nullptr);

    // The text naming the module: its name and address (both come from the network and are shown as
    // plain text).
    static QString ModuleText(const DeviceRecord& record);

public slots:
    void Finish();

private:
    QLabel* m_module;
    QProgressBar* m_busy;
};

}  // namespace tarrowind
