#include "operations/firmware_upload.h"

#include "operations/firmware_body_source.h"
#include "operations/module_request.h"
#include "operations/pending_payload.h"
#include "operations/page_variables.h"
#include "platform/code_page.h"

namespace tarrowind {
namespace {

constexpr std::string_view kUploadHeader = "Content-Type: multipart/form-data; boundary=Tarrowind";
constexpr std::string_view kUploadTail = "\r\n--Tarrowind--\r\n";

// Everything of the upload body before the file's bytes, in the 8-bit code page.
std::string UploadHead(const std::string& firmwarePath)
{
    return Utf8ToAnsi("--Tarrowind\r\n"
                      "Content-Disposition: form-data; name=\"RedirectUrl\"\r\n\r\n"
                      "https\r\n"
                      "--Tarrowind\r\n"
                      "Content-Disposition: form-data; name=\"SourceFile\"; filename=\"" +
                      firmwarePath + "\"\r\nContent-Type: application/octet-stream\r\n\r\n");
}

// Reads "key%d" from the page: the number right after the key, only when it can be read.
void ReadProgressValue(std::string_view page, std::string_view key, std::int32_t& value)
{
    const std::size_t at = page.find(key);
    if (at != std::string_view::npos) {
        ReadDecimal(page.substr(at + key.size()), value);
    }
}

}  // namespace

FirmwareBatch FirmwareBatchDigests::For(const std::string& file, const std::string& file2)
{
    FirmwareBatch batch;
    const std::string* files[] = {&file, &file2};
    for (std::size_t i = 0; i < 2; ++i) {
        if (files[i]->empty()) {
            continue;
        }
        auto [at, added] = m_taken.try_emplace(*files[i]);
        if (added) {
            at->second = Sha256OfFile(*files[i]);
        }
        batch.digests[i] = at->second;
    }
    return batch;
}

std::string FirmwareUploadBody(const std::string& firmwarePath, std::string_view file)
{
    const std::string head = UploadHead(firmwarePath);
    std::string body;
    body.reserve(head.size() + file.size() + kUploadTail.size());
    body += head;
    body += file;
    body += kUploadTail;
    return body;
}

std::int32_t UploadFirmware(const FirmwareTarget* target, HttpClient& http)
{
    if (target == nullptr) {
        return kHttpNoTarget;
    }
    // The file's bytes are read while they are sent: an upload never holds the file in memory.
    FirmwareBodySource source(target->firmwarePath, UploadHead(target->firmwarePath), kUploadTail, target->digest);
    if (!source.IsOpen()) {
        return kHttpNoFirmwareData;  // nothing is sent
    }
    const bool hasData = source.FileSize() > 0;
    ModuleRequest request;
    request.method = "POST";
    request.path = "/ETHUpload.cgi";
    request.headers = {std::string(kUploadHeader)};
    request.hasBody = true;
    request.bodySource = hasData ? &source : nullptr;  // an empty file posts an empty body
    request.credentialRefusals = {"401 Unauthorized"};
    request.answerText = AnswerText::Ansi;
    request.connectTimeoutMs = 60000;
    request.sendTimeoutMs = 30000;
    request.receiveTimeoutMs = 120000;
    const std::int32_t result = RunModuleRequest(http, &target->target, request);
    if (result != kHttpSuccess && result != kHttpCredentialsRefused) {
        return result;
    }
    return hasData ? result : kHttpNoFirmwareData;
}

std::int32_t QueryUploadProgress(const FirmwareTarget* target, std::int32_t& finish, std::int32_t& total,
                                 HttpClient& http)
{
    if (target == nullptr) {
        return kHttpNoTarget;
    }
    ModuleRequest request;
    request.method = "POST";
    request.path = "/Eng/FMUpProcess.htm";
    request.hasBody = true;
    request.answerText = AnswerText::Ansi;
    std::string page;
    const std::int32_t result = RunModuleRequest(http, &target->target, request, &page);
    if (result != kHttpSuccess) {
        return result;
    }
    ReadProgressValue(page, "var va_Finish = ", finish);
    ReadProgressValue(page, "var va_Total = ", total);
    return kHttpSuccess;
}

std::int32_t RequestReboot(const FirmwareTarget* target, HttpClient& http)
{
    if (target == nullptr) {
        return kHttpNoTarget;
    }
    ModuleRequest request;
    request.method = "POST";
    request.path = "/ConfigReboot";
    request.hasBody = true;
    request.body = "RedirectUrl=https\r\n";
    return RunModuleRequest(http, &target->target, request);
}

bool RunFirmwareUpload(CControllerManager& manager, DeviceRecord* record, int which)
{
    if (record == nullptr || which < 0 || which > 1) {
        return false;
    }
    HttpClient& http = manager.Http();
    Clock& clock = manager.ClockService();
    const ManagerTiming& timing = manager.Timing();
    FirmwareTarget target{HttpTarget::ForRecord(*record), which == 0 ? record->firmwareFile : record->firmwareFile2};
    record->status = kStatusFirmwareUploading;
    Report(*record);
    if (const auto* batch = PayloadAs<FirmwareBatch>(*record)) {
        target.digest = batch->digests[which];
        if (!target.digest) {
            return false;  // unreadable when the batch began: whatever is there now is another file
        }
    }
    // A failed upload ends the file at once: there is nothing for the module to write.
    if (const std::int32_t sent = UploadFirmware(&target, http); sent != kHttpSuccess) {
        record->failureReason = FailureReasonOf(sent);
        return false;
    }
    std::int32_t finish = 0;
    std::int32_t total = 0;
    std::int32_t outcome = kHttpSuccess;
    std::int32_t lastFinish = finish;
    std::uint32_t lastMove = clock.TickMs();
    for (bool first = true;; first = false) {
        if (!first) {
            clock.SleepMs(timing.pollIntervalMs);
        }
        const std::int32_t r = QueryUploadProgress(&target, finish, total, http);
        if (r != kHttpSuccess) {
            outcome = r;
            finish = -2;
            total = -1;
            break;
        }
        if (total <= 0) {
            outcome = kHttpNoTarget;
            break;
        }
        outcome = kHttpSuccess;
        record->status = kStatusFirmwareUpdating;
        record->progress = static_cast<std::int32_t>(static_cast<std::int64_t>(finish) * 100 / total);
        Report(*record);
        if (finish >= total) {
            break;
        }
        // A module that stops writing would otherwise be polled for ever.
        if (finish != lastFinish) {
            lastFinish = finish;
            lastMove = clock.TickMs();
        } else if (clock.TickMs() - lastMove >= timing.progressStallMs) {
            outcome = kHttpNoTarget;
            break;
        }
    }
    if (outcome == kHttpSuccess && finish >= 0 && total > 0) {
        outcome = RequestReboot(&target, http);
    }
    record->failureReason = FailureReasonOf(outcome);
    return outcome == kHttpSuccess;
}

}  // namespace tarrowind
