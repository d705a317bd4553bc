#include "tests/unit/fakes/fake_http.h"

namespace tarrowind::testing {

HttpResult FakeHttpClient::Perform(const HttpRequest& request)
{
    RecordedRequest recorded{request, std::string(request.body)};
    recorded.request.body = {};  // the caller's buffer dies after the call
    {
        std::lock_guard hold(m_lock);
        m_requests.push_back(std::move(recorded));
    }
    return handler ? handler(request) : HttpResult{0, 200, {}};
}

std::vector<RecordedRequest> FakeHttpClient::Requests() const
{
    std::lock_guard hold(m_lock);
    return m_requests;
}

std::vector<std::string> FakeHttpClient::Paths() const
{
    std::lock_guard hold(m_lock);
    std::vector<std::string> paths;
    for (const RecordedRequest& r : m_requests) {
        paths.push_back(r.request.path);
    }
    return paths;
}

}  // namespace tarrowind::testing
