#include "tools/cli/search_command.h"

#include <map>
#include <mutex>

#include "commands/firmware_glance.h"
#include "commands/module_csv.h"
#include "commands/row_filter.h"
#include "commands/terminal_text.h"
#include "discovery/address_text.h"
#include "operations/controller_manager.h"
#include "operations/firmware_folder.h"
#include "platform/process_environment.h"
#include "tools/cli/device_output.h"
#include "tools/cli/status_names.h"

namespace tarrowind {
namespace {

class SearchPrinter final : public CoreEvents {
public:
    SearchPrinter(const SearchOptions& options, const FirmwareGlance& firmware, std::ostream& out, std::ostream& err)
        : m_options(options), m_firmware(firmware), m_out(out), m_err(err), m_filter(options.filter)
    {
    }

    void OnModuleFound(const DeviceRecord& found) override
    {
        const DeviceRecord record = WithFirmware(found);
        const std::string status = StatusName(record.status);
        if (!m_filter.Matches(RowFilter::Haystack({record.name, record.model, record.version, record.macText,
                                                   record.ipText, record.adapterName, status}))) {
            return;
        }
        if (!record.addressConfirmed) {
            // In every output form: whoever reads the list learns why a listed module is never acted on.
            m_err << "tarrowind-cli: " << TerminalSafe(record.macText) << ": this reply came from "
                  << FormatIp(record.replyFrom) << " but names " << TerminalSafe(record.ipText)
                  << "; no password or static entry will be sent to it\n";
        }
        m_shown.emplace(record.macText, m_rows.size());
        if (m_options.csv) {
            m_rows.push_back(RowTextsOf(record, ActionName(record.action), status));
        } else {
            m_out << (m_options.json ? DeviceJson(record) : DeviceLine(record)) << '\n' << std::flush;
        }
        ++m_count;
    }

    // The confirmed reply of a module listed unconfirmed: its CSV row is replaced; a line or JSON object
    // already printed is followed by the confirmed one, which stands for the module from then on.
    void OnModuleConfirmed(const DeviceRecord& confirmed) override
    {
        const DeviceRecord record = WithFirmware(confirmed);
        const auto row = m_shown.find(record.macText);
        if (row == m_shown.end()) {
            return;
        }
        if (m_options.csv) {
            m_rows[row->second] = RowTextsOf(record, ActionName(record.action), StatusName(record.status));
        } else {
            m_out << (m_options.json ? DeviceJson(record) : DeviceLine(record)) << '\n' << std::flush;
        }
    }

    int Count() const { return m_count; }
    const std::vector<ModuleRowTexts>& Rows() const { return m_rows; }

private:
    // A search logs in nowhere: every web module is matched against the list by the version it replied.
    DeviceRecord WithFirmware(const DeviceRecord& record) const
    {
        DeviceRecord copy = record;
        m_firmware.Apply(copy, false);
        return copy;
    }

    const SearchOptions& m_options;
    const FirmwareGlance& m_firmware;
    std::ostream& m_out;
    std::ostream& m_err;
    RowFilter m_filter;
    int m_count = 0;
    std::vector<ModuleRowTexts> m_rows;
    std::map<std::string, std::size_t> m_shown;  // MAC text to its CSV row
};

}  // namespace

bool ParseRangeOptions(const std::vector<std::string>& items, AddressRanges& ranges, std::ostream& err)
{
    ranges = {};
    if (items.empty()) {
        return true;
    }
    std::string text;
    for (const std::string& item : items) {
        text += item + ",";
    }
    const RangeParse parse = ParseAddressRanges(text, ranges);
    if (parse.error != RangeError::None) {
        err << "tarrowind-cli: --range: " << DescribeRangeError(parse) << '\n';
        return false;
    }
    return true;
}

int RunSearchCommand(const SearchOptions& options, std::ostream& out, std::ostream& err)
{
    AddressRanges ranges;
    if (!ParseRangeOptions(options.ranges, ranges, err)) {
        return 2;
    }
    ManagerTiming timing;
    timing.searchMs = options.searchMs;
    CControllerManager manager(ManagerServices{}, timing);
    if (!manager.SetSearchRanges(std::move(ranges), options.rate)) {
        err << "tarrowind-cli: the ranges or the probe rate are out of bounds\n";
        return 2;
    }
    std::string folder = options.firmwareFolder ? *options.firmwareFolder : LoadFirmwareFolder();
    if (!folder.empty() && folder.back() != PathSeparator()) {
        folder += PathSeparator();
    }
    const FirmwareGlance firmware(folder);  // the list read once for the whole search
    SearchPrinter printer(options, firmware, out, err);
    manager.Init(nullptr, &printer);
    manager.RemoveAllStaticArp();
    if (manager.EnumerateAdapters() != 1) {
        err << "tarrowind-cli: cannot read the network adapter table\n";
        return 1;
    }
    manager.Search();
    if (options.csv) {
        out << CsvDocument(printer.Rows()) << std::flush;
        err << printer.Count() << (printer.Count() == 1 ? " module" : " modules") << " found\n";
    } else if (options.json) {
        out << "{\"count\":" << printer.Count() << "}\n";
    } else {
        out << printer.Count() << (printer.Count() == 1 ? " module" : " modules") << " found\n";
    }
    return 0;
}

}  // namespace tarrowind
