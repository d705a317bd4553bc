#include "tests/unit/fakes/fake_http.h"

#include <algorithm>

namespace tarrowind::testing {

HttpResult FakeHttpClient::Perform(const HttpRequest& request)
{
    RecordedRequest recorded{request, std::string(request.body)};
    recorded.request.body = {};  // the caller's buffer dies after the call
    recorded.request.bodySource = nullptr;
    bool sourceFailed = false;
    if (request.hasBody && request.bodySource != nullptr) {
        // Drained in pieces as a real layer sends it; a failed piece ends the request as it would.
        constexpr std::uint64_t kPiece = 64 * 1024;
        const std::uint64_t size = request.bodySource->Size();
        for (std::uint64_t at = 0; at < size && !sourceFailed; at += kPiece) {
            std::string piece(static_cast<std::size_t>(std::min(kPiece, size - at)), '\0');
            sourceFailed = !request.bodySource->ReadAt(at, piece);
            if (!sourceFailed) {
                recorded.body += piece;
            }
        }
    }
    {
        std::lock_guard hold(m_lock);
        m_requests.push_back(std::move(recorded));
    }
    if (sourceFailed) {
        return HttpResult{kBodySourceFailed, 0, {}};
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
