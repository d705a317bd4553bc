#pragma once

#include <string>

namespace tarrowind {

// The program's message box: modal over the window in front (the dialog in front when a dialog asks),
// the program's file name as caption, the buttons and icon of `type` (message_box bits of
// localisation/string_table.h; OK and OK/Cancel without an icon get the exclamation mark, Yes/No the
// question mark), reading right to left when `type` says so. Returns the message_box id of the button.
int ShowQtMessageBox(const std::string& text, unsigned type);

// Makes ShowQtMessageBox the box behind ShowMessage and ShowMessageText.
void InstallMessageBox();

// A box with a text that is not a plain key lookup (a formatted text): through the installed box, with
// right-to-left reading added when the language is written so. 0 when no box is installed.
int ShowMessageText(const std::string& text, unsigned type);

}  // namespace tarrowind
