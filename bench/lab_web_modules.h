#pragma once

#include <unistd.h>

#include <cstdio>
#include <cstdlib>
#include <fstream>
#include <memory>
#include <string>
#include <vector>

#include "operations/controller_manager.h"

#include "tests/e2e/lab_simulator.h"

namespace tarrowind::bench {

// `count` web modules (at most 750) over HTTPS with unique addresses: 250 on each lab subnet, then
// the off-subnet range reached through the limited broadcast. Each writes an uploaded image in
// `firmwareWriteMs`.
inline nlohmann::json WebModules(int count, int firmwareWriteMs)
{
    nlohmann::json modules = nlohmann::json::array();
    for (int i = 0; i < count; ++i) {
        char mac[18];
        std::snprintf(mac, sizeof mac, "02:43:00:00:%02X:%02X", (i >> 8) & 0xFF, i & 0xFF);
        const char* nets[] = {"192.0.2.", "198.51.100.", "203.0.113."};
        const char* links[] = {"sim0", "sim1", "sim0"};
        const std::string ip = nets[i / 250] + std::to_string(2 + i % 250);
        nlohmann::json m = lab::Module("Web", mac, ip, links[i / 250]);
        m["useHttps"] = true;
        m["firmwareWriteMs"] = firmwareWriteMs;
        modules.push_back(m);
    }
    return {{"restartSilenceMs", 500}, {"modules", modules}};
}

// The version the simulated modules report once they run the image of WriteFirmware.
inline constexpr const char* kNewVersion = "V4.00R1";

// A firmware image the simulator recognises, in a new file under /tmp: its version marker, then filler
// to `mib` MiB. Empty when it could not be written.
inline std::string WriteFirmware(int mib)
{
    char path[] = "/tmp/tarrowind-bench-fw-XXXXXX";
    const int fd = ::mkstemp(path);
    std::string image = std::string("SIMFW version=") + kNewVersion + "\n";
    image.resize(static_cast<std::size_t>(mib) << 20, 'f');
    const bool written = fd >= 0 && ::write(fd, image.data(), image.size()) == static_cast<ssize_t>(image.size());
    if (fd >= 0) {
        ::close(fd);
    }
    return written ? path : std::string();
}

// Keeps a copy of every module found, for the queue to act on.
class Keeper final : public CoreEvents {
public:
    void OnModuleFound(const DeviceRecord& r) override { records.push_back(std::make_unique<DeviceRecord>(r)); }
    std::vector<std::unique_ptr<DeviceRecord>> records;
};

// Queues a login as admin/admin for every record; the caller waits for the queue or samples it.
inline void QueueLogins(CControllerManager& manager, std::vector<std::unique_ptr<DeviceRecord>>& records)
{
    for (auto& r : records) {
        r->userName = "admin";
        r->password = "admin";
        r->action = kActionSetLogin;
        r->status = kStatusQueueLogin;
        manager.QueueJob(r.get());
    }
}

// A value in KiB from a "Name:   123 kB" line of /proc/self/status, or -1.
inline long ProcStatusKib(const std::string& name)
{
    std::ifstream status("/proc/self/status");
    std::string line;
    while (std::getline(status, line)) {
        if (line.rfind(name + ":", 0) == 0) {
            return std::atol(line.c_str() + name.size() + 1);
        }
    }
    return -1;
}

}  // namespace tarrowind::bench
