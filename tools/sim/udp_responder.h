#pragma once

#include "module_state.h"
#include "reply_encoder.h"

#include <chrono>
#include <span>
#include <string>
#include <variant>
#include <vector>

namespace tarrowind::sim {

inline constexpr std::uint16_t kTextProbePort = 10002;
inline constexpr std::uint16_t kBinaryPort = 23;

struct SendFrame {
    std::string link;
    Bytes frame;
};

struct StartRestart {
    ModulePtr module;
    RestartChanges changes;
};

// Something to do after a delay; actions with the same delay run in the order given.
struct ScheduledAction {
    std::chrono::milliseconds delay{0};
    using Action = std::variant<SendFrame, StartRestart>;
    Action action;
};

struct FrameOutcome {
    bool handled = false;     // an IPv4/UDP datagram or an ARP packet
    std::string description;  // one line for the verbose log
    std::vector<ScheduledAction> actions;
};

// Plays every module of a link: decides who answers a received frame and builds the answers.
// Keeps no state of its own; module state lives in the ModuleTable.
class UdpResponder {
public:
    explicit UdpResponder(const ModuleTable& table) : m_table(table) {}

    // checkUdpChecksum: false for frames whose checksum the sender left to offload.
    FrameOutcome handleFrame(const std::string& link, std::span<const std::uint8_t> frame,
                             Clock::time_point now, bool checkUdpChecksum = true) const;

private:
    const ModuleTable& m_table;
};

} // namespace tarrowind::sim
