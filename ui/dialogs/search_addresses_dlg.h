#pragma once

#include <QDialog>

#include "discovery/address_ranges.h"

class QLabel;
class QPlainTextEdit;
class QPushButton;
class QSpinBox;

namespace tarrowind {

// "Search addresses...": the address ranges a search probes by unicast, for modules behind routers that
// no broadcast reaches, and the pace of the probes. The count of addresses, or what is wrong with the
// text, shows as the user types; OK is offered only for text that parses. Empty text: broadcasts only.
class CSearchAddressesDlg final : public QDialog {
    Q_OBJECT

public:
    CSearchAddressesDlg(const QString& rangesText, std::uint32_t probesPerSecond, QWidget* parent = nullptr);

    QString RangesText() const;
    std::uint32_t ProbesPerSecond() const;
    const AddressRanges& Ranges() const { return m_ranges; }
    QString NoteText() const;
    bool CanAccept() const;

    // The window's words for a parse result: the count, the empty note, or the error with its item.
    static QString Describe(const RangeParse& parse, const AddressRanges& ranges);

private:
    void Check();

    QPlainTextEdit* m_text;
    QSpinBox* m_rate;
    QLabel* m_note;
    QPushButton* m_ok;
    AddressRanges m_ranges;
    bool m_valid = true;
};

}  // namespace tarrowind
