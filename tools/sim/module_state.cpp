#include "module_state.h"

namespace tarrowind::sim {

ModuleState::ModuleState(ModuleConfig config, std::chrono::milliseconds restartSilence)
    : m_initial(std::move(config)), m_restartSilence(restartSilence), m_current(m_initial)
{
}

bool ModuleState::isOnLink(const std::string& link) const
{
    return link == m_initial.link || (!m_initial.faults.alsoOnLink.empty() && link == m_initial.faults.alsoOnLink);
}

ModuleConfig ModuleState::snapshot() const
{
    std::lock_guard guard(m_lock);
    return m_current;
}

Ipv4Address ModuleState::ip() const
{
    std::lock_guard guard(m_lock);
    return m_current.ip;
}

Ipv4Address ModuleState::mask() const
{
    std::lock_guard guard(m_lock);
    return m_current.mask;
}

bool ModuleState::answering(Clock::time_point now) const
{
    if (m_initial.faults.silent) return false;
    std::lock_guard guard(m_lock);
    return now >= m_silentUntil;
}

void ModuleState::restart(Clock::time_point now, const RestartChanges& changes)
{
    std::lock_guard guard(m_lock);
    if (changes.factoryDefault) m_current = m_initial;
    if (changes.network) {
        m_current.name = changes.network->name;
        m_current.dhcp = changes.network->dhcp;
        m_current.ip = changes.network->ip;
        m_current.mask = changes.network->mask;
        m_current.gateway = changes.network->gateway;
    }
    if (changes.version) m_current.version = *changes.version;
    m_silentUntil = now + m_restartSilence;
    ++m_restarts;
}

unsigned ModuleState::restartCount() const
{
    std::lock_guard guard(m_lock);
    return m_restarts;
}

Clock::time_point ModuleState::silentUntil() const
{
    std::lock_guard guard(m_lock);
    return m_silentUntil;
}

void ModuleTable::load(const SimConfig& config)
{
    auto generation = std::make_shared<ModuleGeneration>();
    const std::chrono::milliseconds silence(config.restartSilenceMs);
    generation->all.reserve(config.modules.size());
    for (const auto& module : config.modules) {
        auto state = std::make_shared<ModuleState>(module, silence);
        generation->byLink[module.link].push_back(state);
        if (!module.faults.alsoOnLink.empty()) generation->byLink[module.faults.alsoOnLink].push_back(state);
        generation->all.push_back(std::move(state));
    }
    std::lock_guard guard(m_lock);
    m_generation = std::move(generation);
}

std::shared_ptr<const ModuleGeneration> ModuleTable::current() const
{
    std::lock_guard guard(m_lock);
    return m_generation;
}

std::size_t ModuleTable::size() const
{
    return current()->all.size();
}

} // namespace tarrowind::sim
