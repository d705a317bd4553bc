#include "ui/dialogs/ip_address_edit.h"

#include <QAction>
#include <QClipboard>
#include <QContextMenuEvent>
#include <QGuiApplication>
#include <QHBoxLayout>
#include <QKeyEvent>
#include <QMimeData>
#include <QMenu>
#include <QToolTip>
#include <QValidator>

#include <algorithm>
#include <utility>

#include "localisation/string_table.h"

namespace tarrowind {
namespace {

constexpr int kNumbers = 4;
constexpr int kDigits = 3;
constexpr int kHighest = 255;
constexpr int kHintMilliseconds = 5000;

// The guard behind every way text gets in (drops too): the field never holds what is no address.
class AddressValidator final : public QValidator {
public:
    using QValidator::QValidator;

    State validate(QString& input, int& pos) const override
    {
        // Blanks around a dropped address are no part of it.
        if (input.contains(u' ')) {
            const int before = static_cast<int>(input.left(pos).count(u' '));
            input.remove(u' ');
            pos -= before;
        }
        return CIpAddressEdit::IsAddressText(input) ? Acceptable : Invalid;
    }
};

// The number that `pos` is in or at the end of: [first, second).
std::pair<int, int> NumberAt(const QString& text, int pos)
{
    const int start = pos == 0 ? 0 : static_cast<int>(text.lastIndexOf(u'.', pos - 1)) + 1;
    const int dot = static_cast<int>(text.indexOf(u'.', pos));
    return {start, dot < 0 ? static_cast<int>(text.size()) : dot};
}

// Removes [start, start + length) but keeps its dots, so that the numbers after it keep their places;
// what reaches the end of the text goes whole.
QString RemoveKeepingDots(const QString& text, int start, int length)
{
    QString result = text.left(start);
    if (start + length < text.size()) {
        result += QString(static_cast<int>(text.mid(start, length).count(u'.')), u'.');
        result += text.mid(start + length);
    }
    return result;
}

bool IsDecimalPoint(const QKeyEvent* event)
{
    if (event->text() == QStringLiteral(".")) {
        return true;
    }
    // The keypad's decimal key gives a comma in some layouts.
    return (event->modifiers() & Qt::KeypadModifier) && (event->key() == Qt::Key_Period || event->key() == Qt::Key_Comma);
}

// Whether `action` is the line edit's standard `name` action: newer Qt names it, older Qt gives it only
// its (translated) text, followed by the shortcut.
bool IsStandardAction(const QAction* action, const char* name, const char* text)
{
    if (!action->objectName().isEmpty()) {
        return action->objectName() == QLatin1String(name);
    }
    return action->text().section(u'\t', 0, 0) == QLineEdit::tr(text);
}

}  // namespace

CIpAddressEdit::CIpAddressEdit(QWidget* parent) : QLineEdit(parent)
{
    // Addresses read left to right in every language.
    setLayoutDirection(Qt::LeftToRight);
    setAlignment(Qt::AlignLeft | Qt::AlignAbsolute);
    setValidator(new AddressValidator(this));
    SetAddress(Ipv4Address());
    connect(this, &QLineEdit::editingFinished, this, &CIpAddressEdit::CompleteNumbers);
}

bool CIpAddressEdit::IsAddressText(const QString& text)
{
    const QStringList numbers = text.split(u'.');
    if (numbers.size() > kNumbers) {
        return false;
    }
    for (const QString& number : numbers) {
        if (number.size() > kDigits) {
            return false;
        }
        for (const QChar c : number) {
            if (c < u'0' || c > u'9') {
                return false;
            }
        }
        if (!number.isEmpty() && number.toInt() > kHighest) {
            return false;
        }
    }
    return true;
}

Ipv4Address CIpAddressEdit::ParseFieldText(const QString& text)
{
    if (!IsAddressText(text)) {
        return {};
    }
    const QStringList numbers = text.split(u'.');
    std::uint32_t value = 0;
    for (int i = 0; i < kNumbers; ++i) {
        const std::uint32_t number = i < numbers.size() ? numbers.at(i).toUInt() : 0;  // blank gives 0
        value = (value << 8) | number;
    }
    return Ipv4Address::FromHostOrder(value);
}

Ipv4Address CIpAddressEdit::Address() const
{
    return ParseFieldText(text());
}

void CIpAddressEdit::SetAddress(Ipv4Address address)
{
    setText(QString::fromStdString(address.ToText()));
}

bool CIpAddressEdit::ShowsUntouchedZero() const
{
    return !isModified() && text() == QString::fromStdString(Ipv4Address().ToText());
}

void CIpAddressEdit::Edit(const QString& text, int cursor, int selectLength)
{
    if (text != this->text()) {
        // One edit on the undo stack, as typing makes it.
        selectAll();
        if (text.isEmpty()) {
            del();
        } else {
            insert(text);
        }
    }
    if (selectLength > 0) {
        setSelection(cursor, selectLength);
    } else {
        setCursorPosition(cursor);
    }
}

void CIpAddressEdit::ShowRangeHint()
{
    QString hint = QString::fromStdString(Text("ORB_IDS_PARSE_INT_RANGE", 0, kHighest));
    if (hint.isEmpty()) {
        hint = QStringLiteral("0 \u2013 %1").arg(kHighest);  // without a string table, the range alone
    }
    QToolTip::showText(mapToGlobal(cursorRect().bottomLeft()), hint, this, QRect(), kHintMilliseconds);
}

std::pair<QString, int> CIpAddressEdit::InsertionPoint() const
{
    // A given 0.0.0.0 is replaced whole; a selection goes first, its dots kept.
    if (ShowsUntouchedZero()) {
        return {QString(), 0};
    }
    QString text = this->text();
    int pos = cursorPosition();
    if (hasSelectedText()) {
        pos = selectionStart();
        text = RemoveKeepingDots(text, pos, static_cast<int>(selectedText().size()));
    }
    return {text, pos};
}

void CIpAddressEdit::TypeDigit(QChar digit)
{
    auto [text, pos] = InsertionPoint();
    auto [start, end] = NumberAt(text, pos);
    if (end - start >= kDigits) {
        // A digit after a full number starts the next one; there is no room inside a full number.
        if (pos != end || text.left(pos).count(u'.') >= kNumbers - 1) {
            return;
        }
        if (end < text.size()) {
            const int next = end + 1;
            text.replace(next, NumberAt(text, next).second - next, digit);
            Edit(text, next + 1);
        } else {
            text += u'.';
            text += digit;
            Edit(text, static_cast<int>(text.size()));
        }
        return;
    }
    text.insert(pos, digit);
    ++end;
    if (text.mid(start, end - start).toInt() > kHighest) {
        // The platform's answer to a number out of range: the highest one, selected to type over, and why.
        text.replace(start, end - start, QString::number(kHighest));
        Edit(text, start, kDigits);
        ShowRangeHint();
        return;
    }
    Edit(text, pos + 1);
}

void CIpAddressEdit::MoveToNextNumber()
{
    QString text = this->text();
    const auto [start, end] = NumberAt(text, cursorPosition());
    if (start == end) {
        return;  // nothing typed yet to move on from
    }
    if (end < text.size()) {
        // The next number is selected, to be typed over.
        const int next = end + 1;
        Edit(text, next, NumberAt(text, next).second - next);
    } else if (text.count(u'.') < kNumbers - 1) {
        text += u'.';
        Edit(text, static_cast<int>(text.size()));
    }
}

void CIpAddressEdit::DeleteSelection()
{
    const int start = selectionStart();
    Edit(RemoveKeepingDots(text(), start, static_cast<int>(selectedText().size())), start);
}

void CIpAddressEdit::Backspace()
{
    if (hasSelectedText()) {
        DeleteSelection();
        return;
    }
    QString text = this->text();
    const int pos = cursorPosition();
    if (pos == 0) {
        return;
    }
    if (text.at(pos - 1) != u'.') {
        text.remove(pos - 1, 1);
        Edit(text, pos - 1);
    } else if (pos == text.size()) {
        Edit(text.left(pos - 1), pos - 1);  // a dot with nothing after it yet
    } else if (pos >= 2 && text.at(pos - 2) != u'.') {
        // Over the dot into the number before it, whose places stay as they are.
        text.remove(pos - 2, 1);
        Edit(text, pos - 2);
    } else {
        setCursorPosition(pos - 1);
    }
}

void CIpAddressEdit::DeleteForward()
{
    if (hasSelectedText()) {
        DeleteSelection();
        return;
    }
    QString text = this->text();
    const int pos = cursorPosition();
    if (pos == text.size()) {
        return;
    }
    if (text.at(pos) != u'.') {
        text.remove(pos, 1);
        Edit(text, pos);
    } else if (pos + 1 == text.size()) {
        Edit(text.left(pos), pos);
    } else if (text.at(pos + 1) != u'.') {
        text.remove(pos + 1, 1);
        Edit(text, pos + 1);
    } else {
        setCursorPosition(pos + 1);
    }
}

void CIpAddressEdit::DeleteWord(bool backward)
{
    if (hasSelectedText()) {
        DeleteSelection();
        return;
    }
    // A word is one number: its dots stay.
    const QString text = this->text();
    const int pos = cursorPosition();
    const auto [start, end] = NumberAt(text, pos);
    if (backward && pos > start) {
        Edit(QString(text).remove(start, pos - start), start);
    } else if (!backward && pos < end) {
        Edit(QString(text).remove(pos, end - pos), pos);
    } else if (backward) {
        Backspace();
    } else {
        DeleteForward();
    }
}

void CIpAddressEdit::CutSelection()
{
    if (hasSelectedText()) {
        copy();
        DeleteSelection();
    }
}

void CIpAddressEdit::Paste(const QString& pasted)
{
    const QString paste = pasted.trimmed();
    if (isReadOnly() || paste.isEmpty()) {
        return;
    }
    if (paste.count(u'.') == kNumbers - 1 && IsAddressText(paste)) {
        Edit(paste, static_cast<int>(paste.size()));
        return;
    }
    auto [text, pos] = InsertionPoint();
    text.insert(pos, paste);
    if (!IsAddressText(text)) {
        ShowRangeHint();
        return;
    }
    Edit(text, pos + static_cast<int>(paste.size()));
}

void CIpAddressEdit::PasteClipboard()
{
    Paste(QGuiApplication::clipboard()->text());
}

void CIpAddressEdit::CompleteNumbers()
{
    // "10.1" gives 10.1.0.0: once editing ends the field says so.
    const QString text = this->text();
    if (!text.isEmpty() && IsAddressText(text)) {
        const QString whole = QString::fromStdString(Address().ToText());
        if (text != whole) {
            setText(whole);
        }
    }
}

void CIpAddressEdit::keyPressEvent(QKeyEvent* event)
{
    if (isReadOnly()) {
        QLineEdit::keyPressEvent(event);
        return;
    }
    // Every key that changes the text is handled here; the others (caret, selection, copy, undo, Enter)
    // are the line edit's.
    event->accept();
    if (event->matches(QKeySequence::Paste)) {
        PasteClipboard();
        return;
    }
    if (event->matches(QKeySequence::Cut)) {
        CutSelection();
        return;
    }
    if (event->matches(QKeySequence::DeleteStartOfWord) || event->matches(QKeySequence::DeleteEndOfWord)) {
        DeleteWord(event->matches(QKeySequence::DeleteStartOfWord));
        return;
    }
    const bool plain = (event->modifiers() & (Qt::ControlModifier | Qt::AltModifier | Qt::MetaModifier)) == 0;
    if (plain && event->key() == Qt::Key_Backspace) {
        Backspace();
        return;
    }
    if (plain && event->key() == Qt::Key_Delete) {
        DeleteForward();
        return;
    }
    const QString typed = event->text();
    if (plain && typed.size() == 1 && typed.at(0).isPrint()) {
        if (typed.at(0) >= u'0' && typed.at(0) <= u'9') {
            TypeDigit(typed.at(0));
        } else if (IsDecimalPoint(event)) {
            MoveToNextNumber();
        }
        return;  // anything else typed is no part of an address
    }
    QLineEdit::keyPressEvent(event);
}

void CIpAddressEdit::contextMenuEvent(QContextMenuEvent* event)
{
    // The menu's own editing actions would bypass the typing rules: ours take their place.
    QMenu* menu = createStandardContextMenu();
    menu->setAttribute(Qt::WA_DeleteOnClose);
    for (QAction* action : menu->actions()) {
        void (CIpAddressEdit::*edit)() = nullptr;
        if (IsStandardAction(action, "edit-paste", "&Paste")) {
            edit = &CIpAddressEdit::PasteClipboard;
        } else if (IsStandardAction(action, "edit-cut", "Cu&t")) {
            edit = &CIpAddressEdit::CutSelection;
        } else if (IsStandardAction(action, "edit-delete", "Delete")) {
            edit = &CIpAddressEdit::DeleteSelection;
        }
        if (edit != nullptr) {
            disconnect(action, &QAction::triggered, nullptr, nullptr);
            connect(action, &QAction::triggered, this, edit);
        }
    }
    menu->popup(event->globalPos());
}

void CIpAddressEdit::mouseReleaseEvent(QMouseEvent* event)
{
    QClipboard* clipboard = QGuiApplication::clipboard();
    if (event->button() == Qt::MiddleButton && clipboard->supportsSelection() && !isReadOnly()) {
        deselect();
        Paste(clipboard->text(QClipboard::Selection));
        event->accept();
        return;
    }
    QLineEdit::mouseReleaseEvent(event);
}

void CIpAddressEdit::dropEvent(QDropEvent* event)
{
    // Text dropped from elsewhere goes in as pasted text does, where it is dropped.
    if (isReadOnly() || event->source() == this || !event->mimeData()->hasText()) {
        QLineEdit::dropEvent(event);
        return;
    }
    deselect();
    setCursorPosition(cursorPositionAt(event->position().toPoint()));
    Paste(event->mimeData()->text());
    event->acceptProposedAction();
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
