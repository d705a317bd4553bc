// Tarrowind: finds the access-control modules on every local network and acts on them.
#include <QApplication>

#include <cstdio>
#include <cstring>

#include "localisation/string_table.h"
#include "platform/http_client.h"
#include "platform/process_environment.h"
#include "ui/main_window/main_dialog.h"
#include "ui/dialogs/message_box.h"
#include "ui/main_window/session_end.h"

int main(int argc, char** argv)
{
    // The window takes no options; --version answers before any window or socket exists.
    for (int i = 1; i < argc; ++i) {
        if (std::strcmp(argv[i], "--version") == 0) {
            tarrowind::WriteToParentConsole();
            std::printf("tarrowind %s\n", TARROWIND_VERSION);
            return 0;
        }
    }
    // The language and its writing direction are fixed before any window exists.
    tarrowind::StringTable::Instance();
    // Before any worker thread can start.
    tarrowind::HttpClient::GlobalInit();
    QApplication app(argc, argv);
    // Lets the desktop match the window to its menu entry and icon.
    QGuiApplication::setDesktopFileName(QStringLiteral(TARROWIND_APP_ID));
    tarrowind::InstallMessageBox();
    tarrowind::MainDialog window;
    const tarrowind::SessionEnd sessionEnd(window);
    window.exec();
    return 0;
}
