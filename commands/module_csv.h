#pragma once

#include <string>
#include <string_view>
#include <vector>

#include "discovery/device_record.h"

namespace tarrowind {

// One row of the device list as text, in the order of the exported columns.
struct ModuleRowTexts {
    std::string model, version, name, mac, ip, mask, gateway, adapter, action, status, progress, kind, adapterIndex;
    // Last, so that files read by column position before these existed still read.
    std::string latestVersion, updateAvailable;
};

// "Model,Version,Name,MAC,IP,Mask,Gateway,Adapter,Action,Status,Progress,Kind,Adapter index,Latest version,
// Update available".
extern const char* const kModuleCsvHeader;

// "Web", "WebDactyl", "BinaryDactyl", "LongReply".
const char* ModuleKindText(ModuleKind kind);

// The columns of a module's row that show a field of its record as text, in the order of the list and
// of the export.
enum class RecordColumn { Model, Version, Name, Mac, Ip, Mask, Gateway, Adapter };
// That column's text; the adapter of a module reached through a router is "Routed".
std::string_view RecordColumnText(const DeviceRecord& record, RecordColumn column);

// The record's texts; action and status are the caller's, as it shows them. The firmware columns come
// from the record's standing: its latest version and "yes", "no", "not listed" or nothing.
ModuleRowTexts RowTextsOf(const DeviceRecord& record, std::string actionText, std::string statusText);

// One CSV field: a field that a spreadsheet would take for a formula (starting with =, +, -, @, tab, CR
// or LF, with =, +, - or @ after leading spaces, or with their full-width forms) or that starts with an
// apostrophe gets a leading apostrophe; then it is quoted when it holds a comma, semicolon, tab, quote
// or line break.
std::string CsvField(std::string_view raw);

// A CSV file: UTF-8 byte-order mark, the header line, one line per row, CRLF line ends, each field as
// CsvField writes it.
std::string CsvDocument(const std::vector<ModuleRowTexts>& rows);

// Tab-separated lines for the clipboard, the header line first when asked; tabs and line breaks inside
// a field become spaces, and the formula guard is that of CsvDocument.
std::string TabSeparated(const std::vector<ModuleRowTexts>& rows, bool withHeader = false);

}  // namespace tarrowind
