#include <QAction>
#include <QApplication>
#include <QClipboard>
#include <QContextMenuEvent>
#include <QMenu>
#include <QTest>
#include <QToolTip>

#include "localisation/string_table.h"
#include "ui/dialogs/ip_address_edit.h"

using tarrowind::CIpAddressEdit;

namespace {

QString RangeHint()
{
    return QString::fromStdString(tarrowind::Text("ORB_IDS_PARSE_INT_RANGE", 0, 255));
}

// An empty, shown field with the keyboard focus, as after the user cleared it.
bool Ready(CIpAddressEdit& edit, const QString& text = QString())
{
    edit.show();
    edit.activateWindow();
    if (!QTest::qWaitForWindowActive(&edit)) {
        return false;
    }
    edit.setFocus();
    edit.setText(text);
    edit.setModified(true);
    QToolTip::hideText();
    return QTest::qWaitFor([] { return !QToolTip::isVisible(); });
}

}  // namespace

class IpAddressEditTest : public QObject {
    Q_OBJECT

private slots:
    void ReadsTheFieldsText()
    {
        QCOMPARE(CIpAddressEdit::ParseFieldText("192.168.1.10").HostOrder(), 0xC0A8010Au);
        QCOMPARE(CIpAddressEdit::ParseFieldText("255.255.255.255").HostOrder(), 0xFFFFFFFFu);
        // Blank numbers count as 0, so an empty field is 0.0.0.0.
        QCOMPARE(CIpAddressEdit::ParseFieldText("10..5").HostOrder(), 0x0A000500u);
        QCOMPARE(CIpAddressEdit::ParseFieldText("").HostOrder(), 0u);
        QCOMPARE(CIpAddressEdit::ParseFieldText("010.001.000.009").HostOrder(), 0x0A010009u);
        // Text the field cannot hold has no value.
        QCOMPARE(CIpAddressEdit::ParseFieldText("256.1.1.1").HostOrder(), 0u);
        QCOMPARE(CIpAddressEdit::ParseFieldText("1.2.3.4.5").HostOrder(), 0u);
        QCOMPARE(CIpAddressEdit::ParseFieldText("1.2.a.4").HostOrder(), 0u);
        QCOMPARE(CIpAddressEdit::ParseFieldText("1.2.1234.4").HostOrder(), 0u);

        CIpAddressEdit edit;
        edit.SetAddress(tarrowind::Ipv4Address::FromHostOrder(0xC0A8010Au));
        QCOMPARE(edit.text(), QString("192.168.1.10"));
        QCOMPARE(edit.Address().HostOrder(), 0xC0A8010Au);
    }

    void TypingMovesOnByFullNumbersAndDots()
    {
        CIpAddressEdit edit;
        QVERIFY(Ready(edit));
        QTest::keyClicks(&edit, "1921681x.10");
        QCOMPARE(edit.text(), QString("192.168.1.10"));
        // No fifth number, and no room inside a full number.
        QTest::keyClicks(&edit, ".01");
        QCOMPARE(edit.text(), QString("192.168.1.100"));
        edit.setCursorPosition(1);
        QTest::keyClicks(&edit, "7");
        QCOMPARE(edit.text(), QString("192.168.1.100"));

        // A dot on a number not begun does nothing; the keypad's decimal point is a dot.
        QVERIFY(Ready(edit));
        QTest::keyClicks(&edit, "10..");
        QTest::keyClick(&edit, Qt::Key_Period, Qt::KeypadModifier);
        QCOMPARE(edit.text(), QString("10."));
        QTest::keyClick(&edit, Qt::Key_1, Qt::KeypadModifier);
        QTest::keyClick(&edit, Qt::Key_Comma, Qt::KeypadModifier);
        QCOMPARE(edit.text(), QString("10.1."));
        // Ending the edit shows the address the field gives.
        QTest::keyClick(&edit, Qt::Key_Return);
        QCOMPARE(edit.text(), QString("10.1.0.0"));
        QCOMPARE(edit.Address().HostOrder(), 0x0A010000u);

        // A dot inside a number selects the next one, which typing replaces.
        edit.setCursorPosition(1);
        QTest::keyClicks(&edit, ".7");
        QCOMPARE(edit.text(), QString("10.7.0.0"));

        // The 0.0.0.0 the field was given gives way to what is typed.
        edit.SetAddress(tarrowind::Ipv4Address());
        QTest::keyClicks(&edit, "192.0.2.1");
        QCOMPARE(edit.text(), QString("192.0.2.1"));
        QVERIFY(!QToolTip::isVisible());
    }

    void NumberAboveTheRangeBecomesTheHighestWithAHint()
    {
        CIpAddressEdit edit;
        QVERIFY(Ready(edit));
        QTest::keyClicks(&edit, "999");
        QCOMPARE(edit.text(), QString("255"));
        QCOMPARE(edit.selectedText(), QString("255"));
        QVERIFY(QToolTip::isVisible());
        QCOMPARE(QToolTip::text(), RangeHint());
        QTest::keyClicks(&edit, ".1.1.1");
        QCOMPARE(edit.text(), QString("255.1.1.1"));
        QCOMPARE(edit.Address().HostOrder(), 0xFF010101u);

        QVERIFY(Ready(edit));
        QTest::keyClicks(&edit, "192.168.300");
        QCOMPARE(edit.text(), QString("192.168.255"));
        QVERIFY(QToolTip::isVisible());
        // The selected 255 is typed over.
        QTest::keyClicks(&edit, "30.1");
        QCOMPARE(edit.text(), QString("192.168.30.1"));

        // Inside a number too.
        QVERIFY(Ready(edit, "25.1"));
        edit.setCursorPosition(1);
        QTest::keyClicks(&edit, "9");
        QCOMPARE(edit.text(), QString("255.1"));
        QVERIFY(QToolTip::isVisible());
    }

    void DeletingKeepsEveryNumberInItsPlace()
    {
        CIpAddressEdit edit;
        QVERIFY(Ready(edit, "192.168.1.10"));
        edit.setCursorPosition(8);  // after the second dot
        QTest::keyClick(&edit, Qt::Key_Backspace);
        QCOMPARE(edit.text(), QString("192.16.1.10"));
        edit.setCursorPosition(3);  // before the first dot
        QTest::keyClick(&edit, Qt::Key_Delete);
        QCOMPARE(edit.text(), QString("192.6.1.10"));
        QTest::keyClick(&edit, Qt::Key_Delete);
        QCOMPARE(edit.text(), QString("192..1.10"));
        QCOMPARE(edit.Address().HostOrder(), 0xC000010Au);

        // A selection across dots keeps them, unless it runs to the end.
        edit.setSelection(2, 4);  // "2..1"
        QTest::keyClick(&edit, Qt::Key_Backspace);
        QCOMPARE(edit.text(), QString("19...10"));
        edit.setSelection(4, 3);
        QTest::keyClick(&edit, Qt::Key_Delete);
        QCOMPARE(edit.text(), QString("19.."));
        QTest::keyClick(&edit, Qt::Key_Backspace);
        QCOMPARE(edit.text(), QString("19."));
        // A word is one number; cutting keeps the dots as deleting does.
        QVERIFY(Ready(edit, "10.20.30.40"));
        QTest::keyClick(&edit, Qt::Key_Backspace, Qt::ControlModifier);
        QCOMPARE(edit.text(), QString("10.20.30."));
        edit.setSelection(1, 4);
        QTest::keyClick(&edit, Qt::Key_X, Qt::ControlModifier);
        QCOMPARE(edit.text(), QString("1..30."));
        QCOMPARE(QGuiApplication::clipboard()->text(), QString("0.20"));
    }

    void PasteTakesAnAddressOrRefusesWithTheHint()
    {
        CIpAddressEdit edit;
        QVERIFY(Ready(edit, "10.0.0.1"));
        edit.setCursorPosition(3);
        QGuiApplication::clipboard()->setText(" 192.0.2.7 \n");
        QTest::keyClick(&edit, Qt::Key_V, Qt::ControlModifier);
        QCOMPARE(edit.text(), QString("192.0.2.7"));
        QVERIFY(!QToolTip::isVisible());

        QGuiApplication::clipboard()->setText("300.1.1.1");
        QTest::keyClick(&edit, Qt::Key_Insert, Qt::ShiftModifier);
        QCOMPARE(edit.text(), QString("192.0.2.7"));
        QVERIFY(QToolTip::isVisible());
        QCOMPARE(QToolTip::text(), RangeHint());

        // Digits go in where the caret is.
        QGuiApplication::clipboard()->setText("25");
        edit.setSelection(8, 1);
        QTest::keyClick(&edit, Qt::Key_V, Qt::ControlModifier);
        QCOMPARE(edit.text(), QString("192.0.2.25"));
        QCOMPARE(edit.Address().HostOrder(), 0xC0000219u);

        // The context menu pastes by the same rules: into the 0.0.0.0 the field was given, anew.
        edit.SetAddress(tarrowind::Ipv4Address());
        QGuiApplication::clipboard()->setText("10");
        QContextMenuEvent menuEvent(QContextMenuEvent::Keyboard, QPoint(1, 1), edit.mapToGlobal(QPoint(1, 1)));
        QApplication::sendEvent(&edit, &menuEvent);
        auto* menu = qobject_cast<QMenu*>(QApplication::activePopupWidget());
        QVERIFY(menu != nullptr);
        QAction* paste = nullptr;
        for (QAction* action : menu->actions()) {
            if (action->objectName() == "edit-paste" || action->text().startsWith(QLineEdit::tr("&Paste"))) {
                paste = action;
            }
        }
        QVERIFY(paste != nullptr);
        paste->trigger();
        menu->close();
        QCOMPARE(edit.text(), QString("10"));
    }
};

QTEST_MAIN(IpAddressEditTest)
#include "ip_address_edit_test.moc"
