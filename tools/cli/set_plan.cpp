#include "tools/cli/set_plan.h"



#include <nlohmann/json.hpp>

#include "commands/terminal_text.h"
#include "discovery/address_text.h"
#include "tools/cli/action_outcome.h"
#include "tools/cli/input_file.h"

namespace tarrowind {
namespace {

void Json(std::ostream& out, const nlohmann::ordered_json& line)
{
    out << JsonTerminalSafe(line.dump(-1, ' ', false, nlohmann::json::error_handler_t::replace)) << '\n';
}

}  // namespace

std::string AddressNoteText(const AddressPlanRow& row)
{
    switch (row.note) {
    case AddressNote::Assigned:
        if (row.sharing > 1) {
            return "assigned (" + std::to_string(row.sharing) + " modules on " + FormatIp(row.oldIp) +
                   ": moved one after another)";
        }
        return row.newIp == row.oldIp ? "assigned (its address already)" : "assigned";
    case AddressNote::Unusable:
        return "not usable: " + DescribeAddressRule(row.rule, row.addressing) + "; left as it is";
    case AddressNote::CannotTellApart:
        return std::to_string(row.sharing) + " modules on " + FormatIp(row.oldIp) +
               " cannot be told apart without static neighbour (ARP) entries: left as it is";
    case AddressNote::InUse:
        return "in use by " + (row.usedBy != nullptr ? row.usedBy->macText : std::string("?")) +
               ": left as it is";
    case AddressNote::NotOffered:
        return "skipped: " + SkipReasonWords(*row.record, row.skip, CliAction::Set);
    }
    return "?";
}

void PrintAddressPlan(const AddressPlan& plan, bool json, std::ostream& out)
{
    if (!json) {
        out << "MODULE\tMAC\tOLD\tNEW\tNOTE\n";
    }
    for (const AddressPlanRow& row : plan.rows) {
        const std::string newIp = row.note == AddressNote::NotOffered ? "-" : FormatIp(row.newIp);
        if (json) {
            Json(out, {{"plan", true},
                       {"name", row.record->name},
                       {"mac", row.record->macText},
                       {"old", FormatIp(row.oldIp)},
                       {"new", newIp},
                       {"note", AddressNoteText(row)}});
        } else {
            out << TerminalColumn(row.record->name) << '\t' << TerminalColumn(row.record->macText) << '\t' << FormatIp(row.oldIp) << '\t'
                << newIp << '\t' << TerminalColumn(AddressNoteText(row)) << '\n';
        }
    }
    out.flush();
}

void PrintPlanMatch(const PlanMatch& match, bool json, std::ostream& out)
{
    if (!json) {
        out << "LINE\tMAC\tFIELD\tOLD\tNEW\n";
    }
    for (const PlannedChange& c : match.changes) {
        for (const FieldChange& f : c.fields) {
            if (json) {
                Json(out, {{"plan", true}, {"line", c.line}, {"mac", c.record->macText}, {"field", f.field},
                           {"old", f.oldText}, {"new", f.newText}});
            } else {
                out << c.line << '\t' << TerminalColumn(c.record->macText) << '\t' << f.field << '\t' << TerminalColumn(f.oldText) << " -> "
                    << TerminalColumn(f.newText) << '\n';
            }
        }
    }
    for (const PlanProblem& p : match.problems) {
        if (json) {
            Json(out, {{"problem", true}, {"line", p.line}, {"text", DescribePlanProblem(p)}});
        } else {
            out << "problem: " << TerminalColumn(DescribePlanProblem(p)) << '\n';
        }
    }
    if (!json && match.unchanged > 0) {
        out << match.unchanged << (match.unchanged == 1 ? " row changes" : " rows change") << " nothing\n";
    }
    out.flush();
}

int PlanProblemExitCode(const PlanMatch& match)
{
    int code = kExitDone;
    for (const PlanProblem& p : match.problems) {
        switch (p.kind) {
        case PlanProblemKind::NoMac:
        case PlanProblemKind::BadValue:
        case PlanProblemKind::MacTwice:
        case PlanProblemKind::AddressTwice:
            return kExitUsage;
        case PlanProblemKind::UnknownMac:
        case PlanProblemKind::AddressTaken:
        case PlanProblemKind::NotOffered:
        case PlanProblemKind::Unusable:
        case PlanProblemKind::CannotTellApart:
            code = kExitFailed;
            break;
        }
    }
    return code;
}

bool ReadPlanFile(const std::string& path, std::string& bytes, std::ostream& err)
{
    return ReadInputFile(path, kMaxPlanBytes, "plan", bytes, err);
}

}  // namespace tarrowind
