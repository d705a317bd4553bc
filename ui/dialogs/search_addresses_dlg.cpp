#include "ui/dialogs/search_addresses_dlg.h"

#include <QDialogButtonBox>
#include <QFormLayout>
#include <QLabel>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QSpinBox>
#include <QVBoxLayout>

#include "localisation/string_table.h"
#include "ui/device_list/controller_list_model.h"

namespace tarrowind {
namespace {

QString Q(const std::string& text)
{
    return QString::fromStdString(text);
}

}  // namespace

CSearchAddressesDlg::CSearchAddressesDlg(const QString& rangesText, std::uint32_t probesPerSecond, QWidget* parent)
    : QDialog(parent)
{
    if (IsRightToLeft()) {
        setLayoutDirection(Qt::RightToLeft);
    }
    setWindowTitle(Q(Text("ORB_IDS_SEARCH_ADDRESSES_TITLE")));

    // The examples read first to last in a right-to-left window too.
    auto* prompt = new QLabel(ControllerListModel::AddressesLeftToRight(Q(Text("ORB_IDS_ADDRESS_RANGES"))), this);
    prompt->setWordWrap(true);
    m_text = new QPlainTextEdit(this);
    m_text->setObjectName("ranges");
    m_text->setTabChangesFocus(true);
    m_text->setPlainText(rangesText);
    // Addresses read left to right in every language.
    m_text->setLayoutDirection(Qt::LeftToRight);
    m_text->setMinimumHeight(fontMetrics().lineSpacing() * 5);
    m_rate = new QSpinBox(this);
    m_rate->setObjectName("rate");
    m_rate->setRange(static_cast<int>(kMinProbeRate), static_cast<int>(kMaxProbeRate));
    m_rate->setGroupSeparatorShown(true);
    m_rate->setValue(static_cast<int>(IsValidProbeRate(probesPerSecond) ? probesPerSecond : kDefaultProbeRate));
    m_note = new QLabel(this);
    m_note->setObjectName("note");
    m_note->setWordWrap(true);
    m_note->setTextFormat(Qt::PlainText);

    auto* fields = new QFormLayout;
    fields->addRow(Q(Text("ORB_IDS_PROBE_RATE")), m_rate);

    auto* buttons = new QDialogButtonBox(this);
    m_ok = buttons->addButton(Q(Text("ORB_IDC_OK")), QDialogButtonBox::AcceptRole);
    m_ok->setDefault(true);
    buttons->addButton(Q(Text("ORB_IDC_CANCEL")), QDialogButtonBox::RejectRole);

    auto* layout = new QVBoxLayout(this);
    layout->addWidget(prompt);
    layout->addWidget(m_text, 1);
    layout->addWidget(m_note);
    layout->addLayout(fields);
    layout->addWidget(buttons);
    setMinimumWidth(fontMetrics().averageCharWidth() * 70);

    connect(buttons, &QDialogButtonBox::accepted, this, [this] {
        if (CanAccept()) {
            accept();
        }
    });
    connect(buttons, &QDialogButtonBox::rejected, this, &QDialog::reject);
    connect(m_text, &QPlainTextEdit::textChanged, this, &CSearchAddressesDlg::Check);
    Check();
    m_text->setFocus();
    m_text->selectAll();
}

QString CSearchAddressesDlg::Describe(const RangeParse& parse, const AddressRanges& ranges)
{
    const auto withItem = [&](const char* key) {
        return Q(Text(key)) + QLatin1Char(' ') + ControllerListModel::LeftToRight(Q(parse.item));
    };
    switch (parse.error) {
    case RangeError::None:
        return Q(Text("ORB_IDS_ADDRESS_COUNT", static_cast<int>(ranges.Count())));
    case RangeError::Empty:
        return Q(Text("ORB_IDS_RANGES_EMPTY_NOTE"));
    case RangeError::NotARange:
        return withItem("ORB_IDS_RANGE_NOT_A_RANGE");
    case RangeError::Reversed:
        return withItem("ORB_IDS_RANGE_REVERSED");
    case RangeError::NotUnicast:
        return withItem("ORB_IDS_RANGE_NOT_UNICAST");
    case RangeError::TooMany:
        return Q(Text("ORB_IDS_RANGE_TOO_MANY"));
    }
    return {};
}

void CSearchAddressesDlg::Check()
{
    AddressRanges ranges;
    const RangeParse parse = ParseAddressRanges(m_text->toPlainText().toStdString(), ranges);
    m_valid = parse.error == RangeError::None || parse.error == RangeError::Empty;
    m_ranges = parse.error == RangeError::None ? ranges : AddressRanges{};
    m_note->setText(Describe(parse, ranges));
    QPalette palette = m_note->palette();
    palette.setColor(QPalette::WindowText, m_valid ? this->palette().color(QPalette::WindowText) : QColor(200, 0, 0));
    m_note->setPalette(palette);
    m_ok->setEnabled(m_valid);
}

QString CSearchAddressesDlg::RangesText() const
{
    return m_text->toPlainText().trimmed();
}

std::uint32_t CSearchAddressesDlg::ProbesPerSecond() const
{
    return static_cast<std::uint32_t>(m_rate->value());
}

QString CSearchAddressesDlg::NoteText() const
{
    return m_note->text();
}

bool CSearchAddressesDlg::CanAccept() const
{
    return m_valid;
}

}  // namespace tarrowind
