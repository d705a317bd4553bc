#pragma once

#include <cstdint>
#include <string>

#include "operations/http_target.h"
#include "platform/http_client.h"
#include "platform/secret_wipe.h"

namespace tarrowind {

// One web-server module's whole configuration, as its configuration page publishes it and its
// configuration form takes it, plus the reboot and default flags and the login the module is to take.
// Addresses are 32-bit values in network byte order.
struct ModuleSettings {
    HttpTarget target;
    std::int32_t reboot = 0;
    std::int32_t restoreDefault = 0;
    std::string machineName;
    std::int32_t dhcp = 0;
    std::uint32_t ip = 0;
    std::uint32_t mask = 0;
    std::uint32_t gateway = 0;
    std::uint32_t dns = 0;
    std::uint32_t sendToServer = 0;
    std::uint32_t serverAddress = 0;
    std::string myName;
    std::uint32_t ddnsType = 0;
    std::string hostName;
    std::string ddnsUserName;
    std::string ddnsPassword;
    std::string des1;
    std::string des2;
    std::string des3;
    std::uint32_t devicePort = 0;
    std::string macText;            // shown, not posted
    std::string ethVersion;         // shown, not posted
    std::string controllerVersion;  // shown, not posted
    std::string newLoginName;
    std::string newAdminPassword;

    ~ModuleSettings()
    {
        WipeString(newAdminPassword);
        WipeString(ddnsPassword);
    }
};

// Reads the configuration page into `settings`. On a refusal (kHttpCredentialsRefused for the password,
// kHttpRefused for the page), or a page without every
// value the form posts back (kHttpPageIncomplete: an empty answer, a busy or login page), no field is
// touched, so nothing half read can be posted.
std::int32_t ReadModuleSettings(ModuleSettings* settings, HttpClient& http);
// The status of a settings action that failed with `result`: unreadable when the page was incomplete
// (nothing was written), failed otherwise.
std::int32_t SettingsFailureStatus(std::int32_t result);
// Posts the configuration, or only the reboot or default request when a flag is set.
std::int32_t WriteModuleSettings(const ModuleSettings* settings, HttpClient& http);
// The form body WriteModuleSettings posts.
std::string ModuleSettingsForm(const ModuleSettings& settings);
// Fills the fields from the text of a configuration page; false when a value the form posts back was
// missing or unreadable (the fields are filled all the same).
bool ParseModuleSettingsPage(std::string_view page, ModuleSettings& settings);

}  // namespace tarrowind
