#include <QTest>

#include "ui/ip_address_edit.h"

using tarrowind::CIpAddressEdit;

class IpAddressEditTest : public QObject {
    Q_OBJECT

private slots:
    void ParsesDottedTextInHostOrder()
    {
        QCOMPARE(CIpAddressEdit::ParseHostOrder("192.168.1.10"), 0xC0A8010Au);
        QCOMPARE(CIpAddressEdit::ParseHostOrder("255.255.255.255"), 0xFFFFFFFFu);
        // Blank numbers count as 0, so an empty field is 0.0.0.0.
        QCOMPARE(CIpAddressEdit::ParseHostOrder("10..5"), 0x0A000500u);
        QCOMPARE(CIpAddressEdit::ParseHostOrder(""), 0u);
        QCOMPARE(CIpAddressEdit::ParseHostOrder("010.001.000.009"), 0x0A010009u);
        // Text the field cannot hold has no value.
        QCOMPARE(CIpAddressEdit::ParseHostOrder("256.1.1.1"), 0u);
        QCOMPARE(CIpAddressEdit::ParseHostOrder("1.2.3.4.5"), 0u);
        QCOMPARE(CIpAddressEdit::ParseHostOrder("1.2.a.4"), 0u);
        QCOMPARE(CIpAddressEdit::ParseHostOrder("1.2.1234.4"), 0u);

        CIpAddressEdit edit;
        edit.SetAddress(0xC0A8010Au);
        QCOMPARE(edit.text(), QString("192.168.1.10"));
        QCOMPARE(edit.Address(), 0xC0A8010Au);
    }

    void TypingMovesOnAndRefusesWhatDoesNotFit()
    {
        CIpAddressEdit edit;
        edit.clear();
        QTest::keyClicks(&edit, "1921681x.10");
        QCOMPARE(edit.text(), QString("192.168.1.10"));
        // A fifth number, or a fourth number above 255, cannot be typed.
        QTest::keyClicks(&edit, ".");
        QCOMPARE(edit.text(), QString("192.168.1.10"));
        edit.clear();
        QTest::keyClicks(&edit, "10.0.0.25");
        QTest::keyClicks(&edit, "6");
        QCOMPARE(edit.text(), QString("10.0.0.25"));
        // A pasted address loses the blanks around it.
        edit.clear();
        edit.insert(" 10.0.0.1 ");
        QCOMPARE(edit.Address(), 0x0A000001u);
    }
};

QTEST_MAIN(IpAddressEditTest)
#include "ip_address_edit_test.moc"
