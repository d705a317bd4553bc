#include "operations/known_modules.h"

#include <chrono>
#include <cstdio>
#include <ctime>
#include <vector>

#include "platform/ascii_case.h"
#include "platform/private_file.h"

namespace tarrowind {
namespace {

constexpr std::string_view kHeader =
    "# Tarrowind: modules met. MAC, 1 for HTTPS, SHA-256 of the key (hex) or -, first seen (UTC)\n";

int HexValue(char c)
{
    if (c >= '0' && c <= '9') {
        return c - '0';
    }
    if (c >= 'a' && c <= 'f') {
        return c - 'a' + 10;
    }
    if (c >= 'A' && c <= 'F') {
        return c - 'A' + 10;
    }
    return -1;
}

std::optional<KeyFingerprint> ParseFingerprint(std::string_view hex)
{
    KeyFingerprint key{};
    if (hex.size() != key.size() * 2) {
        return std::nullopt;
    }
    for (std::size_t i = 0; i < key.size(); ++i) {
        const int high = HexValue(hex[2 * i]);
        const int low = HexValue(hex[2 * i + 1]);
        if (high < 0 || low < 0) {
            return std::nullopt;
        }
        key[i] = static_cast<std::uint8_t>(high << 4 | low);
    }
    return key;
}

// "YYYY-MM-DDTHH:MM:SSZ", digits where digits belong.
bool IsUtcTime(std::string_view text)
{
    constexpr std::string_view kForm = "0000-00-00T00:00:00Z";
    if (text.size() != kForm.size()) {
        return false;
    }
    for (std::size_t i = 0; i < kForm.size(); ++i) {
        if (kForm[i] == '0' ? (text[i] < '0' || text[i] > '9') : text[i] != kForm[i]) {
            return false;
        }
    }
    return true;
}

// A first contact: an entry that stands is kept, except that a key now beats plain HTTP before (nothing
// to protect was lost).
void AddMet(KnownModuleMap& modules, const std::string& mac, const KnownModule& met)
{
    const auto [it, added] = modules.emplace(mac, met);
    if (!added && !it->second.https && met.https) {
        it->second = met;
    }
}

std::vector<std::string_view> Fields(std::string_view line)
{
    std::vector<std::string_view> fields;
    std::size_t at = 0;
    while (at < line.size()) {
        const std::size_t start = line.find_first_not_of(" \t", at);
        if (start == std::string_view::npos) {
            break;
        }
        const std::size_t end = std::min(line.find_first_of(" \t", start), line.size());
        fields.push_back(line.substr(start, end - start));
        at = end;
    }
    return fields;
}

}  // namespace

std::string NormalisedMac(std::string_view text)
{
    if (text.size() != 17) {
        return {};
    }
    std::string out;
    for (std::size_t i = 0; i < text.size(); ++i) {
        const char c = text[i];
        if (i % 3 == 2) {
            if (c != ':' && c != '-') {
                return {};
            }
            out += ':';
        } else if (HexValue(c) < 0) {
            return {};
        } else {
            out += UpperAscii(c);
        }
    }
    return out;
}

std::string MacKey(const std::array<std::uint8_t, 6>& mac)
{
    char text[18];
    std::snprintf(text, sizeof text, "%02X:%02X:%02X:%02X:%02X:%02X", mac[0], mac[1], mac[2], mac[3], mac[4], mac[5]);
    return text;
}

std::string FingerprintHex(const KeyFingerprint& key)
{
    static constexpr char kDigits[] = "0123456789abcdef";
    std::string out;
    for (const std::uint8_t b : key) {
        out += kDigits[b >> 4];
        out += kDigits[b & 0xF];
    }
    return out;
}

std::string UtcNow()
{
    const std::time_t now = std::chrono::system_clock::to_time_t(std::chrono::system_clock::now());
    std::tm parts{};
#ifdef _WIN32
    gmtime_s(&parts, &now);
#else
    gmtime_r(&now, &parts);
#endif
    char text[32];
    std::strftime(text, sizeof text, "%Y-%m-%dT%H:%M:%SZ", &parts);
    return text;
}

KnownModuleMap ParseKnownModules(std::string_view text)
{
    KnownModuleMap modules;
    while (!text.empty()) {
        const std::size_t end = std::min(text.find('\n'), text.size());
        std::string_view line = text.substr(0, end);
        text.remove_prefix(std::min(end + 1, text.size()));
        if (!line.empty() && line.back() == '\r') {
            line.remove_suffix(1);
        }
        const std::vector<std::string_view> f = Fields(line);
        if (f.size() != 4 || f[0].front() == '#') {
            continue;
        }
        const std::string mac = NormalisedMac(f[0]);
        KnownModule module;
        module.https = f[1] == "1";
        const std::optional<KeyFingerprint> key = module.https ? ParseFingerprint(f[2]) : std::nullopt;
        const bool keyAsFlagSays = module.https ? key.has_value() : f[1] == "0" && f[2] == "-";
        if (mac.empty() || !keyAsFlagSays || !IsUtcTime(f[3])) {
            continue;
        }
        if (key) {
            module.key = *key;
        }
        module.firstSeen = std::string(f[3]);
        modules.emplace(mac, module);  // the first line of a MAC stands
    }
    return modules;
}

std::string FormatKnownModules(const KnownModuleMap& modules)
{
    std::string out(kHeader);
    for (const auto& [mac, m] : modules) {
        out += mac + (m.https ? " 1 " + FingerprintHex(m.key) : std::string(" 0 -")) + " " + m.firstSeen + "\n";
    }
    return out;
}

KnownModules::KnownModules(std::string path) : m_path(std::move(path)) {}

std::string KnownModules::UserFilePath()
{
    const std::optional<std::string> folder = UserConfigFolder();
#ifdef _WIN32
    return folder ? *folder + "\\known-modules" : std::string();
#else
    return folder ? *folder + "/known-modules" : std::string();
#endif
}

void KnownModules::RefreshLocked()
{
    if (m_path.empty()) {
        return;
    }
    std::error_code error;
    const std::filesystem::path path = std::filesystem::u8path(m_path);
    const auto stamp = std::filesystem::last_write_time(path, error);
    if (error) {
        return;  // no file yet: what this process learned stands
    }
    const std::uintmax_t size = std::filesystem::file_size(path, error);
    if (m_readStamp && *m_readStamp == stamp && m_readSize == size) {
        return;
    }
    if (const std::optional<std::string> text = ReadPrivateFile(m_path)) {
        KnownModuleMap read = ParseKnownModules(*text);
        // Entries this process holds that the file lost (a failed write) are kept.
        read.insert(m_modules.begin(), m_modules.end());
        m_modules = std::move(read);
        m_readStamp = stamp;
        m_readSize = error ? 0 : size;
    }
}

void KnownModules::Update(const std::function<void(KnownModuleMap&)>& change)
{
    // Called with m_writeLock and m_lock held.
    change(m_modules);
    if (m_path.empty()) {
        return;
    }
    const bool written = ChangeLockedFile(m_path, [&](const std::string& present) -> std::optional<std::string> {
        KnownModuleMap merged = ParseKnownModules(present);
        change(merged);
        for (const auto& entry : m_modules) {
            merged.insert(entry);  // what only this process knew (a write that failed before)
        }
        m_modules = merged;
        return FormatKnownModules(merged);
    });
    if (written) {
        m_readStamp.reset();  // read again: another process may have written right after
    }
}

void KnownModules::WritePending()
{
    // First contacts are written in batches: a worker that waited here finds its entry written already.
    const std::lock_guard<std::mutex> write(m_writeLock);
    KnownModuleMap batch;
    {
        const std::lock_guard<std::mutex> lock(m_lock);
        batch.swap(m_pending);
    }
    if (batch.empty()) {
        return;
    }
    KnownModuleMap merged;
    const bool written = ChangeLockedFile(m_path, [&](const std::string& present) -> std::optional<std::string> {
        merged = ParseKnownModules(present);
        for (const auto& [mac, met] : batch) {
            AddMet(merged, mac, met);
        }
        return FormatKnownModules(merged);
    });
    const std::lock_guard<std::mutex> lock(m_lock);
    if (!written) {
        // Kept for the next write rather than lost: the file may be busy for a moment.
        for (const auto& [mac, met] : batch) {
            AddMet(m_pending, mac, met);
        }
        return;
    }
    for (const auto& [mac, module] : merged) {
        m_modules[mac] = module;  // where another process met a module first, its entry stands
    }
    m_readStamp.reset();
}

std::optional<KnownModule> KnownModules::Find(const std::string& mac)
{
    const std::lock_guard<std::mutex> lock(m_lock);
    RefreshLocked();
    const auto it = m_modules.find(mac);
    return it == m_modules.end() ? std::nullopt : std::optional<KnownModule>(it->second);
}

KnownModule KnownModules::Learn(const std::string& mac, bool https, const std::optional<KeyFingerprint>& key)
{
    KnownModule met;
    met.https = https && key.has_value();
    met.key = key.value_or(KeyFingerprint{});
    met.firstSeen = UtcNow();
    {
        const std::lock_guard<std::mutex> lock(m_lock);
        RefreshLocked();
        AddMet(m_modules, mac, met);
        if (!m_path.empty()) {
            AddMet(m_pending, mac, met);
        }
    }
    WritePending();
    const std::lock_guard<std::mutex> lock(m_lock);
    return m_modules.at(mac);
}

void KnownModules::NoteRefused(const std::string& mac, const std::optional<KeyFingerprint>& shown)
{
    const std::lock_guard<std::mutex> lock(m_lock);
    m_refused[mac] = shown;
}

void KnownModules::ClearRefused(const std::string& mac)
{
    const std::lock_guard<std::mutex> lock(m_lock);
    m_refused.erase(mac);
}

std::optional<std::optional<KeyFingerprint>> KnownModules::Refused(const std::string& mac) const
{
    const std::lock_guard<std::mutex> lock(m_lock);
    const auto it = m_refused.find(mac);
    return it == m_refused.end() ? std::nullopt : std::optional<std::optional<KeyFingerprint>>(it->second);
}

bool KnownModules::TakeRefused(const std::string& mac)
{
    std::optional<KeyFingerprint> shown;
    {
        const std::lock_guard<std::mutex> lock(m_lock);
        const auto it = m_refused.find(mac);
        if (it == m_refused.end()) {
            return false;
        }
        shown = it->second;
    }
    Replace(mac, shown.has_value(), shown);
    return true;
}

void KnownModules::AllowChange(const std::string& mac)
{
    const std::lock_guard<std::mutex> lock(m_lock);
    m_allowed.insert(mac);
}

bool KnownModules::ChangeAllowed(const std::string& mac) const
{
    const std::lock_guard<std::mutex> lock(m_lock);
    return m_allowed.count(mac) != 0;
}

void KnownModules::WithdrawAllowance(const std::string& mac)
{
    const std::lock_guard<std::mutex> lock(m_lock);
    m_allowed.erase(mac);
}

void KnownModules::Replace(const std::string& mac, bool https, const std::optional<KeyFingerprint>& key)
{
    std::optional<KnownModule> before;
    KnownModule after;
    after.https = https && key.has_value();
    after.key = key.value_or(KeyFingerprint{});
    after.firstSeen = UtcNow();
    {
        const std::lock_guard<std::mutex> write(m_writeLock);
        const std::lock_guard<std::mutex> lock(m_lock);
        RefreshLocked();
        if (const auto it = m_modules.find(mac); it != m_modules.end()) {
            before = it->second;
        }
        m_refused.erase(mac);
        Update([&](KnownModuleMap& modules) { modules[mac] = after; });
    }
    if (onReplaced) {
        onReplaced(mac, before, after);
    }
}

}  // namespace tarrowind
