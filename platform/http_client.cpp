#include "platform/http_client.h"

#include <arpa/inet.h>
#include <curl/curl.h>
#include <strings.h>

#include <algorithm>
#include <cstdio>
#include <memory>
#include <mutex>

namespace tarrowind {
namespace {

struct EasyCleanup {
    void operator()(CURL* handle) const { curl_easy_cleanup(handle); }
};
struct ListCleanup {
    void operator()(curl_slist* list) const { curl_slist_free_all(list); }
};

struct Answer {
    std::string body;
    bool tooLarge = false;
};

std::size_t OnData(char* data, std::size_t size, std::size_t count, void* user)
{
    auto* answer = static_cast<Answer*>(user);
    const std::size_t n = size * count;
    if (answer->body.size() + n > HttpClient::kMaxBodyBytes) {
        answer->tooLarge = true;
        return 0;  // makes the layer abort the transfer
    }
    answer->body.append(data, n);
    return n;
}

// The read side of a body that is produced while it is sent.
struct Upload {
    HttpBodySource* source = nullptr;
    std::uint64_t offset = 0;
    bool failed = false;
};

std::size_t OnRead(char* buffer, std::size_t size, std::size_t count, void* user)
{
    auto* upload = static_cast<Upload*>(user);
    const std::uint64_t left = upload->source->Size() - upload->offset;
    const std::size_t n = static_cast<std::size_t>(std::min<std::uint64_t>(size * count, left));
    if (n == 0) {
        return 0;
    }
    if (!upload->source->ReadAt(upload->offset, std::span<char>(buffer, n))) {
        upload->failed = true;
        return CURL_READFUNC_ABORT;
    }
    upload->offset += n;
    return n;
}

// The layer goes back only to send the body again from its start (a redirect).
int OnSeek(void* user, curl_off_t offset, int origin)
{
    auto* upload = static_cast<Upload*>(user);
    if (origin != SEEK_SET || offset < 0 || static_cast<std::uint64_t>(offset) > upload->source->Size()) {
        return CURL_SEEKFUNC_CANTSEEK;
    }
    upload->offset = static_cast<std::uint64_t>(offset);
    return CURL_SEEKFUNC_OK;
}

// Ends the transfer once the program stops; the layer asks at least about once a second.
int OnProgress(void* user, curl_off_t, curl_off_t, curl_off_t, curl_off_t)
{
    const auto* abandon = static_cast<const std::atomic<bool>*>(user);
    return abandon->load() ? 1 : 0;
}

bool IsDottedIpv4(const std::string& host)
{
    in_addr address{};
    return ::inet_pton(AF_INET, host.c_str(), &address) == 1;
}

class CurlHttpClient final : public HttpClient {
public:
    HttpResult Perform(const HttpRequest& r) override
    {
        HttpResult result;
        // The host comes from a module's reply; only a plain address may go into the address line.
        if (!IsDottedIpv4(r.host)) {
            result.code = kBadHost;
            return result;
        }
        GlobalInit();
        std::unique_ptr<CURL, EasyCleanup> handle(curl_easy_init());
        if (!handle) {
            result.code = CURLE_FAILED_INIT;
            return result;
        }
        CURL* h = handle.get();
        std::string url = std::string(r.https ? "https://" : "http://") + r.host + ":" + std::to_string(r.port) + r.path;
        const WipeOnExit wipeUrl(url);  // a login page's query carries the password
        Answer answer;
        std::unique_ptr<curl_slist, ListCleanup> headers;
        curl_slist* list = nullptr;
        for (const std::string& header : r.headers) {
            list = curl_slist_append(list, header.c_str());
        }
        // No header the module did not ask for: no default content type, no "Expect: 100-continue".
        list = curl_slist_append(list, "Expect:");
        if (r.hasBody && !HasHeader(r.headers, "Content-Type:")) {
            list = curl_slist_append(list, "Content-Type:");
        }
        headers.reset(list);

        curl_easy_setopt(h, CURLOPT_URL, url.c_str());
        curl_easy_setopt(h, CURLOPT_NOSIGNAL, 1L);
        curl_easy_setopt(h, CURLOPT_USERAGENT, "Tarrowind");
        curl_easy_setopt(h, CURLOPT_PROXY, "");  // modules sit on the local network: never via a proxy
        curl_easy_setopt(h, CURLOPT_PROTOCOLS_STR, "http,https");
        curl_easy_setopt(h, CURLOPT_FOLLOWLOCATION, 1L);
        curl_easy_setopt(h, CURLOPT_REDIR_PROTOCOLS_STR, r.https ? "https" : "http,https");
        curl_easy_setopt(h, CURLOPT_HTTPHEADER, headers.get());
        curl_easy_setopt(h, CURLOPT_WRITEFUNCTION, OnData);
        curl_easy_setopt(h, CURLOPT_WRITEDATA, &answer);
        curl_easy_setopt(h, CURLOPT_MAXFILESIZE_LARGE, static_cast<curl_off_t>(kMaxBodyBytes));
        curl_easy_setopt(h, CURLOPT_CONNECTTIMEOUT_MS, r.connectTimeoutMs);
        // The layer has no separate send and receive limits; a transfer that moves no byte for that
        // long is ended, which is what both mean.
        curl_easy_setopt(h, CURLOPT_LOW_SPEED_LIMIT, 1L);
        curl_easy_setopt(h, CURLOPT_LOW_SPEED_TIME, std::max(r.sendTimeoutMs, r.receiveTimeoutMs) / 1000);
        if (r.https) {
            curl_easy_setopt(h, CURLOPT_SSL_VERIFYPEER, 0L);
            curl_easy_setopt(h, CURLOPT_SSL_VERIFYHOST, 0L);
        }
        if (r.basicAuth) {
            curl_easy_setopt(h, CURLOPT_HTTPAUTH, static_cast<long>(CURLAUTH_BASIC));
            curl_easy_setopt(h, CURLOPT_USERNAME, r.user.c_str());
            curl_easy_setopt(h, CURLOPT_PASSWORD, r.password.c_str());
        }
        Upload upload{r.bodySource};
        if (r.method == "POST" && r.bodySource != nullptr) {
            curl_easy_setopt(h, CURLOPT_POST, 1L);
            curl_easy_setopt(h, CURLOPT_READFUNCTION, OnRead);
            curl_easy_setopt(h, CURLOPT_READDATA, &upload);
            curl_easy_setopt(h, CURLOPT_SEEKFUNCTION, OnSeek);
            curl_easy_setopt(h, CURLOPT_SEEKDATA, &upload);
            curl_easy_setopt(h, CURLOPT_POSTFIELDSIZE_LARGE, static_cast<curl_off_t>(r.bodySource->Size()));
        } else if (r.method == "POST") {
            curl_easy_setopt(h, CURLOPT_POST, 1L);
            curl_easy_setopt(h, CURLOPT_POSTFIELDS, r.body.data());
            curl_easy_setopt(h, CURLOPT_POSTFIELDSIZE_LARGE, static_cast<curl_off_t>(r.body.size()));
        } else if (r.method != "GET") {
            curl_easy_setopt(h, CURLOPT_CUSTOMREQUEST, r.method.c_str());
        }
        if (r.abandon != nullptr) {
            curl_easy_setopt(h, CURLOPT_XFERINFOFUNCTION, OnProgress);
            curl_easy_setopt(h, CURLOPT_XFERINFODATA, const_cast<std::atomic<bool>*>(r.abandon));
            curl_easy_setopt(h, CURLOPT_NOPROGRESS, 0L);
        }
        const CURLcode code = curl_easy_perform(h);
        if (upload.failed) {
            result.code = kBodySourceFailed;
            return result;
        }
        if (answer.tooLarge || code == CURLE_FILESIZE_EXCEEDED) {
            result.code = kBodyTooLarge;
            return result;
        }
        result.code = static_cast<int>(code);
        curl_easy_getinfo(h, CURLINFO_RESPONSE_CODE, &result.status);
        result.body = std::move(answer.body);
        return result;
    }

private:
    static bool HasHeader(const std::vector<std::string>& headers, std::string_view name)
    {
        for (const std::string& h : headers) {
            if (h.size() >= name.size() && strncasecmp(h.c_str(), name.data(), name.size()) == 0) {
                return true;
            }
        }
        return false;
    }
};

}  // namespace

void HttpClient::GlobalInit()
{
    static std::once_flag once;
    std::call_once(once, [] { curl_global_init(CURL_GLOBAL_DEFAULT); });
}

HttpClient& HttpClient::System()
{
    static CurlHttpClient client;
    return client;
}

}  // namespace tarrowind
