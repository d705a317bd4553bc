#include "ui/dialogs/message_box.h"

#include <QApplication>
#include <QFileInfo>
#include <QMessageBox>
#include <QPushButton>

#include <vector>

#include "localisation/string_table.h"

namespace tarrowind {
namespace {

constexpr unsigned kButtonsMask = 0xF;
constexpr unsigned kIconMask = 0xF0;

QMessageBox::Icon IconOf(unsigned type)
{
    switch (type & kIconMask) {
    case message_box::kIconError:
        return QMessageBox::Critical;
    case message_box::kIconQuestion:
        return QMessageBox::Question;
    case message_box::kIconExclamation:
        return QMessageBox::Warning;
    case message_box::kIconInformation:
        return QMessageBox::Information;
    default:
        break;
    }
    const unsigned buttons = type & kButtonsMask;
    if (buttons == message_box::kYesNo || buttons == message_box::kYesNoCancel) {
        return QMessageBox::Question;
    }
    return QMessageBox::Warning;
}

QString Caption()
{
    return QFileInfo(QCoreApplication::applicationFilePath()).completeBaseName();
}

QWidget* Owner()
{
    if (QWidget* modal = QApplication::activeModalWidget()) {
        return modal;
    }
    return QApplication::activeWindow();
}

}  // namespace

int ShowQtMessageBox(const std::string& text, unsigned type)
{
    QMessageBox box(IconOf(type), Caption(), QString::fromStdString(text), QMessageBox::NoButton, Owner());
    box.setTextFormat(Qt::PlainText);  // a module's name in a message is never markup
    if (type & message_box::kRtlReading) {
        box.setLayoutDirection(Qt::RightToLeft);
    }
    struct Choice {
        QMessageBox::StandardButton button;
        int id;
    };
    std::vector<Choice> choices;
    switch (type & kButtonsMask) {
    case message_box::kOkCancel:
        choices = {{QMessageBox::Ok, message_box::kIdOk}, {QMessageBox::Cancel, message_box::kIdCancel}};
        break;
    case message_box::kYesNoCancel:
        choices = {{QMessageBox::Yes, message_box::kIdYes},
                   {QMessageBox::No, message_box::kIdNo},
                   {QMessageBox::Cancel, message_box::kIdCancel}};
        break;
    case message_box::kYesNo:
        choices = {{QMessageBox::Yes, message_box::kIdYes}, {QMessageBox::No, message_box::kIdNo}};
        break;
    default:
        choices = {{QMessageBox::Ok, message_box::kIdOk}};
        break;
    }
    for (const Choice& choice : choices) {
        box.addButton(choice.button);
    }
    box.exec();
    const QMessageBox::StandardButton pressed = box.standardButton(box.clickedButton());
    for (const Choice& choice : choices) {
        if (choice.button == pressed) {
            return choice.id;
        }
    }
    // Closed with Escape or the close box: the box's cancel answer, or OK for a box with only OK.
    return (type & kButtonsMask) == message_box::kYesNo ? message_box::kIdNo
           : (type & kButtonsMask) == message_box::kOk  ? message_box::kIdOk
                                                         : message_box::kIdCancel;
}

void InstallMessageBox()
{
    SetMessageBoxFunction(&ShowQtMessageBox);
}

int ShowMessageText(const std::string& text, unsigned type)
{
    const MessageBoxFunction show = CurrentMessageBoxFunction();
    if (show == nullptr) {
        return 0;
    }
    return show(text, IsRightToLeft() ? type | message_box::kRtlReading : type);
}

}  // namespace tarrowind
