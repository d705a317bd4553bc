#pragma once

#include <QByteArray>
#include <QString>

namespace tarrowind {

// What the window remembers between runs, in the user's configuration
// ($XDG_CONFIG_HOME/Tarrowind/tarrowind.conf): its size and place, the list's column widths and order, and
// the last login ID. Never a password.
class WindowState {
public:
    QByteArray geometry;
    QByteArray columns;
    QString lastLoginId;

    static WindowState Load();
    void Save() const;
};

}  // namespace tarrowind
