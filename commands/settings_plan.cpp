#include "commands/settings_plan.h"

#include <algorithm>
#include <array>
#include <cctype>
#include <cstdio>
#include <unordered_map>
#include <unordered_set>

#include "commands/address_plan.h"
#include "discovery/address_text.h"
#include "platform/ascii_case.h"
#include "platform/code_page.h"
#include "platform/utf8_sequence.h"

namespace tarrowind {
namespace {

enum Column { kMac, kName, kIp, kMask, kGateway, kDhcp, kColumns };
constexpr std::array<std::string_view, kColumns> kColumnNames = {"MAC", "Name", "IP", "Mask", "Gateway", "DHCP"};

// The separator the header line uses most, outside quotes; "," when it uses none.
char DetectSeparator(std::string_view text)
{
    std::size_t commas = 0, semicolons = 0, tabs = 0;
    bool quoted = false;
    for (const char c : text) {
        if (c == '"') {
            quoted = !quoted;
        } else if (!quoted && (c == '\n' || c == '\r')) {
            break;
        } else if (!quoted) {
            commas += c == ',' ? 1 : 0;
            semicolons += c == ';' ? 1 : 0;
            tabs += c == '\t' ? 1 : 0;
        }
    }
    if (tabs > commas && tabs >= semicolons) {
        return '\t';
    }
    return semicolons > commas ? ';' : ',';
}

struct Record {
    std::size_t line = 0;
    std::vector<std::string> fields;
};

// RFC 4180 records, lenient where spreadsheets are: LF, CRLF or a lone CR end a record, a quote inside an
// unquoted field is kept as it is. False for a quoted field that never ends, or for too many records.
bool SplitRecords(std::string_view text, char separator, std::vector<Record>& out, bool& tooMany)
{
    // Fields are taken in runs up to the next byte that ends one, not a byte at a time: plans run to
    // 100,000 rows.
    std::array<bool, 256> endsField{};
    for (const char c : {separator, '\n', '\r'}) {
        endsField[static_cast<unsigned char>(c)] = true;
    }
    std::size_t line = 1;
    std::size_t i = 0;
    tooMany = false;
    while (i < text.size()) {
        Record record;
        record.line = line;
        // Rows mostly have as many fields as the header.
        record.fields.reserve(out.empty() ? 8 : out.front().fields.size());
        std::string field;
        bool ended = false;
        while (!ended) {
            if (i < text.size() && text[i] == '"') {
                ++i;
                for (;;) {
                    const std::size_t quote = text.find('"', i);
                    if (quote == std::string_view::npos) {
                        return false;
                    }
                    const std::string_view run = text.substr(i, quote - i);
                    for (std::size_t nl = run.find('\n'); nl != std::string_view::npos; nl = run.find('\n', nl + 1)) {
                        ++line;
                    }
                    field.append(run);
                    i = quote + 1;
                    if (i < text.size() && text[i] == '"') {
                        field += '"';
                        ++i;
                        continue;
                    }
                    break;
                }
            }
            const std::size_t start = i;
            while (i < text.size() && !endsField[static_cast<unsigned char>(text[i])]) {
                ++i;
            }
            field.append(text.substr(start, i - start));
            record.fields.push_back(std::move(field));
            field.clear();
            if (i >= text.size()) {
                ended = true;
            } else if (text[i] == separator) {
                ++i;
            } else {
                i += text[i] == '\r' && i + 1 < text.size() && text[i + 1] == '\n' ? 2 : 1;
                ++line;
                ended = true;
            }
        }
        const bool blank = std::all_of(record.fields.begin(), record.fields.end(),
                                       [](const std::string& f) { return TrimmedField(f).empty(); });
        if (!blank) {
            // The header is one record more than the rows.
            if (out.size() > kMaxPlanRows) {
                tooMany = true;
                return true;
            }
            out.push_back(std::move(record));
        }
    }
    return true;
}

// The apostrophe the export puts before a field a spreadsheet would run as a formula.
std::string Unguarded(std::string_view field)
{
    if (!field.empty() && field.front() == '\'') {
        field.remove_prefix(1);
    }
    return std::string(field);
}

}  // namespace

std::string DescribePlanReadError(PlanReadError error)
{
    switch (error) {
    case PlanReadError::None:
        return "no error";
    case PlanReadError::TooLarge:
        return "the plan is larger than 16 MiB";
    case PlanReadError::TooManyRows:
        return "the plan has more than 100000 rows";
    case PlanReadError::NoHeader:
        return "the plan is empty: its first line must name the columns";
    case PlanReadError::NoMacColumn:
        return "the plan's first line names no MAC column";
    case PlanReadError::NoValueColumn:
        return "the plan's first line names none of the columns Name, IP, Mask, Gateway and DHCP";
    case PlanReadError::NotText:
        return "the plan is not UTF-8 text in CSV form (a quoted field never ends, or it holds bytes that are not UTF-8)";
    }
    return "unknown error";
}

SettingsPlan ReadSettingsPlan(std::string_view bytes)
{
    SettingsPlan plan;
    if (bytes.size() > kMaxPlanBytes) {
        plan.error = PlanReadError::TooLarge;
        return plan;
    }
    if (bytes.substr(0, 3) == "\xEF\xBB\xBF") {
        bytes.remove_prefix(3);
    }
    if (!IsValidUtf8(bytes)) {
        plan.error = PlanReadError::NotText;
        return plan;
    }
    std::vector<Record> records;
    bool tooMany = false;
    if (!SplitRecords(bytes, DetectSeparator(bytes), records, tooMany)) {
        plan.error = PlanReadError::NotText;
        return plan;
    }
    if (tooMany) {
        plan.error = PlanReadError::TooManyRows;
        return plan;
    }
    if (records.empty()) {
        plan.error = PlanReadError::NoHeader;
        return plan;
    }
    std::array<std::optional<std::size_t>, kColumns> at;
    const std::vector<std::string>& header = records.front().fields;
    for (std::size_t i = 0; i < header.size(); ++i) {
        for (std::size_t c = 0; c < kColumns; ++c) {
            if (!at[c] && EqualsIgnoringAsciiCase(TrimmedField(header[i]), kColumnNames[c])) {
                at[c] = i;
            }
        }
    }
    if (!at[kMac]) {
        plan.error = PlanReadError::NoMacColumn;
        return plan;
    }
    if (std::none_of(at.begin() + 1, at.end(), [](const auto& column) { return column.has_value(); })) {
        plan.error = PlanReadError::NoValueColumn;
        return plan;
    }
    plan.rows.reserve(records.size() - 1);
    for (std::size_t k = 1; k < records.size(); ++k) {
        const Record& record = records[k];
        const auto cell = [&](Column c) -> std::optional<std::string> {
            if (!at[c] || *at[c] >= record.fields.size()) {
                return std::nullopt;
            }
            // Names keep their spaces: a module's name may end in them.
            std::string value = Unguarded(c == kName ? std::string_view(record.fields[*at[c]])
                                                     : TrimmedField(record.fields[*at[c]]));
            if (c != kName) {
                value = std::string(TrimmedField(value));
            }
            if (value.empty()) {
                return std::nullopt;
            }
            return value;
        };
        PlanRow row;
        row.line = record.line;
        row.mac = cell(kMac).value_or("");
        row.name = cell(kName);
        row.ip = cell(kIp);
        row.mask = cell(kMask);
        row.gateway = cell(kGateway);
        row.dhcp = cell(kDhcp);
        plan.rows.push_back(std::move(row));
    }
    return plan;
}

namespace {

// The 48 bits of twelve hex digits, with ":", "-" or "." between groups or none; nothing if not. Plans
// are matched on the value, so that a row costs no text.
std::optional<std::uint64_t> MacValue(std::string_view text)
{
    std::uint64_t value = 0;
    int digits = 0;
    for (const char c : text) {
        const auto u = static_cast<unsigned char>(c);
        if (std::isxdigit(u) != 0) {
            if (++digits > 12) {
                return std::nullopt;
            }
            value = value << 4 | static_cast<std::uint64_t>(std::isdigit(u) != 0 ? u - '0' : std::toupper(u) - 'A' + 10);
        } else if (c != ':' && c != '-' && c != '.') {
            return std::nullopt;
        }
    }
    if (digits != 12) {
        return std::nullopt;
    }
    return value;
}

// "XX:XX:XX:XX:XX:XX".
std::string MacText(std::uint64_t value)
{
    char text[18];
    std::snprintf(text, sizeof text, "%02X:%02X:%02X:%02X:%02X:%02X", static_cast<unsigned>(value >> 40 & 0xFF),
                  static_cast<unsigned>(value >> 32 & 0xFF), static_cast<unsigned>(value >> 24 & 0xFF),
                  static_cast<unsigned>(value >> 16 & 0xFF), static_cast<unsigned>(value >> 8 & 0xFF),
                  static_cast<unsigned>(value & 0xFF));
    return text;
}

std::optional<bool> ParseSwitch(std::string_view text)
{
    for (const std::string_view on : {"on", "yes", "1", "true"}) {
        if (EqualsIgnoringAsciiCase(text, on)) {
            return true;
        }
    }
    for (const std::string_view off : {"off", "no", "0", "false"}) {
        if (EqualsIgnoringAsciiCase(text, off)) {
            return false;
        }
    }
    return std::nullopt;
}

// A row matched to its module, before the address checks.
struct Candidate {
    std::size_t row = 0;
    DeviceRecord* record = nullptr;
    PlannedChange planned;
    bool rejected = false;
};

}  // namespace

std::string DescribePlanProblem(const PlanProblem& p)
{
    std::string text = "line " + std::to_string(p.line) + ": ";
    switch (p.kind) {
    case PlanProblemKind::NoMac:
        return text + "the row gives no MAC";
    case PlanProblemKind::BadValue:
        if (p.field == "MAC") {
            return text + "\"" + p.value + "\" is not a hardware address";
        }
        return text + p.field + " \"" + p.value + "\" " +
               (p.field == "Name"   ? "is longer than a reader takes (16 bytes)"
                : p.field == "Mask" ? "is not a subnet mask"
                : p.field == "DHCP" ? "is not on or off"
                : p.field == "IP"   ? "is not a host address on its subnet"
                                    : "is not an address on the module's subnet");
    case PlanProblemKind::UnknownMac:
        return text + "no listed module has the MAC " + p.mac;
    case PlanProblemKind::MacTwice:
        return text + "the MAC " + p.mac + " is also given on line " + std::to_string(p.otherLine);
    case PlanProblemKind::AddressTwice:
        return text + "the address " + p.value + " is also given on line " + std::to_string(p.otherLine);
    case PlanProblemKind::AddressTaken:
        return text + "the address " + p.value + " is that of " + (p.other != nullptr ? p.other->macText : "?") +
               " (a module is only given a free address, so that two never meet on one)";
    case PlanProblemKind::Unusable:
        return text + "the module " + p.mac + ": " + DescribeAddressRule(p.rule, p.addressing);
    case PlanProblemKind::CannotTellApart:
        return text + "the module " + p.mac + " shares its address with another, and without static neighbour (ARP) "
                      "entries this user cannot reach one of them alone";
    case PlanProblemKind::NotOffered:
        switch (p.skip) {
        case SkipReason::NotEligible:
            return text + "the module " + p.mac + " is not logged in or is busy";
        case SkipReason::KindNotOffered:
            return text + "the module " + p.mac + " takes no settings";
        default:
            return text + "the module " + p.mac + "'s model and firmware take no settings";
        }
    }
    return text + "problem";
}

std::vector<std::pair<DeviceRecord*, SettingsChange>> PlanMatch::Changes() const
{
    std::vector<std::pair<DeviceRecord*, SettingsChange>> out;
    for (const PlannedChange& c : changes) {
        out.emplace_back(c.record, c.change);
    }
    return out;
}

std::vector<DeviceRecord*> ModulesNamedBy(const SettingsPlan& plan, const std::vector<DeviceRecord*>& listed)
{
    std::unordered_set<std::uint64_t> named;
    for (const PlanRow& row : plan.rows) {
        if (const auto mac = MacValue(row.mac)) {
            named.insert(*mac);
        }
    }
    std::vector<DeviceRecord*> out;
    for (DeviceRecord* r : listed) {
        const auto mac = r != nullptr ? MacValue(r->macText) : std::nullopt;
        if (mac && named.count(*mac) != 0) {
            out.push_back(r);
        }
    }
    return out;
}

PlanMatch MatchSettingsPlan(const SettingsPlan& plan, const std::vector<DeviceRecord*>& listed, bool neighbourEntries)
{
    PlanMatch match;
    std::unordered_map<std::uint64_t, DeviceRecord*> byMac;
    for (DeviceRecord* r : listed) {
        if (const auto mac = r != nullptr ? MacValue(r->macText) : std::nullopt) {
            byMac.try_emplace(*mac, r);
        }
    }
    // Rows are mostly in line order already; the few problems found later are sorted in at the end.
    match.problems.reserve(plan.rows.size());
    const auto problem = [&match](PlanProblemKind kind, const PlanRow& row, std::string mac) -> PlanProblem& {
        PlanProblem p;
        p.kind = kind;
        p.line = row.line;
        p.mac = std::move(mac);
        match.problems.push_back(std::move(p));
        return match.problems.back();
    };
    const auto badValue = [&](const PlanRow& row, const std::string& mac, const char* field, const std::string& value) {
        PlanProblem& p = problem(PlanProblemKind::BadValue, row, mac);
        p.field = field;
        p.value = value;
    };

    // The first two lines of each MAC, to tell rows that give a MAC twice and where the other one is.
    struct MacLines {
        std::size_t count = 0, first = 0, second = 0;
    };
    std::unordered_map<std::uint64_t, MacLines> macLines;
    std::vector<std::optional<std::uint64_t>> rowMacs;
    rowMacs.reserve(plan.rows.size());
    for (const PlanRow& row : plan.rows) {
        const std::optional<std::uint64_t>& mac = rowMacs.emplace_back(MacValue(row.mac));
        if (mac) {
            MacLines& m = macLines[*mac];
            if (m.count == 0) {
                m.first = row.line;
            } else if (m.count == 1) {
                m.second = row.line;
            }
            ++m.count;
        }
    }

    std::vector<Candidate> candidates;
    for (std::size_t i = 0; i < plan.rows.size(); ++i) {
        const PlanRow& row = plan.rows[i];
        if (row.mac.empty()) {
            problem(PlanProblemKind::NoMac, row, "");
            continue;
        }
        if (!rowMacs[i]) {
            badValue(row, row.mac, "MAC", row.mac);
            continue;
        }
        const std::uint64_t mac = *rowMacs[i];
        if (const MacLines& lines = macLines[mac]; lines.count > 1) {
            problem(PlanProblemKind::MacTwice, row, MacText(mac)).otherLine =
                row.line == lines.first ? lines.second : lines.first;
            continue;
        }
        const auto found = byMac.find(mac);
        if (found == byMac.end()) {
            problem(PlanProblemKind::UnknownMac, row, MacText(mac));
            continue;
        }
        DeviceRecord& r = *found->second;
        if (const auto reason = SettingNotOfferedReason(r)) {
            problem(PlanProblemKind::NotOffered, row, r.macText).skip = *reason;
            continue;
        }

        const std::size_t before = match.problems.size();
        const std::uint32_t oldMask = ParseIpText(r.maskText);
        const std::uint32_t oldGateway = ParseIpText(r.gatewayText);
        // Plain values and flags: optionals of these trip GCC's maybe-uninitialized check.
        std::uint32_t ip = 0, mask = 0, gateway = 0;
        bool hasIp = false, hasMask = false, hasGateway = false;
        std::optional<bool> dhcp;
        const auto read = [](const std::optional<std::string>& text, std::uint32_t& value) {
            const auto parsed = ParseDottedAddress(*text);
            value = parsed.value_or(Ipv4Address()).NetworkOrder();
            return parsed.has_value();
        };
        if (row.mask) {
            hasMask = read(row.mask, mask) && IsSubnetMask(NetworkToHostOrder(mask));
            if (!hasMask) {
                badValue(row, r.macText, "Mask", *row.mask);
            }
        }
        const std::uint32_t finalMask = NetworkToHostOrder(hasMask ? mask : oldMask);
        if (row.ip) {
            hasIp = read(row.ip, ip);
            if (!hasIp || !IsHostAddress(NetworkToHostOrder(ip), finalMask)) {
                badValue(row, r.macText, "IP", *row.ip);
            }
        }
        const std::uint32_t finalIp = NetworkToHostOrder(hasIp ? ip : r.ip);
        if (row.gateway) {
            hasGateway = read(row.gateway, gateway);
            const std::uint32_t g = NetworkToHostOrder(gateway);
            // 0.0.0.0 is a module without a gateway.
            if (!hasGateway || (g != 0 && ((g & finalMask) != (finalIp & finalMask) ||
                                           !IsHostAddress(g, finalMask) || g == finalIp))) {
                badValue(row, r.macText, "Gateway", *row.gateway);
            }
        }
        if (row.dhcp) {
            dhcp = ParseSwitch(*row.dhcp);
            if (!dhcp) {
                badValue(row, r.macText, "DHCP", *row.dhcp);
            }
        }
        if (row.name && r.kind == ModuleKind::BinaryDactyl && Utf8ToAnsi(*row.name).size() > 16) {
            badValue(row, r.macText, "Name", *row.name);
        }
        if (match.problems.size() != before) {
            continue;
        }

        Candidate c;
        c.row = i;
        c.record = &r;
        PlannedChange& planned = c.planned;
        planned.record = &r;
        planned.line = row.line;
        const auto field = [&](const char* name, std::string oldText, std::string newText) {
            planned.fields.push_back({name, std::move(oldText), std::move(newText)});
        };
        if (row.name && *row.name != r.name) {
            planned.change.name = *row.name;
            field("Name", r.name, *row.name);
        }
        if (dhcp && *dhcp != (r.dhcp != 0)) {
            planned.change.dhcp = *dhcp;
            field("DHCP", r.dhcp != 0 ? "on" : "off", *dhcp ? "on" : "off");
        }
        if (hasIp && ip != r.ip) {
            planned.change.ip = ip;
            field("IP", r.ipText, FormatIp(ip));
        }
        if (hasMask && mask != oldMask) {
            planned.change.mask = mask;
            field("Mask", r.maskText, FormatIp(mask));
        }
        if (hasGateway && gateway != oldGateway) {
            planned.change.gateway = gateway;
            field("Gateway", r.gatewayText, FormatIp(gateway));
        }
        if (planned.change.Empty()) {
            ++match.unchanged;
            continue;
        }
        candidates.push_back(std::move(c));
    }

    // Two rows giving one new address: neither is taken.
    std::unordered_map<std::uint32_t, std::vector<std::size_t>> byNewIp;
    for (std::size_t k = 0; k < candidates.size(); ++k) {
        if (candidates[k].planned.change.ip) {
            byNewIp[*candidates[k].planned.change.ip].push_back(k);
        }
    }
    for (auto& [address, ks] : byNewIp) {
        if (ks.size() < 2) {
            continue;
        }
        for (std::size_t j = 0; j < ks.size(); ++j) {
            Candidate& c = candidates[ks[j]];
            c.rejected = true;
            PlanProblem& p = problem(PlanProblemKind::AddressTwice, plan.rows[c.row], c.record->macText);
            p.value = FormatIp(address);
            p.otherLine = candidates[ks[j == 0 ? 1 : 0]].planned.line;
        }
    }

    // A new address must be free now: held by another listed module, also one this plan moves away,
    // the two would meet on it while the queue runs both settings (as the address assignment holds).
    std::unordered_multimap<std::uint32_t, const DeviceRecord*> heldBy;
    for (const DeviceRecord* r : listed) {
        if (r != nullptr) {
            heldBy.emplace(r->ip, r);
        }
    }
    for (Candidate& c : candidates) {
        if (c.rejected || !c.planned.change.ip) {
            continue;
        }
        const std::uint32_t address = *c.planned.change.ip;
        const DeviceRecord* holder = nullptr;
        const auto [from, to] = heldBy.equal_range(address);
        for (auto it = from; it != to && holder == nullptr; ++it) {
            holder = it->second != c.record ? it->second : nullptr;
        }
        if (holder == nullptr) {
            continue;
        }
        c.rejected = true;
        PlanProblem& p = problem(PlanProblemKind::AddressTaken, plan.rows[c.row], c.record->macText);
        p.value = FormatIp(address);
        p.other = holder;
    }

    // What each module is left with, kept values included, keeps the address rules; a gateway is no
    // module's address, now or after the plan.
    std::unordered_set<std::uint32_t> newAddresses;
    for (const Candidate& c : candidates) {
        if (c.planned.change.ip) {
            newAddresses.insert(*c.planned.change.ip);
        }
    }
    for (Candidate& c : candidates) {
        if (c.rejected) {
            continue;
        }
        const DeviceRecord* self = c.record;
        const std::uint32_t ownNew = c.planned.change.ip.value_or(0);
        if (ChangesAddressing(c.planned.change)) {
            const Addressing after = AddressingAfter(*c.record, c.planned.change);
            const AddressRule rule = CheckAddressing(after, [&](std::uint32_t address) {
                const auto [from, to] = heldBy.equal_range(address);
                for (auto it = from; it != to; ++it) {
                    if (it->second != self) {
                        return true;
                    }
                }
                return address != ownNew && newAddresses.count(address) != 0;
            });
            if (rule != AddressRule::Usable) {
                c.rejected = true;
                PlanProblem& p = problem(PlanProblemKind::Unusable, plan.rows[c.row], c.record->macText);
                p.rule = rule;
                p.addressing = after;
                p.field = rule == AddressRule::MaskNotMask || rule == AddressRule::MaskTooNarrow ? "Mask"
                          : rule == AddressRule::AddressNotHost                                  ? "IP"
                                                                                                 : "Gateway";
                p.value = FormatIp(p.field == "Mask" ? after.mask : p.field == "IP" ? after.ip : after.gateway);
                continue;
            }
        }
        if (heldBy.count(c.record->ip) > 1 && !ReachableAlone(*c.record, neighbourEntries)) {
            c.rejected = true;
            problem(PlanProblemKind::CannotTellApart, plan.rows[c.row], c.record->macText);
        }
    }

    for (Candidate& c : candidates) {
        if (!c.rejected) {
            match.changes.push_back(std::move(c.planned));
        }
    }
    const auto byLine = [](const PlanProblem& a, const PlanProblem& b) { return a.line < b.line; };
    if (!std::is_sorted(match.problems.begin(), match.problems.end(), byLine)) {
        std::stable_sort(match.problems.begin(), match.problems.end(), byLine);
    }
    return match;
}

}  // namespace tarrowind
