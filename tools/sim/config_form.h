#pragma once

#include "form_parser.h"
#include "module_state.h"

#include <string>
#include <vector>

namespace tarrowind::sim {

enum class FormAction { Reboot, FactoryDefault, Settings };

struct FormOutcome {
    FormAction action = FormAction::Settings;
    RestartChanges changes;            // what the restart that follows the answer applies
    std::vector<std::string> ignored;  // fields whose values could not be read; they keep theirs
};

// What a post to the configuration form makes the module do. Default=1 wins over Reboot=1; both
// leave every other field unread. Otherwise each field present replaces the current value, and
// the login changes only with LoginChange=1.
FormOutcome applyConfigForm(const FormFields& form, const ModuleConfig& current);

} // namespace tarrowind::sim
