#pragma once

#include <QDialog>

#include "commands/settings_plan.h"

class QLabel;
class QPushButton;
class QTableWidget;

namespace tarrowind {

// "Apply plan...": every change the plan makes (module, field, old and new value) and every row left
// out with its reason, before anything is queued. OK is offered when the plan changes something.
class CApplyPlanDlg final : public QDialog {
    Q_OBJECT

public:
    CApplyPlanDlg(const PlanMatch& match, const QString& fileName, QWidget* parent = nullptr);

    QTableWidget& Changes() const { return *m_changes; }
    QTableWidget& Problems() const { return *m_problems; }
    QString SummaryText() const;

    // The window's words for a problem row, and for a plan that cannot be read at all (its message key).
    static QString ProblemText(const PlanProblem& problem);
    static const char* ReadErrorKey(PlanReadError error);
    static QString FieldName(const std::string& field);

private:
    QTableWidget* m_changes;
    QTableWidget* m_problems;
    QLabel* m_summary;
};

}  // namespace tarrowind
