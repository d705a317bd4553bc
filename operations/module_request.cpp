#include "operations/module_request.h"

#include <utility>

#include "operations/controller_manager.h"
#include "operations/known_modules.h"
#include "platform/code_page.h"

namespace tarrowind {
namespace {

// Sends the request with the module's remembered key as the one expected, learns the key on first
// contact, and refuses (or, where allowed, takes) a changed one.
HttpResult PerformChecked(HttpClient& http, HttpRequest& r, KnownModules* known, const DeviceRecord& record)
{
    if (known == nullptr) {
        return http.Perform(r);
    }
    const std::string mac = MacKey(record.mac);
    const std::optional<KnownModule> before = known->Find(mac);
    if (before && before->https && !r.https) {
        if (!known->ChangeAllowed(mac)) {
            known->NoteRefused(mac, std::nullopt);
            return HttpResult{HttpClient::kCertificateChanged, 0, {}, std::nullopt};
        }
        known->Replace(mac, false, std::nullopt);
    }
    if (before && before->https && r.https) {
        r.expectedKey = before->key;
    }
    HttpResult result = http.Perform(r);
    if (result.code == HttpClient::kCertificateChanged && r.expectedKey && result.serverKey) {
        if (!known->ChangeAllowed(mac)) {
            known->NoteRefused(mac, result.serverKey);
            return result;
        }
        // Nothing went out: the same request again, held to the key just taken.
        known->Replace(mac, true, result.serverKey);
        r.expectedKey = result.serverKey;
        result = http.Perform(r);
    }
    if (result.code == HttpClient::kCertificateChanged) {
        return result;
    }
    if (r.https ? result.serverKey.has_value() : result.code == 0) {
        if (!before || (!before->https && r.https)) {
            known->Learn(mac, r.https, result.serverKey);
        }
        known->ClearRefused(mac);
    }
    return result;
}

}  // namespace

HttpTarget HttpTarget::ForRecord(DeviceRecord& record)
{
    return HttpTarget{record.reportWindow, record.ipText, record.userName, record.password, &record,
                      record.ownerQueue != nullptr ? record.ownerQueue->KnownModuleKeys() : nullptr};
}

std::int32_t FailureStatus(std::int32_t result, std::int32_t failure)
{
    switch (result) {
    case HttpClient::kCertificateChanged:
        return kStatusCertificateChanged;
    case HttpClient::kAddressRefused:
        return kStatusAddressUnusable;
    default:
        return failure;
    }
}

FailureReason FailureReasonOf(std::int32_t result)
{
    switch (result) {
    case kHttpSuccess:
    case HttpClient::kCertificateChanged:
    case HttpClient::kAddressRefused:
        return FailureReason::None;  // each has a status of its own
    case kHttpCredentialsRefused:
        return FailureReason::CredentialsRefused;
    case kHttpRefused:
        return FailureReason::RefusalPage;
    default:
        break;
    }
    switch (HttpClient::KindOf(result)) {
    case HttpFailureKind::NoAnswer:
        return FailureReason::NoAnswer;
    case HttpFailureKind::TimedOut:
        return FailureReason::TimedOut;
    case HttpFailureKind::Tls:
        return FailureReason::TlsFailed;
    case HttpFailureKind::Other:
        break;
    }
    return FailureReason::None;
}

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
    HttpResult result = PerformChecked(http, r, target->knownModules, *target->record);
    if (result.code != 0) {
        return result.code;
    }
    const std::string text =
        request.answerText == AnswerText::Utf8 ? SanitizeUtf8(result.body) : AnsiToUtf8(result.body);
    for (const auto& [refusals, code] : {std::pair{&request.credentialRefusals, kHttpCredentialsRefused},
                                         std::pair{&request.refusals, kHttpRefused}}) {
        for (const std::string_view refusal : *refusals) {
            if (text.find(refusal) != std::string::npos) {
                if (answer != nullptr) {
                    *answer = text;
                }
                return code;
            }
        }
    }
    if (answer != nullptr) {
        *answer = text;
    }
    return kHttpSuccess;
}

}  // namespace tarrowind
