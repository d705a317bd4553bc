#include "commands/module_csv.h"

#include <algorithm>
#include <string_view>

#include "commands/firmware_glance.h"

namespace tarrowind {
namespace {

const std::string_view kUtf8Bom = "\xEF\xBB\xBF";

// Spreadsheets run a cell starting with one of these as a formula, some also after leading spaces or
// in the full-width forms an input method types; a leading apostrophe makes it text. A field that starts
// with an apostrophe gets one more, so that reading a plan back can always drop one.
bool NeedsGuard(std::string_view field)
{
    if (!field.empty() && std::string_view("=+-@\t\r\n'").find(field.front()) != std::string_view::npos) {
        return true;
    }
    field.remove_prefix(std::min(field.find_first_not_of(' '), field.size()));
    if (!field.empty() && std::string_view("=+-@").find(field.front()) != std::string_view::npos) {
        return true;
    }
    for (const std::string_view fullWidth : {"\xEF\xBC\x9D", "\xEF\xBC\x8B", "\xEF\xBC\x8D", "\xEF\xBC\xA0"}) {
        if (field.substr(0, fullWidth.size()) == fullWidth) {
            return true;
        }
    }
    return false;
}

std::string Guarded(std::string_view field)
{
    return NeedsGuard(field) ? "'" + std::string(field) : std::string(field);
}

}  // namespace

std::string CsvField(std::string_view raw)
{
    const std::string field = Guarded(raw);
    // Quoted whenever it holds a separator any spreadsheet may split on, so that "Door;=1+2" stays one
    // cell (whose start is guarded) where the semicolon is the list separator.
    if (field.find_first_of(",;\t\"\r\n") == std::string::npos) {
        return field;
    }
    std::string quoted = "\"";
    for (const char c : field) {
        quoted += c;
        if (c == '"') {
            quoted += '"';
        }
    }
    return quoted + '"';
}

namespace {

std::string TabField(std::string_view raw)
{
    std::string flat(raw);
    for (char& c : flat) {
        if (c == '\t' || c == '\r' || c == '\n') {
            c = ' ';
        }
    }
    return Guarded(flat);
}

template <typename Field>
void AppendLine(std::string& out, const ModuleRowTexts& r, char separator, std::string_view end, Field field)
{
    const std::string* const fields[] = {&r.model,   &r.version, &r.name,   &r.mac,      &r.ip,
                                         &r.mask,    &r.gateway, &r.adapter, &r.action,  &r.status,
                                         &r.progress, &r.kind,   &r.adapterIndex, &r.latestVersion,
                                         &r.updateAvailable};
    bool first = true;
    for (const std::string* f : fields) {
        if (!first) {
            out += separator;
        }
        first = false;
        out += field(*f);
    }
    out += end;
}

}  // namespace

const char* const kModuleCsvHeader =
    "Model,Version,Name,MAC,IP,Mask,Gateway,Adapter,Action,Status,Progress,Kind,Adapter index,Latest version,"
    "Update available";

const char* ModuleKindText(ModuleKind kind)
{
    switch (kind) {
    case ModuleKind::Web:
        return "Web";
    case ModuleKind::WebDactyl:
        return "WebDactyl";
    case ModuleKind::BinaryDactyl:
        return "BinaryDactyl";
    case ModuleKind::LongReply:
        return "LongReply";
    }
    return "Unknown";
}

std::string_view RecordColumnText(const DeviceRecord& r, RecordColumn column)
{
    switch (column) {
    case RecordColumn::Model: return r.model;
    case RecordColumn::Version: return r.version;
    case RecordColumn::Name: return r.name;
    case RecordColumn::Mac: return r.macText;
    case RecordColumn::Ip: return r.ipText;
    case RecordColumn::Mask: return r.maskText;
    case RecordColumn::Gateway: return r.gatewayText;
    case RecordColumn::Adapter: return r.routed ? std::string_view("Routed") : std::string_view(r.adapterName);
    }
    return {};
}

ModuleRowTexts RowTextsOf(const DeviceRecord& r, std::string actionText, std::string statusText)
{
    ModuleRowTexts t;
    std::string* const texts[] = {&t.model, &t.version, &t.name, &t.mac, &t.ip, &t.mask, &t.gateway, &t.adapter};
    for (std::size_t column = 0; column < std::size(texts); ++column) {
        *texts[column] = RecordColumnText(r, static_cast<RecordColumn>(column));
    }
    t.action = std::move(actionText);
    t.status = std::move(statusText);
    t.progress = std::to_string(r.progress);
    t.kind = ModuleKindText(r.kind);
    t.adapterIndex = std::to_string(r.adapterIndex);
    t.latestVersion = r.latestVersion;
    t.updateAvailable = UpdateAvailableText(r.firmwareStanding);
    return t;
}

std::string CsvDocument(const std::vector<ModuleRowTexts>& rows)
{
    std::string out(kUtf8Bom);
    out += kModuleCsvHeader;
    out += "\r\n";
    for (const ModuleRowTexts& r : rows) {
        AppendLine(out, r, ',', "\r\n", CsvField);
    }
    return out;
}

std::string TabSeparated(const std::vector<ModuleRowTexts>& rows, bool withHeader)
{
    std::string out;
    if (withHeader) {
        for (const char c : std::string_view(kModuleCsvHeader)) {
            out += c == ',' ? '\t' : c;
        }
        out += '\n';
    }
    for (const ModuleRowTexts& r : rows) {
        AppendLine(out, r, '\t', "\n", TabField);
    }
    return out;
}

}  // namespace tarrowind
