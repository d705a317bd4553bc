#include "ui/device_list/controller_list_commands.h"

#include <QClipboard>
#include <QDir>
#include <QFileDialog>
#include <QGuiApplication>
#include <QSaveFile>

#include <string>
#include <vector>

#include "commands/module_csv.h"
#include "localisation/string_table.h"
#include "ui/device_list/controller_list_ctrl.h"
#include "ui/device_list/controller_list_model.h"
#include "ui/dialogs/message_box.h"

namespace tarrowind {
namespace {

QString Q(const std::string& text)
{
    return QString::fromStdString(text);
}

std::vector<ModuleRowTexts> RowTexts(const std::vector<const DeviceRecord*>& rows)
{
    std::vector<ModuleRowTexts> texts;
    texts.reserve(rows.size());
    for (const DeviceRecord* r : rows) {
        texts.push_back(RowTextsOf(*r, ControllerListModel::ActionText(r->action).toStdString(),
                                   ControllerListModel::StatusText(r->status).toStdString()));
    }
    return texts;
}

}  // namespace

void CopySelectedRows(const CControllerListCtrl& list)
{
    const std::vector<const DeviceRecord*> rows = list.SelectedSnapshots();
    if (rows.empty()) {
        return;
    }
    const std::string text = TabSeparated(RowTexts(rows));
    QGuiApplication::clipboard()->setText(QString::fromUtf8(text.data(), static_cast<qsizetype>(text.size())));
}

bool ExportShownRows(const CControllerListCtrl& list, const QString& path)
{
    std::vector<const DeviceRecord*> rows;
    for (int row = 0; row < list.RowCount(); ++row) {
        rows.push_back(list.SnapshotAt(row));
    }
    const std::string csv = CsvDocument(RowTexts(rows));
    // Written beside the target and renamed over it: a failure never leaves half a list behind.
    QSaveFile file(path);
    if (!file.open(QIODevice::WriteOnly) ||
        file.write(csv.data(), static_cast<qint64>(csv.size())) != static_cast<qint64>(csv.size()) || !file.commit()) {
        ShowMessage("ORB_IDS_CANNOT_WRITE_FILE", message_box::kOk | message_box::kIconError);
        return false;
    }
    return true;
}

void ChooseExportFile(const CControllerListCtrl& list, QWidget* parent)
{
    if (list.RowCount() == 0) {
        return;
    }
    const QString path = QFileDialog::getSaveFileName(
        parent, Q(Text("ORB_IDS_EXPORT_LIST")).remove(QStringLiteral("...")),
        QDir::home().filePath(QStringLiteral("tarrowind-modules.csv")), CsvFileFilter());
    if (!path.isEmpty()) {
        ExportShownRows(list, path);
    }
}

QString CsvFileFilter()
{
    return Q(Text("ORB_IDS_CSV_FILES")) + QStringLiteral(";;") + Q(Text("ORB_IDS_ALL_FILES"));
}

QPoint KeyboardMenuPosition(const CControllerListCtrl& list)
{
    QPoint local(0, 0);
    const QModelIndex current = list.currentIndex();
    if (current.isValid()) {
        const QRect cell = list.visualRect(current);
        local = QPoint(cell.left() + cell.height() / 2, cell.bottom());
    }
    return list.viewport()->mapToGlobal(local);
}

}  // namespace tarrowind
