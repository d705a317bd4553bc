#pragma once

#include <atomic>

#include "platform/http_client.h"

namespace tarrowind {

// Hands every request to another client, cut short once `stop` is set: a request not started yet is
// not sent, and a running one ends at the layer's next look at it.
class StoppableHttpClient final : public HttpClient {
public:
    StoppableHttpClient(HttpClient& inner, const std::atomic<bool>& stop) : m_inner(inner), m_stop(stop) {}

    HttpResult Perform(const HttpRequest& request) override
    {
        if (m_stop.load()) {
            return HttpResult{kAborted, 0, {}};
        }
        HttpRequest stoppable = request;
        stoppable.abandon = &m_stop;
        return m_inner.Perform(stoppable);
    }

private:
    HttpClient& m_inner;
    const std::atomic<bool>& m_stop;
};

}  // namespace tarrowind
