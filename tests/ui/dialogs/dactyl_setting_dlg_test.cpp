#include <QApplication>
#include <QCheckBox>
#include <QLineEdit>
#include <QPushButton>
#include <QTest>

#include "localisation/string_table.h"
#include "platform/ipv4_address.h"
#include "tests/ui/dialogs/key_focus.h"
#include "ui/dialogs/dactyl_setting_dlg.h"

using tarrowind::CDactylSettingDlg;
using tarrowind::Ipv4Address;

using tarrowind::testing::PressEnterIn;

namespace {

}  // namespace

class DactylSettingDlgTest : public QObject {
    Q_OBJECT

private slots:
    void ValuesGoInAndComeBack()
    {
        CDactylSettingDlg dialog;
        dialog.deviceName = "Reader";
        dialog.dhcp = 0;
        dialog.ip = Ipv4Address::FromOctets(192, 168, 1, 10);
        dialog.mask = Ipv4Address::FromOctets(255, 255, 255, 0);
        dialog.gateway = Ipv4Address::FromOctets(192, 168, 1, 1);
        dialog.show();
        auto* name = dialog.findChild<QLineEdit*>("deviceName");
        auto* dhcp = dialog.findChild<QCheckBox*>("dhcp");
        auto* ip = dialog.findChild<QLineEdit*>("ip");
        auto* mask = dialog.findChild<QLineEdit*>("mask");
        auto* gateway = dialog.findChild<QLineEdit*>("gateway");
        QCOMPARE(ip->text(), QString("192.168.1.10"));
        QCOMPARE(gateway->text(), QString("192.168.1.1"));

        // DHCP disables the addresses and enabling it again brings them back.
        dhcp->click();
        QVERIFY(!ip->isEnabled() && !mask->isEnabled() && !gateway->isEnabled());
        dhcp->click();
        QVERIFY(ip->isEnabled() && mask->isEnabled() && gateway->isEnabled());

        name->clear();
        QTest::keyClicks(name, "ABCDEFGHIJKLMNOPQRS");
        QCOMPARE(name->text(), QString("ABCDEFGHIJKLMNOP"));
        dhcp->click();
        mask->setText("255.255.0.0");
        dialog.accept();
        QCOMPARE(dialog.result(), int(QDialog::Accepted));
        QCOMPARE(dialog.deviceName, std::string("ABCDEFGHIJKLMNOP"));
        QCOMPARE(dialog.dhcp, 1);
        QCOMPARE(dialog.ip, Ipv4Address::FromOctets(192, 168, 1, 10));
        QCOMPARE(dialog.mask, Ipv4Address::FromOctets(255, 255, 0, 0));
    }

    void EnterGoesToTheFocusedButtonElseOk()
    {
        CDactylSettingDlg dialog;
        dialog.ip = Ipv4Address::FromOctets(10, 0, 0, 1);
        dialog.show();
        const QList<QPushButton*> buttons = dialog.findChildren<QPushButton*>();
        QCOMPARE(buttons.size(), 2);
        QCOMPARE(buttons[1]->text(), QString::fromStdString(tarrowind::Text("ORB_IDC_CANCEL")));
        QVERIFY(PressEnterIn(buttons[1]));
        QCOMPARE(dialog.result(), int(QDialog::Rejected));

        dialog.show();
        QVERIFY(PressEnterIn(dialog.findChild<QLineEdit*>("ip")));
        QCOMPARE(dialog.result(), int(QDialog::Accepted));
        QCOMPARE(dialog.ip, Ipv4Address::FromOctets(10, 0, 0, 1));
    }

    void EmptyFieldsGiveEmptyValuesOnlyWhereDhcpTakesOver()
    {
        CDactylSettingDlg dialog;
        dialog.deviceName = "x";
        dialog.ip = Ipv4Address::FromOctets(0, 0, 0, 1);
        dialog.show();
        dialog.findChild<QLineEdit*>("deviceName")->clear();
        dialog.findChild<QLineEdit*>("ip")->clear();
        dialog.accept();
        QVERIFY(dialog.result() != int(QDialog::Accepted));  // no address and no DHCP: refused
        dialog.findChild<QCheckBox*>("dhcp")->click();
        dialog.accept();
        QCOMPARE(dialog.result(), int(QDialog::Accepted));
        QCOMPARE(dialog.deviceName, std::string());
        QCOMPARE(dialog.dhcp, 1);
        QCOMPARE(dialog.ip, Ipv4Address());
        QCOMPARE(dialog.mask, Ipv4Address());
    }

    void ChangedAddressingKeepsTheRules()
    {
        CDactylSettingDlg dialog;
        dialog.ip = Ipv4Address::FromOctets(192, 168, 1, 10);
        dialog.mask = Ipv4Address::FromOctets(255, 255, 255, 0);
        dialog.gateway = Ipv4Address::FromOctets(192, 168, 1, 1);
        dialog.otherModuleAddresses = {Ipv4Address::FromOctets(192, 168, 1, 20).NetworkOrder()};
        dialog.show();
        auto* ip = dialog.findChild<QLineEdit*>("ip");
        for (const char* refused : {"192.168.1.20", "10.0.0.5", "192.168.1.255", "192.168.1.1"}) {
            ip->setText(refused);
            dialog.accept();
            QVERIFY2(dialog.result() != int(QDialog::Accepted), refused);
            QCOMPARE(dialog.ip, Ipv4Address::FromOctets(192, 168, 1, 10));
        }
        ip->setText("192.168.1.30");
        dialog.accept();
        QCOMPARE(dialog.result(), int(QDialog::Accepted));
        QCOMPARE(dialog.ip, Ipv4Address::FromOctets(192, 168, 1, 30));
    }
};

QTEST_MAIN(DactylSettingDlgTest)
#include "dactyl_setting_dlg_test.moc"
