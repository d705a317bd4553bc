#pragma once

#include <initializer_list>
#include <string>
#include <string_view>
#include <vector>

#include "operations/http_target.h"
#include "platform/http_client.h"

namespace tarrowind {

// How an answer's bytes are read as text.
enum class AnswerText { Utf8, Ansi };

// One exchange with a module's web server in the one pattern every operation follows: a connection
// of its own, port 443 with TLS or port 80, Basic credentials unless told otherwise, the whole answer
// read, refusals recognised by text in the body alone. Over TLS the module's key must be the one it
// showed on first contact (the target's known modules); a module known to speak HTTPS is never
// spoken to in plain HTTP.
struct ModuleRequest {
    std::string method = "GET";
    std::string path;
    bool basicAuth = true;
    std::vector<std::string> headers;
    bool hasBody = false;
    std::string_view body;
    HttpBodySource* bodySource = nullptr;  // with hasBody: the body is read from here instead
    std::vector<std::string_view> refusals;  // a body containing one gives kHttpRefused
    // A body containing one gives kHttpCredentialsRefused; checked before `refusals`.
    std::vector<std::string_view> credentialRefusals;
    AnswerText answerText = AnswerText::Utf8;
    long connectTimeoutMs = 60000;
    long sendTimeoutMs = 30000;
    long receiveTimeoutMs = 30000;

    ~ModuleRequest() { WipeString(path); }  // a login page's query carries the password
};

// Runs the request against `target`; the answer as text goes to `answer` when given. A changed key or
// plain HTTP where HTTPS was known gives HttpClient::kCertificateChanged, and nothing was sent; what the
// module showed is noted in the known modules for the user to take, or is taken at once when the
// command line allowed it for this module.
std::int32_t RunModuleRequest(HttpClient& http, const HttpTarget* target, const ModuleRequest& request,
                              std::string* answer = nullptr);

// The status an action ends with when its request gave `result`: the changed certificate and the
// refused address have statuses of their own, every other failure gives `failure`.
std::int32_t FailureStatus(std::int32_t result, std::int32_t failure);
// Why a request that gave `result` failed, in the terms the user is shown; None for success and for
// failures without a more telling name than their status.
FailureReason FailureReasonOf(std::int32_t result);

}  // namespace tarrowind
