#pragma once

#include <QPoint>
#include <QString>

class QWidget;

namespace tarrowind {

class CControllerListCtrl;

// The commands that act on the list itself rather than on the modules: the rows' texts to the clipboard
// or a file, as the list shows them.

// The selected rows as tab-separated text on the clipboard; nothing when no row is selected.
void CopySelectedRows(const CControllerListCtrl& list);
// The rows shown, as the list shows them, into a CSV file; false (after a message) when it cannot be
// written.
bool ExportShownRows(const CControllerListCtrl& list, const QString& path);
// Asks where to export the rows shown, then exports them; nothing when no row is shown.
void ChooseExportFile(const CControllerListCtrl& list, QWidget* parent);
// The file types offered for the list's files (the export, the plans).
QString CsvFileFilter();
// Where the context menu opens from the keyboard: below the current row's first shown cell, else at the
// list's top corner; in global coordinates.
QPoint KeyboardMenuPosition(const CControllerListCtrl& list);

}  // namespace tarrowind
