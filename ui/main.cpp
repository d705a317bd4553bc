// Tarrowind: finds the access-control modules on every local network and acts on them.
#include <QApplication>

#include "localisation/string_table.h"
#include "platform/http_client.h"
#include "ui/main_dialog.h"
#include "ui/message_box.h"

int main(int argc, char** argv)
{
    // The language and its writing direction are fixed before any window exists.
    tarrowind::StringTable::Instance();
    // Before any worker thread can start.
    tarrowind::HttpClient::GlobalInit();
    QApplication app(argc, argv);
    tarrowind::InstallMessageBox();
    tarrowind::MainDialog window;
    window.exec();
    return 0;
}
