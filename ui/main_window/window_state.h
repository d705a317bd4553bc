#pragma once

#include <QByteArray>
#include <QString>

namespace tarrowind {

// What the window remembers between runs, in the user's configuration ($XDG_CONFIG_HOME/Tarrowind/
// tarrowind.conf, %APPDATA%\Tarrowind\tarrowind.conf on Windows): its size and place, the list's column
// widths and order, and the last login ID, the last address ranges searched and their pace, the last firmware folder. Never a password.
class WindowState {
public:
    QByteArray geometry;
    QByteArray columns;
    QString lastLoginId;
    QString searchRanges;
    unsigned probeRate = 0;  // 0: none remembered
    QString firmwareFolder;  // where the firmware dialog last took a file

    static WindowState Load();
    void Save() const;
};

}  // namespace tarrowind
