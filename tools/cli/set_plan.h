#pragma once

#include <ostream>
#include <string>

#include "commands/address_plan.h"
#include "commands/settings_plan.h"

namespace tarrowind {

// The note of a row of an address plan: "assigned", "in use by MAC (name)" or "skipped: why".
std::string AddressNoteText(const AddressPlanRow& row);
// The plan, one line per module: name, MAC, old address, new address, note (or one JSON object each).
void PrintAddressPlan(const AddressPlan& plan, bool json, std::ostream& out);

// Every change of a settings plan (one line per field, old -> new) and every problem.
void PrintPlanMatch(const PlanMatch& match, bool json, std::ostream& out);
// 0 without problems; 2 when a row of the file itself is wrong (no MAC, a bad value, a MAC or an
// address given twice); else 1 (modules not found, not offered, or an address they keep).
int PlanProblemExitCode(const PlanMatch& match);

// Reads a plan file of at most kMaxPlanBytes; false with a message on `err` otherwise.
bool ReadPlanFile(const std::string& path, std::string& bytes, std::ostream& err);

}  // namespace tarrowind
