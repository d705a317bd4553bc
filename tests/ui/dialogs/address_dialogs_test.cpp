#include <QPlainTextEdit>
#include <QTableWidget>
#include <QTest>

#include "discovery/address_text.h"
#include "localisation/string_table.h"
#include "ui/dialogs/assign_addresses_dlg.h"
#include "ui/dialogs/ip_address_edit.h"
#include "ui/device_list/controller_list_model.h"
#include "ui/dialogs/search_addresses_dlg.h"

using namespace tarrowind;

namespace {

DeviceRecord LoggedIn(const char* mac, const char* ip, const char* name = "")
{
    DeviceRecord r;
    r.kind = ModuleKind::Web;
    r.model = "QT-DC410";
    r.version = "V3.10R2";
    r.name = name;
    r.macText = mac;
    r.ipText = ip;
    r.ip = InetAddr(ip);
    r.maskText = "255.255.255.0";
    r.gatewayText = "192.0.2.254";
    r.status = kStatusLoginSuccessfully;
    return r;
}

QString Cell(QTableWidget& table, int row, int column)
{
    return table.item(row, column)->text().remove(QChar(0x2066)).remove(QChar(0x2069));
}

}  // namespace

class AddressDialogsTest : public QObject {
    Q_OBJECT

private slots:
    void searchAddressesTellsWhatIsWrongAndRefusesIt();
    void assignAddressesPreviewsFlagsAndRefusesBadPlans();
    void assignAddressesShowsModulesSharingAnAddressAndKeptGateways();
};

void AddressDialogsTest::searchAddressesTellsWhatIsWrongAndRefusesIt()
{
    CSearchAddressesDlg dialog(QStringLiteral("192.0.2.0/30, 192.0.2.10-192.0.2.12"), 0, nullptr);
    QVERIFY(dialog.CanAccept());
    QCOMPARE(dialog.Ranges().Count(), std::uint64_t{5});  // a /30 without its network and broadcast
    QVERIFY(dialog.NoteText().contains(QStringLiteral("5")));
    QCOMPARE(dialog.ProbesPerSecond(), kDefaultProbeRate);  // an impossible remembered rate is not kept

    auto* text = dialog.findChild<QPlainTextEdit*>("ranges");
    text->setPlainText(QStringLiteral("192.0.2.1, 10.0.0.300"));
    QVERIFY(!dialog.CanAccept());
    // The item and the prompt's examples read left to right in a right-to-left window too.
    QVERIFY(dialog.NoteText().endsWith(ControllerListModel::LeftToRight(QStringLiteral("10.0.0.300"))));
    const QString prompt =
        ControllerListModel::AddressesLeftToRight(QStringLiteral("as 10.20.0.0/22 or 10.20.1.1-10.20.1.200, 1.2"));
    QCOMPARE(prompt, QStringLiteral("as \u206610.20.0.0/22\u2069 or \u206610.20.1.1-10.20.1.200\u2069, 1.2"));
    QVERIFY(dialog.Ranges().Empty());
    text->setPlainText(QStringLiteral("10.0.0.0/8"));
    QVERIFY(!dialog.CanAccept());
    // No ranges at all is a choice: broadcasts only.
    text->setPlainText(QStringLiteral("  \n"));
    QVERIFY(dialog.CanAccept());
    QVERIFY(dialog.Ranges().Empty());
}

void AddressDialogsTest::assignAddressesPreviewsFlagsAndRefusesBadPlans()
{
    std::vector<DeviceRecord> modules{LoggedIn("02:00:00:00:05:01", "192.0.2.100"),
                                      LoggedIn("02:00:00:00:05:02", "192.0.2.100"),
                                      LoggedIn("02:00:00:00:05:03", "192.0.2.100")};
    modules[2].status = kStatusNone;  // not logged in: skipped, takes no address
    DeviceRecord onSite = LoggedIn("02:00:00:00:01:01", "192.0.2.22", "<i>Door 1</i>");
    std::vector<DeviceRecord*> selected;
    std::vector<const DeviceRecord*> listed{&onSite};
    for (DeviceRecord& r : modules) {
        selected.push_back(&r);
        listed.push_back(&r);
    }
    CAssignAddressesDlg dialog(selected, listed, nullptr);
    QCOMPARE(dialog.MaskField().Address(), Ipv4Address::FromOctets(255, 255, 255, 0));  // from the first module
    QVERIFY(!dialog.CanAccept());                        // no first address yet
    QVERIFY(dialog.SummaryText().isEmpty());

    dialog.StartField().SetAddress(Ipv4Address::FromOctets(192, 0, 2, 21));
    QTableWidget& preview = dialog.Preview();
    QCOMPARE(preview.rowCount(), 3);
    QCOMPARE(Cell(preview, 0, CAssignAddressesDlg::kNewAddress), QStringLiteral("192.0.2.21"));
    QCOMPARE(Cell(preview, 1, CAssignAddressesDlg::kNewAddress), QStringLiteral("192.0.2.22"));
    QVERIFY(Cell(preview, 1, CAssignAddressesDlg::kNote).contains(QStringLiteral("<i>Door 1</i>")));
    QVERIFY(preview.item(1, CAssignAddressesDlg::kNote)
                ->text()
                .contains(ControllerListModel::LeftToRight(QStringLiteral("02:00:00:00:01:01"))));
    // The module's name in the tooltip is text, not markup.
    QVERIFY(preview.item(1, CAssignAddressesDlg::kNote)->toolTip().contains(QStringLiteral("&lt;i&gt;Door 1")));
    QCOMPARE(Cell(preview, 0, CAssignAddressesDlg::kName), QStringLiteral("QT-DC410"));
    QVERIFY(Cell(preview, 2, CAssignAddressesDlg::kNewAddress).isEmpty());
    QVERIFY(!Cell(preview, 2, CAssignAddressesDlg::kNote).isEmpty());
    QVERIFY(dialog.CanAccept());
    const auto changes = dialog.Plan().Changes();
    QCOMPARE(changes.size(), std::size_t{1});  // the flagged module is not changed
    QCOMPARE(changes[0].first, &modules[0]);
    QCOMPARE(*changes[0].second.ip, InetAddr("192.0.2.21"));

    // A run past the subnet's last host address, and a mask that is no mask, are refused with a reason.
    dialog.StartField().SetAddress(Ipv4Address::FromOctets(192, 0, 2, 254));  // then .255
    QVERIFY(!dialog.CanAccept());
    QVERIFY(!dialog.SummaryText().isEmpty());
    dialog.StartField().SetAddress(Ipv4Address::FromOctets(192, 0, 2, 21));
    dialog.MaskField().SetAddress(Ipv4Address::FromOctets(255, 0, 255, 0));
    QVERIFY(!dialog.CanAccept());
    QVERIFY(Cell(preview, 0, CAssignAddressesDlg::kNewAddress).isEmpty());
}

void AddressDialogsTest::assignAddressesShowsModulesSharingAnAddressAndKeptGateways()
{
    std::vector<DeviceRecord> modules{LoggedIn("02:00:00:00:06:01", "192.0.2.100"),
                                      LoggedIn("02:00:00:00:06:02", "192.0.2.100"),
                                      LoggedIn("02:00:00:00:06:03", "192.0.2.100")};
    std::vector<DeviceRecord*> selected;
    std::vector<const DeviceRecord*> listed;
    for (DeviceRecord& r : modules) {
        selected.push_back(&r);
        listed.push_back(&r);
    }
    const QString shared = QString::fromStdString(Text("ORB_IDS_NOTE_SHARED_ADDRESS", 3));
    CAssignAddressesDlg dialog(selected, listed, nullptr);
    dialog.StartField().SetAddress(Ipv4Address::FromOctets(192, 0, 2, 110));
    QTableWidget& preview = dialog.Preview();
    for (int row = 0; row < 3; ++row) {
        QCOMPARE(Cell(preview, row, CAssignAddressesDlg::kNote), shared);
    }
    QCOMPARE(dialog.Plan().Changes().size(), std::size_t{3});

    // From .252 the third module would get .254, the gateway all of them keep (the field left empty).
    dialog.GatewayField().SetAddress(Ipv4Address());
    dialog.StartField().SetAddress(Ipv4Address::FromOctets(192, 0, 2, 252));
    QCOMPARE(Cell(preview, 2, CAssignAddressesDlg::kNote), CAssignAddressesDlg::RuleText(AddressRule::GatewayIsAddress));
    QCOMPARE(Cell(preview, 0, CAssignAddressesDlg::kNote), CAssignAddressesDlg::RuleText(AddressRule::GatewayIsModule));
    QVERIFY(!dialog.CanAccept());

    // A user who may not make static neighbour entries cannot tell them apart: none is moved.
    CAssignAddressesDlg blind(selected, listed, nullptr, false);
    blind.StartField().SetAddress(Ipv4Address::FromOctets(192, 0, 2, 110));
    QCOMPARE(Cell(blind.Preview(), 2, CAssignAddressesDlg::kNote),
             QString::fromStdString(Text("ORB_IDS_NOTE_CANNOT_TELL_APART")));
    QVERIFY(!blind.CanAccept());
}

QTEST_MAIN(AddressDialogsTest)
#include "address_dialogs_test.moc"
