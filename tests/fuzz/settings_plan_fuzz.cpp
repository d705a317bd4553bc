// Any file as a settings plan: read, matched to a fixed list, and any text as a name through the export
// and back.
#include <cstddef>
#include <cstdint>
#include <map>
#include <set>
#include <string_view>

#include "commands/module_csv.h"
#include "commands/settings_plan.h"
#include "discovery/address_text.h"
#include "tests/fuzz/fuzz_check.h"

namespace {

using namespace tarrowind;

std::vector<DeviceRecord>& Listed()
{
    static std::vector<DeviceRecord> records = [] {
        std::vector<DeviceRecord> out;
        for (int i = 0; i < 6; ++i) {
            DeviceRecord r;
            r.kind = i == 5 ? ModuleKind::BinaryDactyl : ModuleKind::Web;
            r.macText = "02:00:00:00:00:0" + std::to_string(i);
            r.ipText = "192.0.2." + std::to_string(1 + i);
            r.ip = ParseIpText(r.ipText);
            r.maskText = "255.255.255.0";
            r.gatewayText = "192.0.2.254";
            r.model = "QT-DC410";
            r.status = i == 4 ? kStatusNone : kStatusLoginSuccessfully;
            out.push_back(r);
        }
        return out;
    }();
    return records;
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size)
{
    const std::string_view bytes(reinterpret_cast<const char*>(data), size);
    const SettingsPlan plan = ReadSettingsPlan(bytes);
    FuzzCheck(plan.error == PlanReadError::None || plan.rows.empty());
    FuzzCheck(plan.rows.size() <= kMaxPlanRows);

    std::vector<DeviceRecord*> listed;
    for (DeviceRecord& r : Listed()) {
        listed.push_back(&r);
    }
    const PlanMatch match = MatchSettingsPlan(plan, listed);
    // Every row either changes a module, changes nothing, or has its problem named; never two of these.
    std::set<std::size_t> problemLines;
    for (const PlanProblem& p : match.problems) {
        problemLines.insert(p.line);
    }
    std::size_t clean = 0;
    for (const PlanRow& row : plan.rows) {
        clean += problemLines.count(row.line) == 0 ? 1 : 0;
    }
    FuzzCheck(clean == match.changes.size() + match.unchanged);
    std::set<const DeviceRecord*> changed;
    std::map<std::uint32_t, const DeviceRecord*> finalAddress;
    for (const DeviceRecord* r : listed) {
        finalAddress[r->ip] = r;
    }
    for (const PlannedChange& c : match.changes) {
        FuzzCheck(!c.change.Empty() && !c.fields.empty() && problemLines.count(c.line) == 0);
        FuzzCheck(changed.insert(c.record).second);  // one change per module
        // What the module is left with keeps the address rules, kept values included.
        FuzzCheck(!ChangesAddressing(c.change) ||
                  CheckAddressing(AddressingAfter(*c.record, c.change), {}) == AddressRule::Usable);
        if (c.change.ip) {
            finalAddress.erase(c.record->ip);
            // Never an address another module has now.
            for (const DeviceRecord* r : listed) {
                FuzzCheck(r == c.record || r->ip != *c.change.ip);
            }
        }
    }
    for (const PlannedChange& c : match.changes) {
        if (c.change.ip) {
            // No two modules end on one address.
            FuzzCheck(finalAddress.emplace(*c.change.ip, c.record).second);
        }
    }
    for (const PlanProblem& p : match.problems) {
        FuzzCheck(!DescribePlanProblem(p).empty());
    }

    // The export quotes and guards any name so that reading it back gives the name again. Names are
    // short; a longer start of the input would only repeat the same branches.
    ModuleRowTexts row;
    row.mac = "02:00:00:00:00:01";
    row.name = std::string(bytes.substr(0, 256));
    const SettingsPlan back = ReadSettingsPlan(CsvDocument({row}));
    if (back.error == PlanReadError::None) {
        FuzzCheck(back.rows.size() == 1);
        FuzzCheck(back.rows[0].name.value_or("") == row.name);
    }
    return 0;
}
