#include "operations/module_request.h"

#include "platform/code_page.h"

namespace tarrowind {

std::int32_t RunModuleRequest(HttpClient& http, const HttpTarget* target, const ModuleRequest& request,
                              std::string* answer)
{
    if (target == nullptr || target->record == nullptr) {
        return kHttpNoTarget;
    }
    const bool https = target->record->useHttps == 1;
    HttpRequest r;
    r.method = request.method;
    r.host = target->host;
    r.port = https ? 443 : 80;
    r.https = https;
    r.path = request.path;
    r.basicAuth = request.basicAuth;
    r.user = target->userName;
    r.password = target->password;
    r.headers = request.headers;
    r.hasBody = request.hasBody;
    r.body = request.body;
    r.bodySource = request.bodySource;
    r.connectTimeoutMs = request.connectTimeoutMs;
    r.sendTimeoutMs = request.sendTimeoutMs;
    r.receiveTimeoutMs = request.receiveTimeoutMs;
    HttpResult result = http.Perform(r);
    if (result.code != 0) {
        return result.code;
    }
    const std::string text =
        request.answerText == AnswerText::Utf8 ? SanitizeUtf8(result.body) : AnsiToUtf8(result.body);
    for (const std::string_view refusal : request.refusals) {
        if (text.find(refusal) != std::string::npos) {
            if (answer != nullptr) {
                *answer = text;
            }
            return kHttpRefused;
        }
    }
    if (answer != nullptr) {
        *answer = text;
    }
    return kHttpSuccess;
}

}  // namespace tarrowind
