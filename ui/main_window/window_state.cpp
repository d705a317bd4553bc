#include "ui/main_window/window_state.h"

#include <QSettings>

#include <memory>

#include "platform/private_file.h"

namespace tarrowind {
namespace {

// One INI file in the user's folder of the program on every system (never the registry), beside the
// program's other lasting files; none when the system tells no such folder.
std::unique_ptr<QSettings> Store()
{
    const std::optional<std::string> folder = UserConfigFolder();
    if (!folder) {
        return nullptr;
    }
    return std::make_unique<QSettings>(QString::fromStdString(*folder) + QStringLiteral("/tarrowind.conf"),
                                       QSettings::IniFormat);
}

}  // namespace

WindowState WindowState::Load()
{
    WindowState state;
    const std::unique_ptr<QSettings> store = Store();
    if (!store) {
        return state;
    }
    state.geometry = store->value(QStringLiteral("window/geometry")).toByteArray();
    state.columns = store->value(QStringLiteral("list/columns")).toByteArray();
    state.lastLoginId = store->value(QStringLiteral("login/lastId")).toString();
    state.searchRanges = store->value(QStringLiteral("search/ranges")).toString();
    state.probeRate = store->value(QStringLiteral("search/probeRate")).toUInt();
    state.firmwareFolder = store->value(QStringLiteral("firmware/lastFolder")).toString();
    return state;
}

void WindowState::Save() const
{
    const std::unique_ptr<QSettings> store = Store();
    if (!store) {
        return;
    }
    store->setValue(QStringLiteral("window/geometry"), geometry);
    store->setValue(QStringLiteral("list/columns"), columns);
    store->setValue(QStringLiteral("login/lastId"), lastLoginId);
    store->setValue(QStringLiteral("search/ranges"), searchRanges);
    store->setValue(QStringLiteral("search/probeRate"), probeRate);
    store->setValue(QStringLiteral("firmware/lastFolder"), firmwareFolder);
}

}  // namespace tarrowind
