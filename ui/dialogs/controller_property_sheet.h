#pragma once

#include <QDialog>

#include "operations/module_settings.h"

class QTabWidget;

namespace tarrowind {

class CNetworkConfigPage;
class COtherConfigPage;

// The settings of one web-server module on two tabs, Network and Other, with OK and Cancel. The pages
// edit `settings` in place: each reads it when first shown, and on OK every page that was shown writes
// its values back. After Cancel the record's content is not to be used.
class CControllerPropertySheet final : public QDialog {
    Q_OBJECT

public:
    explicit CControllerPropertySheet(const QString& title, QWidget* parent = nullptr);
    ~CControllerPropertySheet() override;

    ModuleSettings settings;  // the module's configuration: filled by the caller before exec(), edited on Accepted

    CNetworkConfigPage* NetworkPage() const { return m_network; }
    COtherConfigPage* OtherPage() const { return m_other; }
    QTabWidget* Tabs() const { return m_tabs; }

    void setVisible(bool visible) override;

public slots:
    void accept() override;

private:
    void OnCurrentChanged(int index);
    void InitialiseCurrentPage();

    QTabWidget* m_tabs;
    CNetworkConfigPage* m_network;
    COtherConfigPage* m_other;
    int m_shownIndex = 0;
};

}  // namespace tarrowind
