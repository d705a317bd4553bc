#include "ui/ip_address_edit.h"

#include <QHBoxLayout>
#include <QValidator>

#include <algorithm>

namespace tarrowind {
namespace {

constexpr int kNumbers = 4;

class AddressValidator final : public QValidator {
public:
    using QValidator::QValidator;

    State validate(QString& input, int& pos) const override
    {
        // Blanks around a pasted address are no part of it.
        if (input.contains(u' ')) {
            const int before = static_cast<int>(input.left(pos).count(u' '));
            input.remove(u' ');
            pos -= before;
        }
        if (CIpAddressEdit::IsAddressText(input)) {
            return Acceptable;
        }
        // A digit that does not fit the number it was typed into starts the next number.
        if (pos > 0 && pos <= input.size() && input.at(pos - 1).isDigit() && input.count(u'.') < kNumbers - 1) {
            QString advanced = input;
            advanced.insert(pos - 1, u'.');
            if (CIpAddressEdit::IsAddressText(advanced)) {
                input = advanced;
                ++pos;
                return Acceptable;
            }
        }
        return Invalid;
    }
};

}  // namespace

CIpAddressEdit::CIpAddressEdit(QWidget* parent) : QLineEdit(parent)
{
    // Addresses read left to right in every language.
    setLayoutDirection(Qt::LeftToRight);
    setAlignment(Qt::AlignLeft | Qt::AlignAbsolute);
    setValidator(new AddressValidator(this));
    setText(FormatHostOrder(0));
}

bool CIpAddressEdit::IsAddressText(const QString& text)
{
    const QStringList numbers = text.split(u'.');
    if (numbers.size() > kNumbers) {
        return false;
    }
    for (const QString& number : numbers) {
        if (number.size() > 3) {
            return false;
        }
        for (const QChar c : number) {
            if (c < u'0' || c > u'9') {
                return false;
            }
        }
        if (!number.isEmpty() && number.toInt() > 255) {
            return false;
        }
    }
    return true;
}

std::uint32_t CIpAddressEdit::ParseHostOrder(const QString& text)
{
    if (!IsAddressText(text)) {
        return 0;
    }
    const QStringList numbers = text.split(u'.');
    std::uint32_t value = 0;
    for (int i = 0; i < kNumbers; ++i) {
        const std::uint32_t number = i < numbers.size() ? numbers.at(i).toUInt() : 0;  // blank gives 0
        value = (value << 8) | number;
    }
    return value;
}

QString CIpAddressEdit::FormatHostOrder(std::uint32_t hostOrder)
{
    return QStringLiteral("%1.%2.%3.%4")
        .arg(hostOrder >> 24)
        .arg((hostOrder >> 16) & 0xFF)
        .arg((hostOrder >> 8) & 0xFF)
        .arg(hostOrder & 0xFF);
}

std::uint32_t CIpAddressEdit::Address() const
{
    return ParseHostOrder(text());
}

void CIpAddressEdit::SetAddress(std::uint32_t hostOrder)
{
    setText(FormatHostOrder(hostOrder));
}

QLayout* CIpAddressEdit::LeadingRow(CIpAddressEdit* edit)
{
    // A box layout follows its parent's direction, which the field's own does not change.
    auto* row = new QHBoxLayout;
    row->setContentsMargins(0, 0, 0, 0);
    row->addWidget(edit);
    row->addStretch(1);
    return row;
}

QSize CIpAddressEdit::sizeHint() const
{
    // At least room for the widest address, however wide the font's digits are.
    QSize size = QLineEdit::sizeHint();
    const int wide = fontMetrics().horizontalAdvance(QStringLiteral("000.000.000.000")) +
                     fontMetrics().averageCharWidth() * 4;
    size.setWidth(std::max(size.width(), wide));
    return size;
}

}  // namespace tarrowind
