#include "module_state.h"

#include <algorithm>
#include <climits>

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
    if (m_initial.faults.neverReturn && m_restarts > 0) return false;
    return now >= m_silentUntil;
}

bool ModuleState::willReturn() const
{
    if (m_initial.faults.silent) return false;
    std::lock_guard guard(m_lock);
    return !(m_initial.faults.neverReturn && m_restarts > 0);
}

void ModuleState::restart(Clock::time_point now, const RestartChanges& changes)
{
    std::lock_guard guard(m_lock);
    if (changes.factoryDefault && m_initial.newKeyOnDefault) ++m_keyGeneration;
    if (changes.factoryDefault) {
        // Settings go back to the configured ones; the firmware written since stays.
        std::string version = std::move(m_current.version);
        std::optional<std::string> ethVersion = std::move(m_current.ethVersion);
        m_current = m_initial;
        m_current.version = std::move(version);
        m_current.ethVersion = std::move(ethVersion);
    }
    if (changes.network) {
        m_current.name = changes.network->name;
        m_current.dhcp = changes.network->dhcp;
        m_current.ip = changes.network->ip;
        m_current.mask = changes.network->mask;
        m_current.gateway = changes.network->gateway;
    }
    if (changes.web) m_current.web = *changes.web;
    if (changes.version) {
        m_current.version = *changes.version;
        // A configured network-part version is replaced by the image as well.
        if (m_current.ethVersion) m_current.ethVersion = *changes.version;
    }
    m_firmware.reset();
    m_silentUntil = now + m_restartSilence;
    ++m_restarts;
}

unsigned ModuleState::keyGeneration() const
{
    std::lock_guard guard(m_lock);
    return m_keyGeneration;
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

bool ModuleState::credentialsMatch(std::string_view user, std::string_view password) const
{
    std::lock_guard guard(m_lock);
    return m_current.web.user == user && m_current.web.password == password;
}

void ModuleState::firmwareReceived(Clock::time_point now, std::uint64_t bytes, std::optional<std::string> version)
{
    constexpr std::uint64_t kBlock = 1024;
    const std::uint64_t blocks = std::min<std::uint64_t>((bytes + kBlock - 1) / kBlock, INT32_MAX);
    std::lock_guard guard(m_lock);
    m_firmware = Firmware{static_cast<std::int32_t>(blocks), std::move(version), now};
}

FirmwareProgress ModuleState::firmwareProgress(Clock::time_point now) const
{
    std::lock_guard guard(m_lock);
    if (!m_firmware) return {};
    const std::int64_t total = m_firmware->blocks;
    if (m_initial.faults.stallProgress) return {0, static_cast<std::int32_t>(total)};
    const auto elapsed = std::chrono::duration_cast<std::chrono::milliseconds>(now - m_firmware->writingFrom).count();
    const std::int64_t span = m_current.firmwareWriteMs;
    std::int64_t finish = total;
    if (span > 0 && elapsed < span) finish = elapsed <= 0 ? 0 : total * elapsed / span;
    return {static_cast<std::int32_t>(finish), static_cast<std::int32_t>(total)};
}

std::optional<std::string> ModuleState::uploadedVersion() const
{
    std::lock_guard guard(m_lock);
    if (!m_firmware) return std::nullopt;
    return m_firmware->version;
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
