#include <QCheckBox>
#include <QPushButton>
#include <QTableWidget>
#include <QTest>

#include "discovery/address_text.h"
#include "localisation/string_table.h"
#include "ui/dialogs/restore_settings_dlg.h"

using namespace tarrowind;

class RestoreSettingsDlgTest : public QObject {
    Q_OBJECT

private slots:
    void networkValuesAreKeptUntilChosenAndSecretsNeverShown();
};

void RestoreSettingsDlgTest::networkValuesAreKeptUntilChosenAndSecretsNeverShown()
{
    ModuleSettings now;
    now.ip = ParseIpText("192.0.2.20");
    now.mask = ParseIpText("255.255.255.0");
    now.devicePort = 4000;
    SettingsBackup file;
    file.settings = now;
    file.settings.ip = ParseIpText("192.0.2.10");
    file.settings.des1 = "SECRETCODE";
    file.settings.ddnsPassword = "DDNSSECRET";
    file.settings.devicePort = 4100;

    const auto row = [](CRestoreSettingsDlg& dialog, const char* key) {
        QTableWidget& t = dialog.Fields();
        for (int r = 0; r < t.rowCount(); ++r) {
            if (t.item(r, 0)->text() == QString::fromStdString(Text(key))) {
                return QStringList{t.item(r, 1)->text(), t.item(r, 2)->text(), t.item(r, 3)->text()};
            }
        }
        return QStringList{};
    };
    CRestoreSettingsDlg dialog(now, file, RestoreAddressCheck{});
    QCOMPARE(dialog.Fields().rowCount(), 17);
    QCOMPARE(row(dialog, "ORB_IDS_IP"), (QStringList{"192.0.2.20", "192.0.2.20", QString::fromStdString(Text("ORB_IDS_RESTORE_KEPT"))}));
    QCOMPARE(row(dialog, "ORB_IDS_DEVICE_PORT")[1], QStringLiteral("4100"));
    dialog.NetworkChoice().setChecked(true);
    QCOMPARE(row(dialog, "ORB_IDS_IP")[1], QStringLiteral("192.0.2.10"));
    QVERIFY(dialog.OkButton().isEnabled());
    QVERIFY(dialog.WithNetwork());
    for (int r = 0; r < dialog.Fields().rowCount(); ++r) {
        for (int c = 0; c < 4; ++c) {
            QVERIFY(!dialog.Fields().item(r, c)->text().contains(QStringLiteral("SECRET")));
        }
    }

    RestoreAddressCheck taken;
    taken.rule = AddressRule::GatewayIsModule;
    CRestoreSettingsDlg refused(now, file, taken);
    QVERIFY(refused.OkButton().isEnabled());
    refused.NetworkChoice().setChecked(true);
    QVERIFY(!refused.OkButton().isEnabled());
    refused.NetworkChoice().setChecked(false);
    QVERIFY(refused.OkButton().isEnabled());
}

QTEST_MAIN(RestoreSettingsDlgTest)
#include "restore_settings_dlg_test.moc"
