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
// of its own, port 443 with TLS (no certificate check) or port 80, Basic credentials unless told
// otherwise, the whole answer read, refusals recognised by text in the body alone.
struct ModuleRequest {
    std::string method = "GET";
    std::string path;
    bool basicAuth = true;
    std::vector<std::string> headers;
    bool hasBody = false;
    std::string_view body;
    HttpBodySource* bodySource = nullptr;  // with hasBody: the body is read from here instead
    std::vector<std::string_view> refusals;  // a body containing one gives kHttpRefused
    AnswerText answerText = AnswerText::Utf8;
    long connectTimeoutMs = 60000;
    long sendTimeoutMs = 30000;
    long receiveTimeoutMs = 30000;

    ~ModuleRequest() { WipeString(path); }  // a login page's query carries the password
};

// Runs the request against `target`; the answer as text goes to `answer` when given.
std::int32_t RunModuleRequest(HttpClient& http, const HttpTarget* target, const ModuleRequest& request,
                              std::string* answer = nullptr);

}  // namespace tarrowind
