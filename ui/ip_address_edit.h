#pragma once

#include <QLineEdit>

class QLayout;

#include <cstdint>

namespace tarrowind {

// An IPv4 address entry: dotted decimal, each number 0 to 255, numbers left blank count as 0 (an empty
// field is 0.0.0.0). Values are 32-bit in host order: the first number in the most significant byte.
// Typing a fourth digit, or a digit that would pass 255, moves on to the next number by itself.
class CIpAddressEdit final : public QLineEdit {
    Q_OBJECT

public:
    explicit CIpAddressEdit(QWidget* parent = nullptr);

    std::uint32_t Address() const;
    void SetAddress(std::uint32_t hostOrder);

    // The text's value; text that is no address (letters, a number above 255, a fifth number) gives 0.
    static std::uint32_t ParseHostOrder(const QString& text);
    static QString FormatHostOrder(std::uint32_t hostOrder);
    // Whether `text` is what the field can hold: up to four numbers of at most three digits, each at most 255.
    static bool IsAddressText(const QString& text);

    // A row that puts `edit` where the window's reading direction starts: the field itself always reads
    // left to right, so an alignment on it alone would keep it on the left in a right-to-left window.
    static QLayout* LeadingRow(CIpAddressEdit* edit);

    QSize sizeHint() const override;
};

}  // namespace tarrowind
