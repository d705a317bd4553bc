#include "ui/dialogs/apply_plan_dlg.h"

#include <QDialogButtonBox>
#include <QFileInfo>
#include <QHeaderView>
#include <QLabel>
#include <QPushButton>
#include <QTableWidget>
#include <QVBoxLayout>

#include <algorithm>

#include "localisation/string_table.h"
#include "ui/dialogs/assign_addresses_dlg.h"
#include "ui/device_list/controller_list_model.h"

namespace tarrowind {
namespace {

QString Q(const std::string& text)
{
    return QString::fromStdString(text);
}

QTableWidget* MakeTable(QWidget* parent, const QStringList& headers)
{
    auto* table = new QTableWidget(0, static_cast<int>(headers.size()), parent);
    table->setHorizontalHeaderLabels(headers);
    table->verticalHeader()->hide();
    table->setEditTriggers(QAbstractItemView::NoEditTriggers);
    table->setSelectionMode(QAbstractItemView::NoSelection);
    table->setWordWrap(false);
    table->horizontalHeader()->setStretchLastSection(true);
    return table;
}

void AddRow(QTableWidget& table, const QStringList& cells)
{
    const int row = table.rowCount();
    table.insertRow(row);
    for (int column = 0; column < static_cast<int>(cells.size()); ++column) {
        auto* item = new QTableWidgetItem(cells[column]);
        item->setToolTip(ControllerListModel::PlainToolTip(cells[column]));
        table.setItem(row, column, item);
    }
}

}  // namespace

CApplyPlanDlg::CApplyPlanDlg(const PlanMatch& match, const QString& fileName, QWidget* parent) : QDialog(parent)
{
    if (IsRightToLeft()) {
        setLayoutDirection(Qt::RightToLeft);
    }
    setWindowTitle(Q(Text("ORB_IDS_APPLY_PLAN_TITLE")) + QStringLiteral(" - ") + QFileInfo(fileName).fileName());

    auto* changesCaption = new QLabel(Q(Label("ORB_IDS_PLAN_CHANGES")), this);
    m_changes = MakeTable(this, {Q(Text("ORB_IDS_DEVICE_NAME")), Q(Text("ORB_IDS_MAC_ADDRESS")),
                                 Q(Text("ORB_IDS_FIELD")), Q(Text("ORB_IDS_OLD_VALUE")), Q(Text("ORB_IDS_NEW_VALUE"))});
    m_changes->setObjectName("changes");
    const auto ltr = &ControllerListModel::LeftToRight;
    for (const PlannedChange& change : match.changes) {
        const DeviceRecord* r = change.record;
        for (const FieldChange& field : change.fields) {
            const bool address = field.field != "Name";
            const auto value = [&](const std::string& text) { return address ? ltr(Q(text)) : Q(text); };
            AddRow(*m_changes, {r != nullptr ? Q(r->name) : QString(), r != nullptr ? ltr(Q(r->macText)) : QString(),
                                FieldName(field.field), value(field.oldText), value(field.newText)});
        }
    }
    m_changes->resizeColumnsToContents();

    auto* problemsCaption = new QLabel(Q(Label("ORB_IDS_PLAN_PROBLEMS")), this);
    m_problems = MakeTable(this, {Q(Text("ORB_IDS_PLAN_LINE")), Q(Text("ORB_IDS_MAC_ADDRESS")), Q(Text("ORB_IDS_NOTE"))});
    m_problems->setObjectName("problems");
    for (const PlanProblem& problem : match.problems) {
        AddRow(*m_problems, {QString::number(problem.line), ltr(Q(problem.mac)), ProblemText(problem)});
    }
    m_problems->resizeColumnsToContents();
    problemsCaption->setVisible(!match.problems.empty());
    m_problems->setVisible(!match.problems.empty());

    m_summary = new QLabel(this);
    m_summary->setObjectName("summary");
    m_summary->setTextFormat(Qt::PlainText);
    m_summary->setText(match.changes.empty() ? Q(Text("ORB_IDS_PLAN_NOTHING"))
                                             : Q(Text("ORB_IDS_PLAN_SUMMARY", static_cast<int>(match.changes.size()))));

    auto* buttons = new QDialogButtonBox(this);
    QPushButton* ok = buttons->addButton(Q(Text("ORB_IDC_OK")), QDialogButtonBox::AcceptRole);
    ok->setDefault(true);
    ok->setEnabled(!match.changes.empty());
    buttons->addButton(Q(Text("ORB_IDC_CANCEL")), QDialogButtonBox::RejectRole);
    connect(buttons, &QDialogButtonBox::accepted, this, &QDialog::accept);
    connect(buttons, &QDialogButtonBox::rejected, this, &QDialog::reject);

    auto* layout = new QVBoxLayout(this);
    layout->addWidget(changesCaption);
    layout->addWidget(m_changes, 3);
    layout->addWidget(problemsCaption);
    layout->addWidget(m_problems, 1);
    layout->addWidget(m_summary);
    layout->addWidget(buttons);
    resize(std::max(fontMetrics().averageCharWidth() * 110, 760), fontMetrics().height() * 30);
}

QString CApplyPlanDlg::FieldName(const std::string& field)
{
    if (field == "Name") {
        return Q(Text("ORB_IDS_DEVICE_NAME"));
    }
    if (field == "IP") {
        return Q(Text("ORB_IDS_IP"));
    }
    if (field == "Mask") {
        return Q(Text("ORB_IDS_SUBNET_MASK"));
    }
    if (field == "Gateway") {
        return Q(Text("ORB_IDS_DEFAULT_GATEWAY"));
    }
    if (field == "DHCP") {
        return Q(Text("ORB_IDS_DHCP_CLIENT"));
    }
    return Q(field);
}

QString CApplyPlanDlg::ProblemText(const PlanProblem& problem)
{
    switch (problem.kind) {
    case PlanProblemKind::NoMac:
        return Q(Text("ORB_IDS_PLAN_NO_MAC"));
    case PlanProblemKind::BadValue:
        return Q(Text("ORB_IDS_PLAN_BAD_VALUE")) + QLatin1Char(' ') + FieldName(problem.field) + QStringLiteral(": ") +
               Q(problem.value);
    case PlanProblemKind::UnknownMac:
        return Q(Text("ORB_IDS_PLAN_NO_MODULE"));
    case PlanProblemKind::MacTwice:
        return Q(Text("ORB_IDS_PLAN_MAC_TWICE")) + QStringLiteral(" (") + QString::number(problem.otherLine) + ')';
    case PlanProblemKind::AddressTwice:
        return Q(Text("ORB_IDS_PLAN_ADDRESS_TWICE")) + QStringLiteral(" (") + QString::number(problem.otherLine) + ')';
    case PlanProblemKind::AddressTaken: {
        AddressPlanRow row;
        row.note = AddressNote::InUse;
        row.usedBy = problem.other;
        return CAssignAddressesDlg::NoteText(row);
    }
    case PlanProblemKind::NotOffered: {
        AddressPlanRow row;
        row.note = AddressNote::NotOffered;
        row.skip = problem.skip;
        return CAssignAddressesDlg::NoteText(row);
    }
    case PlanProblemKind::Unusable:
        return CAssignAddressesDlg::RuleText(problem.rule) + QStringLiteral(" (") + FieldName(problem.field) +
               QStringLiteral(": ") + Q(problem.value) + ')';
    case PlanProblemKind::CannotTellApart:
        return Q(Text("ORB_IDS_NOTE_CANNOT_TELL_APART"));
    }
    return {};
}

const char* CApplyPlanDlg::ReadErrorKey(PlanReadError error)
{
    switch (error) {
    case PlanReadError::None:
        return nullptr;
    case PlanReadError::TooLarge:
    case PlanReadError::TooManyRows:
        return "ORB_IDS_PLAN_TOO_LARGE";
    case PlanReadError::NoMacColumn:
        return "ORB_IDS_PLAN_NO_MAC_COLUMN";
    case PlanReadError::NoValueColumn:
        return "ORB_IDS_PLAN_NOTHING";
    case PlanReadError::NoHeader:
    case PlanReadError::NotText:
        return "ORB_IDS_CANNOT_READ_FILE";
    }
    return "ORB_IDS_CANNOT_READ_FILE";
}

QString CApplyPlanDlg::SummaryText() const
{
    return m_summary->text();
}

}  // namespace tarrowind
