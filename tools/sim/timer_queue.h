#pragma once

#include <chrono>
#include <cstdint>
#include <functional>
#include <optional>
#include <queue>
#include <vector>

namespace tarrowind::sim {

// Jobs due at a time point; jobs due at the same time run in the order they were added.
class TimerQueue {
public:
    using Clock = std::chrono::steady_clock;

    void add(Clock::time_point due, std::function<void()> job)
    {
        m_jobs.push(Entry{due, m_sequence++, std::move(job)});
    }

    std::optional<Clock::time_point> nextDue() const
    {
        if (m_jobs.empty()) return std::nullopt;
        return m_jobs.top().due;
    }

    // Runs every job due at or before now, including jobs those jobs add for now. Returns the count.
    std::size_t runDue(Clock::time_point now)
    {
        std::size_t ran = 0;
        while (!m_jobs.empty() && m_jobs.top().due <= now) {
            auto job = std::move(const_cast<Entry&>(m_jobs.top()).job);
            m_jobs.pop();
            job();
            ++ran;
        }
        return ran;
    }

    std::size_t size() const { return m_jobs.size(); }

private:
    struct Entry {
        Clock::time_point due;
        std::uint64_t sequence;
        std::function<void()> job;
        bool operator>(const Entry& other) const
        {
            return due != other.due ? due > other.due : sequence > other.sequence;
        }
    };
    std::priority_queue<Entry, std::vector<Entry>, std::greater<>> m_jobs;
    std::uint64_t m_sequence = 0;
};

} // namespace tarrowind::sim
