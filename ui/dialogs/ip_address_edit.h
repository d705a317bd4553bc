#pragma once

#include <QLineEdit>

class QLayout;

#include <utility>

#include "platform/ipv4_address.h"

namespace tarrowind {

// An IPv4 address entry: dotted decimal, each number 0 to 255, numbers left blank count as 0 (an empty
// field is 0.0.0.0).
//
// It types as the platform's address control: a number is at most three digits, a digit after three
// moves on to the next number, "." (or the keypad's decimal point) moves on, and a number above 255
// becomes 255, selected, with a hint naming the range beside the field. Deleting keeps the dots, so no
// number slides into another's place; a pasted address replaces the whole field. When editing ends a
// shorter entry is shown with all four numbers, so what the field shows is the address it gives.
class CIpAddressEdit final : public QLineEdit {
    Q_OBJECT

public:
    explicit CIpAddressEdit(QWidget* parent = nullptr);

    Ipv4Address Address() const;
    void SetAddress(Ipv4Address address);

    // The text's value as the field reads it: blank numbers are 0 and a leading zero is decimal; text that
    // is no address (letters, a number above 255, a fifth number) gives 0.0.0.0.
    static Ipv4Address ParseFieldText(const QString& text);
    // Whether `text` is what the field can hold: up to four numbers of at most three digits, each at most 255.
    static bool IsAddressText(const QString& text);

    // A row that puts `edit` where the window's reading direction starts: the field itself always reads
    // left to right, so an alignment on it alone would keep it on the left in a right-to-left window.
    static QLayout* LeadingRow(CIpAddressEdit* edit);

    // Puts `text` where the user pastes: a whole address replaces the field, anything else goes in at
    // the caret if the field can hold the result; refused text leaves the field as it was, with the hint.
    void Paste(const QString& text);

    QSize sizeHint() const override;

protected:
    void keyPressEvent(QKeyEvent* event) override;
    void contextMenuEvent(QContextMenuEvent* event) override;
    void mouseReleaseEvent(QMouseEvent* event) override;
    void dropEvent(QDropEvent* event) override;

private:
    // The text an insertion edits and where it goes in.
    std::pair<QString, int> InsertionPoint() const;
    void TypeDigit(QChar digit);
    void MoveToNextNumber();
    void Backspace();
    void DeleteForward();
    void DeleteSelection();
    void DeleteWord(bool backward);
    void CutSelection();
    void PasteClipboard();
    // Whether the field still shows the 0.0.0.0 it was given: typing then starts a new address.
    bool ShowsUntouchedZero() const;
    // Replaces the text as one user edit, then places the caret and selects `selectLength` after it.
    void Edit(const QString& text, int cursor, int selectLength = 0);
    void ShowRangeHint();
    void CompleteNumbers();
};

}  // namespace tarrowind
