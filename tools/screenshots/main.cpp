// Renders the pictures of the documentation: the main window with rows in several statuses, both pages
// of the settings sheet, the reader, login and firmware dialogs, and the address-range search and
// address assignment dialogs, each as a PNG file.
//   tarrowind-screenshots OUTPUT_DIR [--main-only | --only NAME,...] [--suffix TEXT]
// The language is the environment's (LANG / LC_ALL), so a right-to-left run shows the mirrored window.
// No module is asked anything: the rows are made here.
#include <QApplication>
#include <QDir>
#include <QItemSelectionModel>
#include <QPixmap>
#include <QTabWidget>
#include <QTimer>

#include <cstdio>
#include <cstring>
#include <string>

#include "discovery/address_text.h"
#include "localisation/string_table.h"
#include "platform/adapter_table.h"
#include "commands/declining_prompts.h"
#include "ui/dialogs/assign_addresses_dlg.h"
#include "ui/device_list/controller_list_ctrl.h"
#include "ui/dialogs/ip_address_edit.h"
#include "ui/dialogs/search_addresses_dlg.h"
#include "ui/dialogs/controller_property_sheet.h"
#include "ui/dialogs/dactyl_setting_dlg.h"
#include "ui/dialogs/firmware_update_dlg.h"
#include "ui/dialogs/login_dlg.h"
#include "ui/main_window/main_dialog.h"
#include "ui/dialogs/message_box.h"

namespace {

using namespace tarrowind;

// No adapter table can be read, so the window's own first search ends at once and finds nothing.
class NoAdapters final : public AdapterTable {
public:
    std::optional<std::vector<SystemAdapter>> Read() override { return std::nullopt; }
};

struct Row {
    ModuleKind kind;
    const char* model;
    const char* version;
    const char* name;
    const char* mac;
    const char* ip;
    const char* adapter;
    std::int32_t action;
    std::int32_t status;
    std::int32_t progress;
};

// A site in the middle of an installer's day.
constexpr Row kRows[] = {
    {ModuleKind::Web, "QT-DC410", "V3.10R2", "Door 1", "02:00:00:00:01:01", "192.0.2.10", "pc0", 0, 6, 0},
    {ModuleKind::Web, "QT-DC410", "V3.08R1", "Door 2", "02:00:00:00:01:04", "192.0.2.13", "pc0", 5, 18, 45},
    {ModuleKind::Web, "QT-TEXT GRABBER V7K", "V1.04", "Text grabber", "02:00:00:00:01:02", "192.0.2.11", "pc0", 0, 5,
     0},
    {ModuleKind::WebDactyl, "QT-FP-6621", "V2.1R0", "Fingerprint hall", "02:00:00:00:01:03", "192.0.2.12", "pc0", 3,
     23, 40},
    {ModuleKind::BinaryDactyl, "", "V1.2R3", "Reader lobby", "02:11:22:FD:01:02", "192.0.2.20", "pc0", 1, 3, 0},
    {ModuleKind::Web, "QT-DC820", "V4.0R1", "Door 3 (password 1234)", "02:00:00:00:02:0A", "198.51.100.10", "pc1", 0,
     1, 0},
    {ModuleKind::LongReply, "QT-DC900", "V5.2R0", "Long reply controller", "02:00:00:00:02:02", "198.51.100.11",
     "pc1", 0, 0, 0},
    {ModuleKind::Web, "QT-KS7730", "V1.1R5", "Keypad", "02:00:00:00:02:03", "198.51.100.12", "pc1", 0, 20, 0},
    {ModuleKind::Web, "QT-DC410", "V3.08R1", "Gate outside", "02:00:00:00:03:01", "203.0.113.10", "Broadcast", 0, 2,
     100},
    {ModuleKind::Web, "QT-DC410", "V3.10R2", "Warehouse door", "02:52:00:00:00:00", "203.0.113.130", "Routed", 0, 6,
     0},
};

// New controllers straight from the box, all on the factory address, and one module already on the site.
constexpr const char* kNewControllers[] = {"02:00:00:00:05:01", "02:00:00:00:05:02", "02:00:00:00:05:03",
                                           "02:00:00:00:05:04", "02:00:00:00:05:05", "02:00:00:00:05:06"};

DeviceRecord Record(const Row& row)
{
    DeviceRecord r;
    r.kind = row.kind;
    r.model = row.model;
    r.version = row.version;
    r.name = row.name;
    r.macText = row.mac;
    r.ipText = row.ip;
    r.ip = InetAddr(row.ip);
    const bool second = std::strncmp(row.ip, "198.51.100.", 11) == 0;
    const bool outside = std::strncmp(row.ip, "203.0.113.", 10) == 0;
    r.maskText = "255.255.255.0";
    r.gatewayText = second ? "198.51.100.254" : outside ? "203.0.113.254" : "192.0.2.254";
    r.adapterName = row.adapter;
    return r;
}

// Where the pictures go, and which of them are wanted.
struct Shots {
    QString folder;
    QString suffix;
    QStringList only;  // empty: every one

    bool Save(QWidget& widget, const char* name) const
    {
        if (!only.isEmpty() && !only.contains(QString::fromLatin1(name))) {
            return true;
        }
        return SaveAs(widget, folder + QLatin1Char('/') + QString::fromLatin1(name) + suffix + QStringLiteral(".png"));
    }
    static bool SaveAs(QWidget& widget, const QString& path);
};

bool Shots::SaveAs(QWidget& widget, const QString& path)
{
    widget.show();
    QApplication::processEvents();
    QApplication::processEvents();
    const bool saved = widget.grab().save(path);
    std::printf("%s %s\n", saved ? "wrote" : "could not write", qPrintable(path));
    widget.hide();
    return saved;
}

}  // namespace

int main(int argc, char** argv)
{
    if (argc < 2) {
        std::fprintf(stderr, "usage: tarrowind-screenshots OUTPUT_DIR [--main-only | --only NAME,...] [--suffix TEXT]\n");
        return 2;
    }
    Shots shots;
    shots.folder = QString::fromLocal8Bit(argv[1]);
    for (int i = 2; i < argc; ++i) {
        if (std::strcmp(argv[i], "--main-only") == 0) {
            shots.only = QStringList{QStringLiteral("main-window")};
        } else if (std::strcmp(argv[i], "--only") == 0 && i + 1 < argc) {
            shots.only = QString::fromLocal8Bit(argv[++i]).split(QLatin1Char(','));
        } else if (std::strcmp(argv[i], "--suffix") == 0 && i + 1 < argc) {
            shots.suffix = QString::fromLocal8Bit(argv[++i]);
        }
    }
    StringTable::Instance();
    QApplication app(argc, argv);
    InstallMessageBox();
    QDir().mkpath(shots.folder);
    bool ok = true;

    NoAdapters adapters;
    ManagerServices services;
    services.adapters = &adapters;
    DecliningPrompts prompts;
    MainDialog window(services, ManagerTiming{}, &prompts);
    window.show();
    while (window.IsSearching() || window.Manager().IsSearching()) {
        QApplication::processEvents(QEventLoop::AllEvents, 20);
    }
    CControllerListCtrl& list = window.List();
    for (const Row& row : kRows) {
        const DeviceRecord r = Record(row);
        list.AddModule(&r);
    }
    list.FlushPendingRows();
    // The actions and statuses as the workers would have reported them.
    for (int i = 0; i < list.RowCount(); ++i) {
        DeviceRecord* r = list.RecordAt(i);
        r->action = kRows[i].action;
        r->status = kRows[i].status;
        r->progress = kRows[i].progress;
        list.Refresh(*r);
    }
    // Not selectRow: in a right-to-left list it looks for a column at the viewport's far edge.
    const QModelIndex first = list.model()->index(0, 0);
    list.selectionModel()->setCurrentIndex(first, QItemSelectionModel::ClearAndSelect | QItemSelectionModel::Rows);
    list.setFocus();
    window.UpdateCommandUi();
    ok = shots.Save(window, "main-window") && ok;

    CControllerPropertySheet sheet(QString::fromStdString(Text("ORB_IDS_CONTROLLER_SETTING")), &window);
    DeviceRecord* door = list.RecordAt(0);
    sheet.settings.target = HttpTarget::ForRecord(*door);
    sheet.settings.machineName = "Door 1";
    sheet.settings.ip = InetAddr("192.0.2.10");
    sheet.settings.mask = InetAddr("255.255.255.0");
    sheet.settings.gateway = InetAddr("192.0.2.254");
    sheet.settings.dns = InetAddr("192.0.2.53");
    sheet.settings.sendToServer = 0;
    sheet.settings.hostName = "door1.example";
    sheet.settings.ddnsUserName = "site";
    sheet.settings.devicePort = 4000;
    sheet.settings.newLoginName = "admin";
    ok = shots.Save(sheet, "settings-network") && ok;
    sheet.show();
    sheet.Tabs()->setCurrentIndex(1);
    ok = shots.Save(sheet, "settings-other") && ok;

    CDactylSettingDlg reader(&window);
    reader.deviceName = "Reader lobby";
    reader.ip = Ipv4Address::FromOctets(192, 0, 2, 20);
    reader.mask = Ipv4Address::FromOctets(255, 255, 255, 0);
    reader.gateway = Ipv4Address::FromOctets(192, 0, 2, 254);
    ok = shots.Save(reader, "reader-settings") && ok;

    CLoginDlg login(&window);
    login.loginId = "admin";
    ok = shots.Save(login, "login") && ok;

    CFirmwareUpdateDlg firmware(&window);
    firmware.firmwareFile = "/srv/firmware/dc410-3.20.a90";
    ok = shots.Save(firmware, "firmware") && ok;

    CSearchAddressesDlg ranges(QStringLiteral("203.0.113.128/26\n198.51.100.1-198.51.100.60"), kDefaultProbeRate, &window);
    ok = shots.Save(ranges, "search-addresses") && ok;

    std::vector<DeviceRecord> fresh;
    for (const char* mac : kNewControllers) {
        DeviceRecord r = Record({ModuleKind::Web, "QT-DC410", "V3.10R2", "", mac, "192.0.2.100", "pc0", 0, 6, 0});
        r.status = kStatusLoginSuccessfully;
        fresh.push_back(r);
    }
    DeviceRecord reader2 = Record({ModuleKind::BinaryDactyl, "", "V1.2R3", "", "02:11:22:FD:05:07", "192.0.2.100",
                                   "pc0", 0, 1, 0});
    fresh.push_back(reader2);
    DeviceRecord onSite = Record(kRows[0]);
    onSite.ipText = "192.0.2.23";
    onSite.ip = InetAddr("192.0.2.23");
    std::vector<DeviceRecord*> selected;
    std::vector<const DeviceRecord*> listed{&onSite};
    for (DeviceRecord& r : fresh) {
        selected.push_back(&r);
        listed.push_back(&r);
    }
    CAssignAddressesDlg assign(selected, listed, &window);
    assign.StartField().SetAddress(Ipv4Address::FromOctets(192, 0, 2, 21));
    ok = shots.Save(assign, "assign-addresses") && ok;
    return ok ? 0 : 1;
}
