#pragma once

#include <cstddef>
#include <cstdint>
#include <optional>
#include <string>
#include <string_view>
#include <utility>
#include <vector>

#include "commands/address_rules.h"
#include "commands/module_commands.h"
#include "operations/settings_change.h"

namespace tarrowind {

constexpr std::size_t kMaxPlanBytes = 16u * 1024u * 1024u;
constexpr std::size_t kMaxPlanRows = 100000;

enum class PlanReadError {
    None,
    TooLarge,     // more than kMaxPlanBytes
    TooManyRows,  // more than kMaxPlanRows rows below the header
    NoHeader,     // the file is empty
    NoMacColumn,  // the header names no MAC column
    NoValueColumn,  // the header names none of Name, IP, Mask, Gateway, DHCP
    NotText,      // an unterminated quoted field, or bytes that are not UTF-8
};
std::string DescribePlanReadError(PlanReadError error);

// One row of a plan as read; a field absent or empty is not set.
struct PlanRow {
    std::size_t line = 0;  // 1-based line of the file where the row starts
    std::string mac;       // as written, trimmed
    std::optional<std::string> name, ip, mask, gateway, dhcp;
};

struct SettingsPlan {
    PlanReadError error = PlanReadError::None;
    std::vector<PlanRow> rows;
};

// Reads a plan: the exported list as a spreadsheet saved it (byte-order mark or not, CRLF or LF, fields
// quoted with "" inside, separated by ",", ";" or tab as the header line shows). Header names are matched
// without regard to case; columns other than MAC, Name, IP, Mask, Gateway and DHCP are ignored.
SettingsPlan ReadSettingsPlan(std::string_view bytes);

enum class PlanProblemKind {
    NoMac,         // the row has no MAC
    BadValue,      // `field` holds `value`, which it cannot take
    UnknownMac,    // no listed module has the MAC
    MacTwice,      // another row (`otherLine`) gives the same MAC
    AddressTwice,  // another row (`otherLine`) gives the same address
    AddressTaken,  // the address is now that of `other`, another listed module (also one the plan moves)
    NotOffered,    // the settings command is not offered for the module (`skip`)
    Unusable,      // the addressing the row leaves the module with breaks `rule` (`field` and `value` name
                   // the value at fault, which may be one the row keeps)
    CannotTellApart,  // the module shares its address with another and cannot be reached alone
};

struct PlanProblem {
    PlanProblemKind kind = PlanProblemKind::BadValue;
    std::size_t line = 0;
    std::string mac;
    std::string field;  // for BadValue: "MAC", "Name", "IP", "Mask", "Gateway" or "DHCP"
    std::string value;
    std::size_t otherLine = 0;
    const DeviceRecord* other = nullptr;
    SkipReason skip = SkipReason::NotEligible;
    AddressRule rule = AddressRule::Usable;
    Addressing addressing;  // for Unusable
};
// One English sentence, starting with the line number.
std::string DescribePlanProblem(const PlanProblem& problem);

struct FieldChange {
    std::string field;  // "Name", "DHCP", "IP", "Mask", "Gateway"
    std::string oldText, newText;
};

struct PlannedChange {
    DeviceRecord* record = nullptr;
    std::size_t line = 0;
    std::vector<FieldChange> fields;  // only the fields that change
    SettingsChange change;
};

struct PlanMatch {
    std::vector<PlannedChange> changes;  // in the order of the plan's rows; rows that change nothing are left out
    std::vector<PlanProblem> problems;   // rows with a problem are in no change
    std::size_t unchanged = 0;           // rows that matched a module and change nothing

    std::vector<std::pair<DeviceRecord*, SettingsChange>> Changes() const;
};

// The listed records some row of the plan names by MAC, in list order: those to log in before matching.
std::vector<DeviceRecord*> ModulesNamedBy(const SettingsPlan& plan, const std::vector<DeviceRecord*>& listed);

// Matches the plan's rows to the listed records by MAC text (case and separators "-" or ":" aside).
// `neighbourEntries`: whether this process may make static neighbour entries, without which modules
// sharing one address cannot be told apart (see PlanAddresses).
PlanMatch MatchSettingsPlan(const SettingsPlan& plan, const std::vector<DeviceRecord*>& listed,
                            bool neighbourEntries = true);

}  // namespace tarrowind
