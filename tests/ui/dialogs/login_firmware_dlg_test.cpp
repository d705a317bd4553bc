#include <QApplication>
#include <QCheckBox>
#include <QFile>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QSpinBox>
#include <QTemporaryDir>
#include <QTest>

#include <string>
#include <vector>

#include "localisation/string_table.h"
#include "tests/ui/dialogs/key_focus.h"
#include "ui/dialogs/change_login_dlg.h"
#include "ui/dialogs/firmware_update_dlg.h"
#include "ui/dialogs/latest_update_dlg.h"
#include "ui/dialogs/login_dlg.h"
#include "ui/main_window/window_state.h"

using namespace tarrowind;

using tarrowind::testing::PressEnterIn;
using tarrowind::testing::Focus;

namespace {

struct Shown {
    std::string text;
    unsigned type;
};
std::vector<Shown> g_messages;

int RecordMessage(const std::string& text, unsigned type)
{
    g_messages.push_back({text, type});
    return message_box::kIdOk;
}

QString g_chooserAnswer;
QString g_chooserFilter;
QString g_chooserDirectory;
int g_chooserRuns = 0;

QString FakeChooser(QWidget*, const QString&, const QString& directory, const QString& filter)
{
    ++g_chooserRuns;
    g_chooserDirectory = directory;
    g_chooserFilter = filter;
    return g_chooserAnswer;
}

}  // namespace

class LoginFirmwareDlgTest : public QObject {
    Q_OBJECT

private slots:
    void init()
    {
        g_messages.clear();
        SetMessageBoxFunction(&RecordMessage);
        CFirmwareUpdateDlg::SetFileChooser(&FakeChooser);
    }

    void LoginRefusesOnlyAnEmptyId()
    {
        CLoginDlg dialog;
        dialog.show();
        auto* id = dialog.findChild<QLineEdit*>("loginId");
        dialog.findChild<QLineEdit*>("password")->setText("pw");
        dialog.accept();
        QVERIFY(dialog.isVisible());
        QCOMPARE(g_messages.size(), std::size_t{1});
        QCOMPARE(g_messages[0].text, Text("ORB_IDS_LOGIN_ID_IS_EMPTY"));
        QCOMPARE(g_messages[0].type, message_box::kOk | message_box::kIconError);
        QVERIFY(dialog.loginId.empty());

        // One blank is a login ID; an empty password is allowed.
        id->setText(" ");
        dialog.findChild<QLineEdit*>("password")->clear();
        dialog.accept();
        QCOMPARE(dialog.result(), int(QDialog::Accepted));
        QCOMPARE(dialog.loginId, std::string(" "));
        QCOMPARE(dialog.password, std::string());
    }

    void ChangeLoginStaysOpenUntilThePasswordsMatchAndTheRulesPass()
    {
        std::vector<std::string> checked;
        CChangeLoginDlg dialog(2, [&checked](const std::string& id, const std::string& pw) {
            checked.push_back(pw);
            return CheckNewLogin(id, pw, {"current-1"});
        });
        dialog.loginId = "admin";
        dialog.show();
        auto* password = dialog.findChild<QLineEdit*>("password");
        auto* confirmation = dialog.findChild<QLineEdit*>("confirmation");
        password->setText("n3w-pass-1");
        confirmation->setText("n3w-pass-2");
        dialog.accept();
        QVERIFY(dialog.isVisible());
        QCOMPARE(g_messages.back().text, Text("ORB_IDS_PASSWORD_NOT_MATCH"));
        QVERIFY2(checked.empty(), "two different passwords are not checked");

        for (const char* refused : {"short", "current-1", "admin", "pass&word"}) {
            password->setText(refused);
            confirmation->setText(refused);
            dialog.accept();
            QVERIFY(dialog.isVisible());
            QCOMPARE(confirmation->text(), QString());  // typed again after a refusal
        }
        QCOMPARE(g_messages.back().text, Text("ORB_IDS_NEW_LOGIN_CHARACTERS"));
        QVERIFY(g_messages.back().text.find("& and %.") != std::string::npos);
        QCOMPARE(g_messages.size(), std::size_t{5});
        QCOMPARE(g_messages[2].text, Text("ORB_IDS_NEW_PASSWORD_IS_CURRENT"));

        // Editing the password asks for its confirmation again.
        password->setText("n3w-pass-1");
        confirmation->setText("n3w-pass-1");
        QTest::keyClick(password, Qt::Key_X);
        QCOMPARE(confirmation->text(), QString());
        password->setText("n3w-pass-1");
        confirmation->setText("n3w-pass-1");
        dialog.accept();
        QCOMPARE(dialog.result(), int(QDialog::Accepted));
        QCOMPARE(dialog.loginId, std::string("admin"));
        QCOMPARE(dialog.password, std::string("n3w-pass-1"));
    }

    void LoginOffersThePresetIdSelected()
    {
        CLoginDlg dialog;
        dialog.loginId = "admin";
        dialog.show();
        QVERIFY(QTest::qWaitForWindowActive(&dialog));
        auto* id = dialog.findChild<QLineEdit*>("loginId");
        QCOMPARE(QApplication::focusWidget(), id);
        QCOMPARE(id->selectedText(), QString("admin"));
        QTest::keyClicks(id, "root");
        QCOMPARE(id->text(), QString("root"));
        dialog.findChild<QLineEdit*>("password")->setText("pw");
        dialog.accept();
        QCOMPARE(dialog.loginId, std::string("root"));

        // Kept as it is, the preset is what OK returns.
        CLoginDlg again;
        again.loginId = "admin";
        again.show();
        QVERIFY(QTest::qWaitForWindowActive(&again));
        QTest::keyClick(QApplication::focusWidget(), Qt::Key_Return);
        QCOMPARE(again.result(), int(QDialog::Accepted));
        QCOMPARE(again.loginId, std::string("admin"));
        QCOMPARE(again.password, std::string());
    }

    void LoginEnterGoesToTheFocusedButtonElseOk()
    {
        CLoginDlg dialog;
        dialog.show();
        auto* id = dialog.findChild<QLineEdit*>("loginId");
        QPushButton* ok = nullptr;
        QPushButton* cancel = nullptr;
        for (QPushButton* button : dialog.findChildren<QPushButton*>()) {
            (button->text() == QString::fromStdString(Text("ORB_IDC_OK")) ? ok : cancel) = button;
        }
        QVERIFY(ok != nullptr && cancel != nullptr);
        QVERIFY(PressEnterIn(cancel));
        QCOMPARE(dialog.result(), int(QDialog::Rejected));
        QVERIFY(!dialog.isVisible());

        // Back in a field after a button had the focus, Enter is OK's again.
        dialog.show();
        id->setText("admin");
        QVERIFY(Focus(cancel));
        QVERIFY(PressEnterIn(dialog.findChild<QLineEdit*>("password"), Qt::Key_Enter));
        QCOMPARE(dialog.result(), int(QDialog::Accepted));
        QCOMPARE(dialog.loginId, std::string("admin"));
    }

    void FirmwareEnterGoesToTheFocusedButtonElseCancel()
    {
        CFirmwareUpdateDlg dialog;
        dialog.show();
        auto* path = dialog.findChild<QLineEdit*>("path");
        auto* browse = dialog.findChild<QPushButton*>("browse");
        auto* update = dialog.findChild<QPushButton*>("update");
        g_chooserRuns = 0;
        g_chooserAnswer = "/chosen/fw.bin";
        QVERIFY(PressEnterIn(browse));
        QCOMPARE(g_chooserRuns, 1);
        QVERIFY(dialog.isVisible());
        QCOMPARE(path->text(), QString("/chosen/fw.bin"));

        // Having been on a button does not take Enter away from Cancel in the path box.
        QVERIFY(PressEnterIn(path));
        QCOMPARE(dialog.result(), int(QDialog::Rejected));
        QCOMPARE(g_chooserRuns, 1);

        dialog.show();
        QVERIFY(PressEnterIn(update, Qt::Key_Enter));
        QCOMPARE(dialog.result(), int(QDialog::Accepted));
        QCOMPARE(dialog.firmwareFile, std::string("/chosen/fw.bin"));
    }

    void FirmwarePathFromListChooserAndTyping()
    {
        QTemporaryDir folder;
        QFile list(folder.filePath("Tarrowind.ini"));
        QVERIFY(list.open(QIODevice::WriteOnly));
        list.write("[QT-DC410]\nVersion=1.2.3\nDate=20240101\nFile=dc410.bin\n");
        list.close();
        DeviceRecord listed;
        listed.model = "QT-DC410";

        CFirmwareUpdateDlg dialog;
        dialog.device = &listed;
        dialog.firmwareFolder = folder.path().toStdString() + "/";
        dialog.show();
        auto* path = dialog.findChild<QLineEdit*>("path");
        QCOMPARE(path->text(), folder.filePath("dc410.bin"));

        // Cancelling the chooser keeps the typed path; choosing replaces it.
        path->setText("/typed/fw.a90");
        g_chooserAnswer.clear();
        dialog.findChild<QPushButton*>("browse")->click();
        QCOMPARE(path->text(), QString("/typed/fw.a90"));
        QVERIFY(g_chooserFilter.contains("*.a90") && g_chooserFilter.contains("*.bin"));
        g_chooserAnswer = "/chosen/fw.bin";
        dialog.findChild<QPushButton*>("browse")->click();
        QCOMPARE(path->text(), QString("/chosen/fw.bin"));

        // Enter in the path box cancels: Cancel is the default button.
        QTest::keyClick(path, Qt::Key_Return);
        QCOMPARE(dialog.result(), int(QDialog::Rejected));
        QVERIFY(!dialog.isVisible());

        // A model the list does not name opens empty, and Update refuses an empty path.
        DeviceRecord unlisted;
        unlisted.model = "QT-OTHER";
        CFirmwareUpdateDlg other;
        other.device = &unlisted;
        other.firmwareFolder = folder.path().toStdString() + "/";
        other.show();
        QVERIFY(other.findChild<QLineEdit*>("path")->text().isEmpty());
        other.findChild<QPushButton*>("update")->click();
        QVERIFY(other.isVisible());
        QCOMPARE(g_messages.size(), std::size_t{1});
        QCOMPARE(g_messages[0].text, Text("ORB_IDS_FIRMWARE_FILE_IS_EMPTY"));
        QCOMPARE(g_messages[0].type, message_box::kOk | message_box::kIconError);
        // A path to no file is passed on as typed.
        other.findChild<QLineEdit*>("path")->setText("/missing/fw.bin");
        other.findChild<QPushButton*>("update")->click();
        QCOMPARE(other.result(), int(QDialog::Accepted));
        QCOMPARE(other.firmwareFile, std::string("/missing/fw.bin"));
    }

    void FirmwareCountsNamesAndRemembersTheFolder()
    {
        QTemporaryDir folder;
        QFile image(folder.filePath("fw.bin"));
        QVERIFY(image.open(QIODevice::WriteOnly));
        image.close();

        CFirmwareUpdateDlg few;
        few.modules = {"Door 1 (192.0.2.10)", "Door 2 (192.0.2.11)"};
        few.show();
        auto* targets = few.findChild<QLabel*>("targets");
        QVERIFY(targets != nullptr && targets->isVisible());
        QVERIFY(targets->text().startsWith(QString::fromStdString(Text("ORB_IDS_FIRMWARE_MODULE_COUNT", 2))));
        QVERIFY(targets->text().contains("Door 1 (192.0.2.10)") && targets->text().contains("Door 2"));
        // Choosing a file makes its folder the next dialog's starting point.
        g_chooserAnswer = folder.filePath("fw.bin");
        few.findChild<QPushButton*>("browse")->click();
        QCOMPARE(CFirmwareUpdateDlg::LastFolder(), folder.path());
        few.reject();

        CFirmwareUpdateDlg many;
        for (std::size_t i = 0; i <= CFirmwareUpdateDlg::kNamedModules; ++i) {
            many.modules.push_back("Door " + std::to_string(i));
        }
        many.show();
        targets = many.findChild<QLabel*>("targets");
        QCOMPARE(targets->text(), QString::fromStdString(Text("ORB_IDS_FIRMWARE_MODULE_COUNT",
                                                              static_cast<int>(many.modules.size()))));
        g_chooserDirectory.clear();
        g_chooserAnswer.clear();
        many.findChild<QPushButton*>("browse")->click();
        QCOMPARE(g_chooserDirectory, folder.path());
        // Cancel stays the default button with the count shown.
        QTest::keyClick(many.findChild<QLineEdit*>("path"), Qt::Key_Return);
        QCOMPARE(many.result(), int(QDialog::Rejected));

        CFirmwareUpdateDlg none;
        none.show();
        QVERIFY(!none.findChild<QLabel*>("targets")->isVisible());

        // The folder outlasts the run through the window's remembered state.
        QTemporaryDir config;
        const QByteArray oldConfig = qgetenv("XDG_CONFIG_HOME");
        qputenv("XDG_CONFIG_HOME", config.path().toUtf8());
        WindowState saved;
        saved.firmwareFolder = CFirmwareUpdateDlg::LastFolder();
        saved.Save();
        const WindowState loaded = WindowState::Load();
        qputenv("XDG_CONFIG_HOME", oldConfig);
        QCOMPARE(loaded.firmwareFolder, folder.path());
    }

    void FirmwareDialogsOfferWavesForManyModules()
    {
        CFirmwareUpdateDlg one;
        one.modules = {"Door 1"};
        one.show();
        QVERIFY(!one.findChild<QCheckBox*>("inWaves")->isVisible());
        one.findChild<QLineEdit*>("path")->setText("/fw.bin");
        one.findChild<QPushButton*>("update")->click();
        QVERIFY(!one.waves);

        CFirmwareUpdateDlg file;
        file.modules = {"Door 1", "Door 2", "Door 3"};
        file.show();
        auto* inWaves = file.findChild<QCheckBox*>("inWaves");
        auto* firstWave = file.findChild<QSpinBox*>("firstWave");
        QVERIFY(inWaves->isVisible() && !inWaves->isChecked() && !firstWave->isEnabled());
        QCOMPARE(firstWave->maximum(), 2);  // at least one module is left for the rest
        inWaves->setChecked(true);
        firstWave->setValue(2);
        file.findChild<QLineEdit*>("path")->setText("/fw.bin");
        file.findChild<QPushButton*>("update")->click();
        QVERIFY(file.waves && file.waves->firstWave == 2 && file.waves->stopOnFailure);

        // To the newest: the modules named, Cancel the default, the choice as in the file dialog.
        CLatestUpdateDlg latest({"Door 1", "Door 2"});
        latest.show();
        QVERIFY(latest.findChild<QLabel*>("targets")->text().contains("Door 2"));
        QTest::keyClick(&latest, Qt::Key_Return);
        QCOMPARE(latest.result(), int(QDialog::Rejected));
        latest.show();
        latest.findChild<QCheckBox*>("inWaves")->setChecked(true);
        latest.findChild<QPushButton*>("update")->click();
        QCOMPARE(latest.result(), int(QDialog::Accepted));
        QVERIFY(latest.waves && latest.waves->firstWave == 1);
    }
};

QTEST_MAIN(LoginFirmwareDlgTest)
#include "login_firmware_dlg_test.moc"
