#include "ui/window_state.h"

#include <QSettings>

namespace tarrowind {
namespace {

QSettings Store()
{
    return QSettings(QSettings::NativeFormat, QSettings::UserScope, QStringLiteral("Tarrowind"),
                     QStringLiteral("tarrowind"));
}

}  // namespace

WindowState WindowState::Load()
{
    const QSettings store = Store();
    WindowState state;
    state.geometry = store.value(QStringLiteral("window/geometry")).toByteArray();
    state.columns = store.value(QStringLiteral("list/columns")).toByteArray();
    state.lastLoginId = store.value(QStringLiteral("login/lastId")).toString();
    state.searchRanges = store.value(QStringLiteral("search/ranges")).toString();
    state.probeRate = store.value(QStringLiteral("search/probeRate")).toUInt();
    return state;
}

void WindowState::Save() const
{
    QSettings store = Store();
    store.setValue(QStringLiteral("window/geometry"), geometry);
    store.setValue(QStringLiteral("list/columns"), columns);
    store.setValue(QStringLiteral("login/lastId"), lastLoginId);
    store.setValue(QStringLiteral("search/ranges"), searchRanges);
    store.setValue(QStringLiteral("search/probeRate"), probeRate);
}

}  // namespace tarrowind
