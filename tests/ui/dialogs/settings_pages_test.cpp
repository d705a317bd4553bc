#include <QApplication>
#include <QCheckBox>
#include <QComboBox>
#include <QLineEdit>
#include <QPushButton>
#include <QTabWidget>
#include <QTest>
#include <QUrl>

#include <array>
#include <string>
#include <vector>

#include "localisation/string_table.h"
#include "tests/ui/dialogs/key_focus.h"
#include "tests/unit/fakes/reply_bytes.h"
#include "ui/dialogs/controller_property_sheet.h"
#include "ui/dialogs/network_config_page.h"
#include "ui/dialogs/other_config_page.h"

using namespace tarrowind;

using tarrowind::testing::PressEnterIn;

namespace {

std::vector<std::string> g_messages;
std::vector<QUrl> g_opened;

int RecordMessage(const std::string& text, unsigned /*type*/)
{
    g_messages.push_back(text);
    return message_box::kIdOk;
}

bool RecordUrl(const QUrl& url)
{
    g_opened.push_back(url);
    return true;
}

using testing::Ip;

template <typename T>
T* Child(QWidget* parent, const char* name)
{
    T* child = parent->findChild<T*>(name);
    if (child == nullptr) {
        qFatal("no child %s", name);
    }
    return child;
}

}  // namespace

class SettingsPagesTest : public QObject {
    Q_OBJECT

private:
    DeviceRecord m_record;

    void Fill(CControllerPropertySheet& sheet, const char* model)
    {
        m_record.model = model;
        ModuleSettings& s = sheet.settings;
        s.target = HttpTarget::ForRecord(m_record);
        s.machineName = "Door 1";
        s.ip = Ip(192, 168, 1, 10);
        s.mask = Ip(255, 255, 255, 0);
        s.gateway = Ip(192, 168, 1, 1);
        s.dns = Ip(8, 8, 4, 4);
        s.serverAddress = Ip(10, 0, 0, 7);
        s.sendToServer = CNetworkConfigPage::kSendToDdns;
        s.ddnsType = 1;
        s.hostName = "door.example";
        s.des1 = "k1";
        s.devicePort = 4001;
        s.newLoginName = "admin";
        s.newAdminPassword = "secret";
    }

private slots:
    void init()
    {
        g_messages.clear();
        g_opened.clear();
        SetMessageBoxFunction(&RecordMessage);
        CNetworkConfigPage::SetUrlOpener(&RecordUrl);
    }

    void NetworkValuesRoundTripInByteOrder()
    {
        CControllerPropertySheet sheet("title");
        Fill(sheet, "QT-DC410");
        sheet.show();
        QWidget* page = sheet.NetworkPage();
        QCOMPARE(Child<QLineEdit>(page, "ip")->text(), QString("192.168.1.10"));
        QCOMPARE(Child<QLineEdit>(page, "dns")->text(), QString("8.8.4.4"));
        // The machine name box says the limit it stops typing at.
        auto* machineName = Child<QLineEdit>(page, "machineName");
        QVERIFY(machineName->toolTip().contains(QString::number(machineName->maxLength())));
        QCOMPARE(machineName->maxLength(), CNetworkConfigPage::kMachineNameLimit);
        auto* mode = Child<QComboBox>(page, "mode");
        QCOMPARE(mode->count(), 3);
        QCOMPARE(mode->currentIndex(), 1);
        QVERIFY(Child<QLineEdit>(page, "hostName")->isVisible());
        QVERIFY(!Child<QLineEdit>(page, "serverIp")->isVisible());

        // The registration button opens the selected service's page.
        Child<QPushButton>(page, "register")->click();
        QCOMPARE(g_opened, std::vector<QUrl>{CNetworkConfigPage::RegistrationUrl(1)});

        // DHCP disables the addresses, which are still written back.
        Child<QCheckBox>(page, "dhcp")->click();
        QVERIFY(!Child<QLineEdit>(page, "gateway")->isEnabled());
        Child<QLineEdit>(page, "ip")->setText("10.20.30.40");
        // The local server's fields take the rows of the service's host and user name.
        mode->setCurrentIndex(2);
        QVERIFY(Child<QLineEdit>(page, "serverIp")->isVisible());
        QVERIFY(!Child<QLineEdit>(page, "hostName")->isVisible());
        QCOMPARE(Child<QLineEdit>(page, "serverIp")->y(), Child<QLineEdit>(page, "hostName")->y());

        sheet.accept();
        QCOMPARE(sheet.result(), int(QDialog::Accepted));
        const ModuleSettings& s = sheet.settings;
        QCOMPARE(s.ip, Ip(10, 20, 30, 40));
        QCOMPARE(s.gateway, Ip(192, 168, 1, 1));
        QCOMPARE(s.serverAddress, Ip(10, 0, 0, 7));
        QCOMPARE(s.dhcp, 1);
        QCOMPARE(s.sendToServer, CNetworkConfigPage::kSendToLocalDdns);
        QCOMPARE(s.ddnsType, 1u);
        QCOMPARE(s.hostName, std::string("door.example"));
        // The Other tab was never opened: its fields keep what was read.
        QCOMPARE(s.des1, std::string("k1"));
        QCOMPARE(s.devicePort, 4001u);
    }

    void ChangedAddressingKeepsTheRulesAndTakesNoModulesAddress()
    {
        CControllerPropertySheet sheet("title");
        Fill(sheet, "QT-DC410");
        sheet.NetworkPage()->SetOtherModuleAddresses({Ip(192, 168, 1, 20)});
        sheet.show();
        QWidget* page = sheet.NetworkPage();
        auto* ip = Child<QLineEdit>(page, "ip");
        auto* mask = Child<QLineEdit>(page, "mask");
        auto* gateway = Child<QLineEdit>(page, "gateway");
        struct Case {
            const char *ip, *mask, *gateway, *key;
        };
        const Case refused[] = {
            {"192.168.1.20", "255.255.255.0", "192.168.1.1", "ORB_IDS_ADDRESS_TAKEN"},
            {"10.0.0.5", "255.255.255.0", "192.168.1.1", "ORB_IDS_GATEWAY_OFF_SUBNET"},  // the gateway as it was
            {"192.168.1.7", "255.255.255.248", "192.168.1.1", "ORB_IDS_ADDRESS_NOT_HOST"},  // the /29's broadcast
            {"192.168.1.10", "255.255.255.0", "192.168.1.10", "ORB_IDS_GATEWAY_IS_ADDRESS"},
            {"192.168.1.10", "255.255.255.0", "192.168.1.20", "ORB_IDS_GATEWAY_IS_MODULE"},
        };
        for (const Case& c : refused) {
            g_messages.clear();
            ip->setText(c.ip);
            mask->setText(c.mask);
            gateway->setText(c.gateway);
            sheet.accept();
            QVERIFY2(!sheet.isHidden() && sheet.result() != int(QDialog::Accepted), c.key);
            QCOMPARE(g_messages, std::vector<std::string>{Text(c.key)});
            QCOMPARE(sheet.settings.ip, Ip(192, 168, 1, 10));  // nothing written back
        }
        ip->setText("192.168.1.30");
        mask->setText("255.255.255.0");
        gateway->setText("192.168.1.1");
        sheet.accept();
        QCOMPARE(sheet.result(), int(QDialog::Accepted));
        QCOMPARE(sheet.settings.ip, Ip(192, 168, 1, 30));

        // Addressing left as it was read is not held to the rules: an odd module can still be renamed.
        CControllerPropertySheet odd("title");
        Fill(odd, "QT-DC410");
        odd.settings.gateway = odd.settings.ip;
        odd.show();
        Child<QLineEdit>(odd.NetworkPage(), "machineName")->setText("Door 2");
        odd.accept();
        QCOMPARE(odd.result(), int(QDialog::Accepted));
    }

    void EnterGoesToTheFocusedButtonElseOk()
    {
        CControllerPropertySheet sheet("title");
        Fill(sheet, "QT-DC410");
        sheet.show();
        QWidget* page = sheet.NetworkPage();
        Child<QComboBox>(page, "ddnsType")->setCurrentIndex(0);
        QVERIFY(PressEnterIn(Child<QPushButton>(page, "register")));
        QCOMPARE(g_opened, std::vector<QUrl>{CNetworkConfigPage::RegistrationUrl(0)});
        QVERIFY(sheet.isVisible());

        // Elsewhere, a check box too, Enter is OK's.
        QVERIFY(PressEnterIn(Child<QCheckBox>(page, "dhcp")));
        QCOMPARE(sheet.result(), int(QDialog::Accepted));
        QVERIFY(!sheet.isVisible());
        QCOMPARE(g_opened.size(), std::size_t{1});
        QCOMPARE(sheet.settings.dhcp, 0);
    }

    void NetworkCodesOutOfRangeAndReaderModels()
    {
        CControllerPropertySheet sheet("title");
        Fill(sheet, "QT-DC410");
        sheet.settings.sendToServer = 7;
        sheet.settings.ddnsType = 5;
        sheet.show();
        QCOMPARE(Child<QComboBox>(sheet.NetworkPage(), "mode")->currentIndex(), 0);
        QCOMPARE(Child<QComboBox>(sheet.NetworkPage(), "ddnsType")->currentIndex(), 0);
        QVERIFY(!Child<QLineEdit>(sheet.NetworkPage(), "hostName")->isVisible());
        sheet.accept();
        QCOMPARE(sheet.settings.sendToServer, CNetworkConfigPage::kDdnsDisabled);
        QCOMPARE(sheet.settings.ddnsType, 0u);

        // A reader without the local mode: its code selects nothing and is kept; it has no 3DES codes.
        CControllerPropertySheet reader("title");
        Fill(reader, "QT-FP-6621");
        reader.settings.sendToServer = CNetworkConfigPage::kSendToLocalDdns;
        reader.show();
        auto* mode = Child<QComboBox>(reader.NetworkPage(), "mode");
        QCOMPARE(mode->count(), 2);
        QCOMPARE(mode->currentIndex(), -1);
        QVERIFY(!Child<QLineEdit>(reader.NetworkPage(), "serverIp")->isVisible());
        reader.Tabs()->setCurrentIndex(1);
        QVERIFY(!Child<QLineEdit>(reader.OtherPage(), "code1")->isEnabled());
        QVERIFY(Child<QLineEdit>(reader.OtherPage(), "code1")->text().isEmpty());
        reader.accept();
        QCOMPARE(reader.result(), int(QDialog::Accepted));
        QCOMPARE(reader.settings.sendToServer, CNetworkConfigPage::kSendToLocalDdns);
        QCOMPARE(reader.settings.des1, std::string());
    }

    void OtherPageChecksPortAndPassword()
    {
        CControllerPropertySheet sheet("title");
        Fill(sheet, "QT-DC410");
        sheet.settings.devicePort = 0;
        sheet.show();
        QTabWidget* tabs = sheet.Tabs();
        tabs->setCurrentIndex(1);
        QWidget* page = sheet.OtherPage();
        auto* port = Child<QLineEdit>(page, "port");
        QCOMPARE(port->text(), QString("4000"));
        QCOMPARE(sheet.settings.devicePort, 4000u);
        QCOMPARE(Child<QLineEdit>(page, "confirmation")->text(), QString("secret"));

        // A port out of range keeps the page shown, whether leaving it or pressing OK.
        port->setText("80");
        tabs->setCurrentIndex(0);
        QCOMPARE(tabs->currentIndex(), 1);
        QCOMPARE(g_messages, std::vector<std::string>{Text("ORB_IDS_PARSE_INT_RANGE", 1025, 65535)});
        QVERIFY(g_messages[0].find("1025") != std::string::npos);
        port->clear();
        sheet.accept();
        QVERIFY(sheet.isVisible());
        QCOMPARE(g_messages.size(), std::size_t{2});
        port->setText("65535");

        // Editing the password asks for its confirmation again.
        QTest::keyClicks(Child<QLineEdit>(page, "password"), "2");
        QVERIFY(Child<QLineEdit>(page, "confirmation")->text().isEmpty());
        tabs->setCurrentIndex(0);
        sheet.accept();
        QVERIFY(sheet.isVisible());
        QCOMPARE(tabs->currentIndex(), 1);
        QCOMPARE(g_messages.back(), Text("ORB_IDS_PASSWORD_NOT_MATCH"));
        QCOMPARE(sheet.settings.newAdminPassword, std::string("secret"));

        // A new password the module would decode ("%41" is "A") is refused; the old one stays.
        Child<QLineEdit>(page, "password")->setText("ab%41cd99");
        Child<QLineEdit>(page, "confirmation")->setText("ab%41cd99");
        sheet.accept();
        QVERIFY(sheet.isVisible());
        QCOMPARE(g_messages.back(), Text("ORB_IDS_NEW_LOGIN_CHARACTERS"));
        QCOMPARE(sheet.settings.newAdminPassword, std::string("secret"));

        Child<QLineEdit>(page, "password")->setText("secret2");
        Child<QLineEdit>(page, "confirmation")->setText("secret2");
        Child<QLineEdit>(page, "loginId")->setText("root");
        sheet.accept();
        QCOMPARE(sheet.result(), int(QDialog::Accepted));
        QCOMPARE(sheet.settings.devicePort, 65535u);
        QCOMPARE(sheet.settings.newLoginName, std::string("root"));
        QCOMPARE(sheet.settings.newAdminPassword, std::string("secret2"));
        QCOMPARE(sheet.settings.des1, std::string("k1"));
    }
};

QTEST_MAIN(SettingsPagesTest)
#include "settings_pages_test.moc"
