#include "tools/cli/device_output.h"

#include <nlohmann/json.hpp>

#include "commands/module_csv.h"
#include "commands/terminal_text.h"
#include "discovery/address_text.h"

namespace tarrowind {

std::string DeviceLine(const DeviceRecord& r)
{
    std::string line;
    for (const std::string& field :
         {std::string(ModuleKindText(r.kind)), r.model, r.version, r.name, r.macText, r.ipText, r.maskText, r.gatewayText,
          r.adapterName, std::to_string(r.adapterIndex), std::to_string(r.useHttps), std::to_string(r.dhcp),
          std::to_string(r.status)}) {
        if (!line.empty()) {
            line += '\t';
        }
        // A tab or line break in a module's own name must not shift the columns, nor may any other
        // control reach the terminal.
        std::string flat = field;
        for (char& c : flat) {
            c = (c == '\t' || c == '\n' || c == '\r') ? ' ' : c;
        }
        line += TerminalSafe(flat);
    }
    return line;
}

std::string DeviceJson(const DeviceRecord& r)
{
    const nlohmann::ordered_json object = {
        {"kind", ModuleKindText(r.kind)},  {"model", r.model},
        {"version", r.version},      {"name", r.name},
        {"mac", r.macText},          {"ip", r.ipText},
        {"mask", r.maskText},        {"gateway", r.gatewayText},
        {"adapter", r.adapterName},  {"adapterIndex", r.adapterIndex},
        {"useHttps", r.useHttps},    {"dhcp", r.dhcp},
        {"status", r.status},
        {"addressConfirmed", r.addressConfirmed},
        {"replyFrom", r.replyFrom == 0 ? std::string() : FormatIp(r.replyFrom)},
        {"latestVersion", r.latestVersion},
        {"updateAvailable", r.firmwareStanding == FirmwareStanding::UpdateAvailable ? nlohmann::ordered_json(true)
                            : r.firmwareStanding == FirmwareStanding::UpToDate ? nlohmann::ordered_json(false)
                                                                                : nlohmann::ordered_json()},
    };
    return JsonTerminalSafe(object.dump(-1, ' ', false, nlohmann::json::error_handler_t::replace));
}

}  // namespace tarrowind
