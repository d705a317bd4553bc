#include "tools/cli/search_command.h"

#include <mutex>

#include "discovery/controller_manager.h"
#include "tools/cli/device_output.h"

namespace tarrowind {
namespace {

class SearchPrinter final : public CoreEvents {
public:
    SearchPrinter(const SearchOptions& options, std::ostream& out) : m_options(options), m_out(out) {}

    void OnModuleFound(const DeviceRecord& record) override
    {
        m_out << (m_options.json ? DeviceJson(record) : DeviceLine(record)) << '\n' << std::flush;
        ++m_count;
    }

    int Count() const { return m_count; }

private:
    const SearchOptions& m_options;
    std::ostream& m_out;
    int m_count = 0;
};

}  // namespace

int RunSearchCommand(const SearchOptions& options, std::ostream& out, std::ostream& err)
{
    ManagerTiming timing;
    timing.searchMs = options.searchMs;
    CControllerManager manager(ManagerServices{}, timing);
    SearchPrinter printer(options, out);
    manager.Init(nullptr, &printer);
    manager.RemoveAllStaticArp();
    if (manager.EnumerateAdapters() != 1) {
        err << "tarrowind-cli: cannot read the network adapter table\n";
        return 1;
    }
    manager.Search();
    if (options.json) {
        out << "{\"count\":" << printer.Count() << "}\n";
    } else {
        out << printer.Count() << (printer.Count() == 1 ? " module" : " modules") << " found\n";
    }
    return 0;
}

}  // namespace tarrowind
