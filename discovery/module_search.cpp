// Making and ending the search, and its thread; the search pass itself is in search.cpp, the requery in
// requery.cpp, a reader's settings broadcast in dactyl_settings.cpp.
#include "discovery/module_search.h"

#include <system_error>

namespace tarrowind {
namespace {

NeighbourRegistry* RegistryFor(const SearchServices& services)
{
    if (services.neighbourRegistry != nullptr) {
        return services.neighbourRegistry;
    }
    return services.neighbours == &NeighbourTable::System() ? NeighbourEntryFile::System() : nullptr;
}

}  // namespace

ModuleSearch::ModuleSearch(const SearchServices& services, SearchTiming timing)
    : m_services(services),
      m_timing(timing),
      m_arp(*services.neighbours,
            [this] {
                if (CoreEvents* window = m_progressWindow.load()) {
                    window->OnNeighbourEntriesRefused();
                }
            },
            RegistryFor(services))
{
}

ModuleSearch::~ModuleSearch()
{
    Stop();
    WaitForSearch();
    m_arp.RemoveAllStaticArp();
}

void ModuleSearch::Init(CoreEvents* progressWindow, CoreEvents* deviceWindow)
{
    m_progressWindow = progressWindow;
    m_deviceWindow = deviceWindow;
}

bool ModuleSearch::StartSearch()
{
    if (m_searchRunning.exchange(true)) {
        return false;
    }
    // The previous thread has sent its last event, so joining it waits for nothing but its return.
    WaitForSearch();
    m_stop = false;
    m_wake.Reset();
    try {
        m_searchThread = std::thread(&ModuleSearch::SearchThread, this);
    } catch (const std::system_error&) {
        m_searchRunning = false;
        return false;
    }
    return true;
}

bool ModuleSearch::SetSearchRanges(AddressRanges ranges, std::uint32_t probesPerSecond)
{
    if (!IsValidProbeRate(probesPerSecond) || !AreProbeableRanges(ranges)) {
        return false;
    }
    m_ranges = std::move(ranges);
    m_probeRate = probesPerSecond;
    return true;
}

void ModuleSearch::Stop()
{
    m_stop = true;
    ++m_stopCount;
    m_wake.Signal();
}

void ModuleSearch::Close()
{
    m_closed = true;
    Stop();
}

void ModuleSearch::WaitForSearch()
{
    if (m_searchThread.joinable()) {
        m_searchThread.join();
    }
}

int ModuleSearch::EnumerateAdapters()
{
    m_adapters.clear();
    const auto table = m_services.adapters->Read();
    if (!table) {
        return 0;
    }
    m_adapters = BuildAdapterList(*table);
    return 1;
}

void ModuleSearch::SendSearchState(SearchState state, int seconds)
{
    if (CoreEvents* window = m_progressWindow.load()) {
        window->OnSearchState(state, seconds);
    }
}

void ModuleSearch::SearchThread()
{
    // Whole seconds, rounded up so that the first countdown value matches.
    const std::uint32_t duration = SearchDurationMs();
    SendSearchState(SearchState::Started, static_cast<int>(m_ranges.Empty() ? duration / 1000 : (duration + 999) / 1000));
    m_arp.RemoveAllStaticArp();
    if (EnumerateAdapters() == 1) {
        Search();
    }
    SendSearchState(SearchState::Ended, 0);
    m_searchRunning = false;
}

}  // namespace tarrowind
