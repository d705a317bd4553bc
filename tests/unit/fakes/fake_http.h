#pragma once

#include <functional>
#include <mutex>
#include <string>
#include <vector>

#include "platform/http_client.h"

namespace tarrowind::testing {

// One request as the client saw it; `request.body` and `request.bodySource` are cleared, the bytes
// of either are in `body`.
struct RecordedRequest {
    HttpRequest request;
    std::string body;
};

// An HTTP layer in memory: records every request and answers from `handler`. Workers call it at once
// from many threads, so the record is guarded; the handler runs outside the lock and must be
// thread-safe itself. Set the handler before any worker starts.
class FakeHttpClient final : public HttpClient {
public:
    using Handler = std::function<HttpResult(const HttpRequest&)>;

    HttpResult Perform(const HttpRequest& request) override;
    std::vector<RecordedRequest> Requests() const;
    std::vector<std::string> Paths() const;

    Handler handler;  // empty: status 200 with an empty body

private:
    mutable std::mutex m_lock;
    std::vector<RecordedRequest> m_requests;
};

}  // namespace tarrowind::testing
