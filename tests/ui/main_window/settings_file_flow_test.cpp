// "Save settings..." and "Restore settings..." through the window, its file dialogs answered as a user
// would, against fake modules.
#include <QCheckBox>
#include <QDir>
#include <QFileDialog>
#include <QLineEdit>
#include <QPushButton>
#include <QTemporaryDir>
#include <QTest>
#include <QTimer>

#include <filesystem>
#include <utility>

#include "discovery/address_text.h"
#include "localisation/string_table.h"
#include "operations/pending_payload.h"
#include "tests/ui/main_window/fake_window_site.h"
#include "ui/device_list/controller_list_ctrl.h"
#include "ui/dialogs/restore_settings_dlg.h"
#include "ui/main_window/main_dialog.h"

namespace tarrowind {
namespace {

// Two modules of one model, each with a configuration page of its own; workers run when the test says.
struct Site : testing::FakeWindowSite {
    Site()
    {
        http.handler = [](const HttpRequest& q) {
            const std::string n = q.host == "192.0.2.10" ? "10" : "11";
            return HttpResult{0, 200,
                              "var va_machname = 'Door " + n + "'; var va_EnableDHCP = 0; var va_IpAddr = '192.0.2." + n +
                                  "'; var va_NetMask = '255.255.255.0'; var va_Gateway = '192.0.2.254'; var va_DNServer = "
                                  "'192.0.2.53'; var va_SendtoServer = 2; var va_ServerAddress = '0.0.0.0'; var va_MyName "
                                  "= ''; var va_ddns = 0; var va_HostName = ''; var va_UserName = ''; var va_DDNSPasswd = "
                                  "'dd" + n + "'; var va_3Des1 = 'k" + n + "'; var va_3Des2 = 'k2'; var va_3Des3 = 'k3'; "
                                  "var va_DevicePort = '40" + n + "';"};
        };
    }
};

// Answers each modal dialog as it comes up, until stopped.
class Answerer : public QObject {
public:
    std::function<bool(QWidget*)> answer;  // true: answered
    Answerer()
    {
        connect(&m_timer, &QTimer::timeout, this, [this] {
            if (QWidget* modal = QApplication::activeModalWidget(); modal != nullptr && answer) {
                answer(modal);
            }
        });
        m_timer.start(20);
    }

private:
    QTimer m_timer;
};

}  // namespace

class SettingsFileFlowTest : public QObject {
    Q_OBJECT

private slots:
    void savedFilesRestoreOntoTheOtherModuleWithItsOwnAddressKept()
    {
        Site site;
        MainDialog window(site.Services(), ManagerTiming{}, nullptr);
        window.show();
        QTRY_VERIFY(!window.IsSearching() && window.List().RowCount() == 2);
        for (int row = 0; row < 2; ++row) {
            DeviceRecord* r = window.List().RecordAt(row);
            r->status = kStatusLoginSuccessfully;
            r->userName = "admin";
            r->password = "login-pw";
            window.List().Refresh(*r);
        }
        window.List().selectAll();
        QVERIFY(window.Action(MainDialog::kCommandSaveSettings)->isEnabled());
        QVERIFY(!window.Action(MainDialog::kCommandRestoreSettings)->isEnabled());

        QTemporaryDir folder;
        Answerer answerer;
        answerer.answer = [&](QWidget* modal) {
            if (auto* files = qobject_cast<QFileDialog*>(modal)) {
                files->setDirectory(folder.path());
                static_cast<QDialog*>(files)->accept();
            }
            return true;
        };
        window.RunCommand(MainDialog::kCommandSaveSettings);
        const std::filesystem::path first = folder.path().toStdString() + "/02-00-00-00-01-01.json";
        const std::filesystem::path second = folder.path().toStdString() + "/02-00-00-00-01-02.json";
        QVERIFY(std::filesystem::exists(first) && std::filesystem::exists(second));
#ifndef _WIN32
        QCOMPARE(std::filesystem::status(second).permissions(),
                 std::filesystem::perms::owner_read | std::filesystem::perms::owner_write);
#endif

        // Door 11's file onto Door 10: the network values stay Door 10's; with them, Door 11's address is
        // still listed, so OK is refused.
        window.List().clearSelection();
        window.List().selectRow(0);
        bool refusedWithNetwork = false;
        answerer.answer = [&](QWidget* modal) {
            if (auto* files = qobject_cast<QFileDialog*>(modal)) {
                // Typed, as the list of the folder may not be read yet.
                files->findChild<QLineEdit*>("fileNameEdit")->setText(QString::fromStdString(second.string()));
                static_cast<QDialog*>(files)->accept();
            } else if (auto* preview = qobject_cast<CRestoreSettingsDlg*>(modal)) {
                preview->NetworkChoice().setChecked(true);
                refusedWithNetwork = !preview->OkButton().isEnabled();
                preview->NetworkChoice().setChecked(false);
                preview->accept();
            }
            return true;
        };
        window.RunCommand(MainDialog::kCommandRestoreSettings);
        QVERIFY(refusedWithNetwork);
        const DeviceRecord* target = window.List().SnapshotAt(0);
        QCOMPARE(target->action, static_cast<std::int32_t>(kActionSetting));
        const ModuleSettings* queued = PayloadAs<ModuleSettings>(*window.List().RecordAt(0));
        QVERIFY(queued != nullptr);
        QCOMPARE(queued->machineName, std::string("Door 11"));
        QCOMPARE(queued->des1, std::string("k11"));
        QCOMPARE(queued->ddnsPassword, std::string("dd11"));
        QCOMPARE(queued->devicePort, 4011u);
        QCOMPARE(FormatIp(queued->ip), std::string("192.0.2.10"));
        QCOMPARE(queued->newAdminPassword, std::string("login-pw"));  // the login stays the module's
        for (auto& work : std::exchange(site.workers, {})) {
            work();
        }
        QTRY_VERIFY(!window.HasPendingWork());
        // The restore ends as a batch of its own, named without the menu's dots.
        const QString restore = QString::fromStdString(Text("ORB_IDS_RESTORE_SETTINGS")).remove(QStringLiteral("..."));
        QTRY_VERIFY2(window.StatusPaneText().startsWith(restore + QStringLiteral(": ")), qPrintable(window.StatusPaneText()));
    }

};

}  // namespace tarrowind

QTEST_MAIN(tarrowind::SettingsFileFlowTest)
#include "settings_file_flow_test.moc"
