#pragma once

#include "module_state.h"
#include "sim_config.h"

#include <string>
#include <string_view>

namespace tarrowind::sim {

// The texts a module's web server answers with.

// The settings page: twenty script variables, one a line, from the module as it is now.
std::string settingsPage(const ModuleConfig& module);

// What a module too busy to serve its settings answers: the page cut after its first variables, so a
// reader that does not check finds a name and an address but nothing else.
std::string busySettingsPage(const ModuleConfig& module);

// The firmware progress page; withTotal false leaves the total line out.
std::string progressPage(FirmwareProgress progress, bool withTotal);

// A small page for a request that was taken (login check, form post, upload, reboot).
std::string acceptedPage(std::string_view what);

// The body and status of a refusal; the client recognises the body text only.
std::string refusalPage(Refusal refusal);
int refusalStatus(Refusal refusal);

} // namespace tarrowind::sim
