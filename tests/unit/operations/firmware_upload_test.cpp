#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>
#include <functional>

#include "operations/firmware_body_source.h"
#include "operations/firmware_upload.h"
#include "tests/unit/operations/operations_fixture.h"

namespace tarrowind {
namespace {

using testing::Answer;

// The upload body written out from its eight parts.
std::string Multipart(const std::string& ansiPath, std::string_view file)
{
    return "--Tarrowind\r\n"
           "Content-Disposition: form-data; name=\"RedirectUrl\"\r\n\r\n"
           "https\r\n"
           "--Tarrowind\r\n"
           "Content-Disposition: form-data; name=\"SourceFile\"; filename=\"" +
           ansiPath + "\"\r\nContent-Type: application/octet-stream\r\n\r\n" + std::string(file) +
           "\r\n--Tarrowind--\r\n";
}

std::string Page(int finish, int total)
{
    return "<script>var va_Finish = " + std::to_string(finish) + ";\nvar va_Total = " + std::to_string(total) +
           ";</script>";
}

struct FirmwareUploadTest : testing::OperationsFixture {
    testing::TempDir dir;
    const std::string firmware = std::string("\x7F" "ELF\0\r\n--Tarrowind\xFF", 18);
    DeviceRecord record = WebModule();
    FirmwareTarget target;
    HttpResult uploadAnswer = Answer("<html>uploaded</html>");
    HttpResult rebootAnswer = Answer("");
    std::vector<HttpResult> polls{Answer(Page(1, 1))};  // one per poll; the last one repeats
    std::vector<std::uint32_t> pollTimes;

    FirmwareUploadTest()
    {
        record.useHttps = 0;
        record.firmwareFile = dir.Write("fw/first.bin", firmware);
        record.firmwareFile2 = dir.Write("fw/second.bin", "2");
        target = FirmwareTarget{HttpTarget::ForRecord(record), record.firmwareFile};
        http.handler = [this](const HttpRequest& r) {
            if (r.path == "/ETHUpload.cgi") {
                return uploadAnswer;
            }
            if (r.path == "/ConfigReboot") {
                return rebootAnswer;
            }
            pollTimes.push_back(clock.now);
            return polls[std::min(pollTimes.size(), polls.size()) - 1];
        };
    }
    std::vector<std::string> Paths() const
    {
        std::vector<std::string> paths;
        for (const std::string& p : http.Paths()) {
            paths.push_back(p == "/ETHUpload.cgi" ? "upload" : p == "/ConfigReboot" ? "reboot" : "poll");
        }
        return paths;
    }
};

TEST_F(FirmwareUploadTest, BodyFramesTheFileBetweenTheFormTexts)
{
    EXPECT_EQ(FirmwareUploadBody("C:\\Fw\\dc.bin", firmware), Multipart("C:\\Fw\\dc.bin", firmware));
    // The path is sent in the 8-bit code page (Windows-1252 under the C locale).
    EXPECT_EQ(FirmwareUploadBody("/fw/caf\xC3\xA9.bin", ""), Multipart("/fw/caf\xE9.bin", ""));
}

TEST_F(FirmwareUploadTest, UploadPostsTheWholeFileWithItsBoundaryHeader)
{
    EXPECT_EQ(UploadFirmware(&target, http), kHttpSuccess);
    const auto sent = http.Requests().at(0);
    EXPECT_EQ(sent.request.method, "POST");
    EXPECT_EQ(sent.request.path, "/ETHUpload.cgi");
    EXPECT_EQ(sent.request.port, 80);
    EXPECT_TRUE(sent.request.basicAuth);
    EXPECT_EQ(sent.request.headers, std::vector<std::string>{"Content-Type: multipart/form-data; boundary=Tarrowind"});
    EXPECT_TRUE(sent.request.hasBody);
    EXPECT_EQ(sent.body, Multipart(record.firmwareFile, firmware));  // https even over plain HTTP
    EXPECT_EQ(sent.request.connectTimeoutMs, 60000);
    EXPECT_EQ(sent.request.sendTimeoutMs, 30000);
    EXPECT_EQ(sent.request.receiveTimeoutMs, 120000);

    uploadAnswer = Answer("<b>401 Unauthorized</b>");
    EXPECT_EQ(UploadFirmware(&target, http), kHttpCredentialsRefused);
    uploadAnswer = HttpResult{55, 0, {}};
    EXPECT_EQ(UploadFirmware(&target, http), 55);
    EXPECT_EQ(UploadFirmware(nullptr, http), kHttpNoTarget);
    EXPECT_EQ(http.Requests().size(), 3u);
}

// Reads a whole body source in pieces of `piece` bytes, as an HTTP layer would.
bool Drain(HttpBodySource& source, std::size_t piece, std::string& out)
{
    out.clear();
    for (std::uint64_t at = 0; at < source.Size(); at += piece) {
        std::string bytes(static_cast<std::size_t>(std::min<std::uint64_t>(piece, source.Size() - at)), '\0');
        if (!source.ReadAt(at, bytes)) {
            return false;
        }
        out += bytes;
    }
    return true;
}

TEST_F(FirmwareUploadTest, StreamedBodyEqualsTheBufferedOneInAnyPieces)
{
    std::string large(300 * 1024 + 7, '\0');
    for (std::size_t i = 0; i < large.size(); ++i) {
        large[i] = static_cast<char>(i * 131 % 251);
    }
    target.firmwarePath = dir.Write("large.bin", large);
    const std::string expected = Multipart(target.firmwarePath, large);
    EXPECT_EQ(UploadFirmware(&target, http), kHttpSuccess);
    EXPECT_EQ(http.Requests().at(0).body, expected);

    const std::string tail = "\r\n--Tarrowind--\r\n";
    FirmwareBodySource source(target.firmwarePath, expected.substr(0, expected.size() - large.size() - tail.size()),
                              tail);
    ASSERT_EQ(source.Size(), expected.size());
    for (const std::size_t piece : {std::size_t{1} << 20, std::size_t{65536 + 3}, std::size_t{4096}, std::size_t{7}}) {
        std::string body;
        ASSERT_TRUE(Drain(source, piece, body)) << piece;  // each drain starts again at 0, as a resend does
        EXPECT_TRUE(body == expected) << piece;
    }
}

TEST_F(FirmwareUploadTest, FileThatChangesSizeWhileSentFailsTheUpload)
{
    // The layer given the request changes the file first, as a copy still being written would.
    struct ChangingHttp final : HttpClient {
        testing::FakeHttpClient& fake;
        std::function<void()> change;
        ChangingHttp(testing::FakeHttpClient& f, std::function<void()> c) : fake(f), change(std::move(c)) {}
        HttpResult Perform(const HttpRequest& r) override
        {
            change();
            return fake.Perform(r);
        }
    };
    const std::string path = target.firmwarePath;
    const std::function<void()> changes[] = {
        [&] { std::filesystem::resize_file(path, firmware.size() - 1); },
        [&] { std::ofstream(path, std::ios::binary | std::ios::app) << "x"; },
    };
    for (const auto& change : changes) {
        dir.Write("fw/first.bin", firmware);
        ChangingHttp changing(http, change);
        EXPECT_EQ(UploadFirmware(&target, changing), HttpClient::kBodySourceFailed);
        const std::string sent = http.Requests().back().body;
        EXPECT_LT(sent.size(), Multipart(path, firmware).size());  // never a whole body
    }
}

TEST_F(FirmwareUploadTest, FileRewrittenAtTheSameSizeNeverReachesTheModuleWhole)
{
    std::string large(300 * 1024 + 5, '\0');
    for (std::size_t i = 0; i < large.size(); ++i) {
        large[i] = static_cast<char>(i * 7 % 253);
    }
    target.firmwarePath = dir.Write("batch.bin", large);
    target.digest = Sha256OfFile(target.firmwarePath);
    ASSERT_TRUE(target.digest);
    EXPECT_EQ(UploadFirmware(&target, http), kHttpSuccess);  // the same bytes go out whole
    EXPECT_EQ(http.Requests().back().body, Multipart(target.firmwarePath, large));

    // Rewritten in place (the same file, the same size) after the batch began: at its start, in its
    // middle, or only in its last byte, which sits in the piece held back.
    for (const std::size_t at : {std::size_t{0}, large.size() / 2, large.size() - 1}) {
        std::string other = large;
        other[at] = static_cast<char>(other[at] ^ 0x20);
        struct RewritingHttp final : HttpClient {
            testing::FakeHttpClient& fake;
            std::string path, bytes;
            RewritingHttp(testing::FakeHttpClient& f, std::string p, std::string b)
                : fake(f), path(std::move(p)), bytes(std::move(b))
            {
            }
            HttpResult Perform(const HttpRequest& r) override
            {
                std::ofstream(path, std::ios::binary | std::ios::in) << bytes;  // in place, not a new file
                return fake.Perform(r);
            }
        } rewriting(http, target.firmwarePath, other);
        EXPECT_EQ(UploadFirmware(&target, rewriting), HttpClient::kBodySourceFailed) << at;
        EXPECT_LT(http.Requests().back().body.size(), Multipart(target.firmwarePath, large).size()) << at;
        dir.Write("batch.bin", large);
    }

    // A source read again from 0 hashes again; one asked out of turn cannot be vouched for.
    const std::string tail = "\r\n--Tarrowind--\r\n";
    FirmwareBodySource source(target.firmwarePath, "head", tail, target.digest);
    std::string body;
    ASSERT_TRUE(Drain(source, 4096, body));
    ASSERT_TRUE(Drain(source, 65536 + 3, body));
    EXPECT_EQ(body, "head" + large + tail);
    std::string piece(16, '\0');
    EXPECT_TRUE(source.ReadAt(0, piece));
    EXPECT_FALSE(source.ReadAt(4 + large.size() - piece.size(), piece));  // the file's last bytes
}

TEST_F(FirmwareUploadTest, EveryModuleOfABatchGetsTheFileAsTheBatchBegan)
{
    FirmwareBatchDigests digests;
    const auto first = digests.For(record.firmwareFile, "");
    ASSERT_TRUE(first.digests[0]);
    EXPECT_FALSE(first.digests[1]);
    dir.Write("fw/first.bin", std::string(firmware.size(), 'n'));  // replaced while the batch is queued
    const auto later = digests.For(record.firmwareFile, record.firmwareFile2);
    EXPECT_EQ(later.digests[0], first.digests[0]);
    EXPECT_EQ(later.digests[1], Sha256OfFile(record.firmwareFile2));

    record.pendingPayload = MakePayload(later);
    EXPECT_FALSE(RunFirmwareUpload(*manager, &record, 0));  // the new bytes are not the batch's
    EXPECT_EQ(http.Requests().size(), 1u);
    EXPECT_TRUE(RunFirmwareUpload(*manager, &record, 1));

    // A file that could not be read when the batch began is not uploaded when it appears later.
    const auto missing = digests.For(dir.path + "fw/late.bin", "");
    dir.Write("fw/late.bin", "late");
    record.firmwareFile = dir.path + "fw/late.bin";
    record.pendingPayload = MakePayload(missing);
    const std::size_t before = http.Requests().size();
    EXPECT_FALSE(RunFirmwareUpload(*manager, &record, 0));
    EXPECT_EQ(http.Requests().size(), before);
    EXPECT_EQ(record.status, kStatusFirmwareUploading);
}

TEST_F(FirmwareUploadTest, FileWithoutDataGivesNoFirmwareData)
{
    target.firmwarePath = dir.path + "missing.bin";
    EXPECT_EQ(UploadFirmware(&target, http), kHttpNoFirmwareData);
    EXPECT_TRUE(http.Requests().empty());
    target.firmwarePath = dir.Write("empty.bin", "");
    EXPECT_EQ(UploadFirmware(&target, http), kHttpNoFirmwareData);
    const auto sent = http.Requests();
    ASSERT_EQ(sent.size(), 1u);
    EXPECT_EQ(sent[0].body, "");
    EXPECT_EQ(sent[0].request.path, "/ETHUpload.cgi");
}

TEST_F(FirmwareUploadTest, ProgressPageSetsOnlyTheValuesItCarries)
{
    std::int32_t finish = 3, total = 7;
    polls = {Answer(Page(50, 200)), Answer("var va_Finish = 60;"), Answer("var va_Finish = x; var va_Total = -5;"),
             HttpResult{28, 0, Page(1, 1)}};
    EXPECT_EQ(QueryUploadProgress(&target, finish, total, http), kHttpSuccess);
    EXPECT_EQ(std::pair(finish, total), std::pair(50, 200));
    EXPECT_EQ(QueryUploadProgress(&target, finish, total, http), kHttpSuccess);
    EXPECT_EQ(std::pair(finish, total), std::pair(60, 200));
    EXPECT_EQ(QueryUploadProgress(&target, finish, total, http), kHttpSuccess);
    EXPECT_EQ(std::pair(finish, total), std::pair(60, -5));
    EXPECT_EQ(QueryUploadProgress(&target, finish, total, http), 28);
    EXPECT_EQ(std::pair(finish, total), std::pair(60, -5));
    EXPECT_EQ(QueryUploadProgress(nullptr, finish, total, http), kHttpNoTarget);
    const auto sent = http.Requests().at(0);
    EXPECT_EQ(sent.request.method, "POST");
    EXPECT_EQ(sent.request.path, "/Eng/FMUpProcess.htm");
    EXPECT_TRUE(sent.request.hasBody);
    EXPECT_EQ(sent.body, "");
}

TEST_F(FirmwareUploadTest, RunShowsTheShareWrittenThenRequestsTheRestart)
{
    polls = {Answer(Page(50, 200)), Answer(Page(200, 200))};
    EXPECT_TRUE(RunFirmwareUpload(*manager, &record, 0));
    EXPECT_EQ(Paths(), (std::vector<std::string>{"upload", "poll", "poll", "reboot"}));
    ASSERT_EQ(log.entries.size(), 3u);
    EXPECT_EQ(log.entries[0].status, kStatusFirmwareUploading);
    EXPECT_EQ(std::pair(log.entries[1].status, log.entries[1].progress), std::pair(18, 25));
    EXPECT_EQ(std::pair(log.entries[2].status, log.entries[2].progress), std::pair(18, 100));
    EXPECT_EQ(pollTimes[1] - pollTimes[0], 250u);
    const auto reboot = http.Requests().back();
    EXPECT_EQ(reboot.request.method, "POST");
    EXPECT_EQ(reboot.body, "RedirectUrl=https\r\n");
    EXPECT_EQ(http.Requests()[0].body, Multipart(record.firmwareFile, firmware));
}

TEST_F(FirmwareUploadTest, RunEndsAtTheFirstPollThatReportsCompletion)
{
    const std::pair<HttpResult, std::int32_t> completions[] = {{Answer(Page(200, 200)), 100},
                                                               {Answer(Page(300, 200)), 150}};
    for (const auto& [page, progress] : completions) {
        polls = {page};
        EXPECT_TRUE(RunFirmwareUpload(*manager, &record, 0));
        EXPECT_EQ(record.progress, progress);
        EXPECT_EQ(record.status, kStatusFirmwareUpdating);
    }
    EXPECT_EQ(Paths(), (std::vector<std::string>{"upload", "poll", "reboot", "upload", "poll", "reboot"}));
}

TEST_F(FirmwareUploadTest, RunFailsWithoutRestartWhenAnExchangeFails)
{
    struct Case {
        const char* what;
        HttpResult upload, poll, reboot;
        std::vector<std::string> paths;
    };
    const Case cases[] = {
        {"upload fails", HttpResult{7, 0, {}}, Answer(Page(1, 1)), Answer(""), {"upload"}},
        {"upload refused", Answer("401 Unauthorized"), Answer(Page(1, 1)), Answer(""), {"upload"}},
        {"no total", Answer(""), Answer("var va_Finish = 5;"), Answer(""), {"upload", "poll"}},
        {"total 0", Answer(""), Answer(Page(0, 0)), Answer(""), {"upload", "poll"}},
        {"poll fails", Answer(""), HttpResult{28, 0, {}}, Answer(""), {"upload", "poll"}},
        {"reboot fails", Answer(""), Answer(Page(9, 9)), HttpResult{52, 0, {}}, {"upload", "poll", "reboot"}},
    };
    for (const Case& c : cases) {
        http.handler = [&c](const HttpRequest& r) {
            return r.path == "/ETHUpload.cgi" ? c.upload : r.path == "/ConfigReboot" ? c.reboot : c.poll;
        };
        const auto before = Paths().size();
        EXPECT_FALSE(RunFirmwareUpload(*manager, &record, 0)) << c.what;
        const auto paths = Paths();
        EXPECT_EQ(std::vector<std::string>(paths.begin() + static_cast<std::ptrdiff_t>(before), paths.end()), c.paths)
            << c.what;
    }
}

TEST_F(FirmwareUploadTest, RunGivesUpWhenTheWrittenShareStopsMoving)
{
    polls = {Answer(Page(10, 200))};
    EXPECT_FALSE(RunFirmwareUpload(*manager, &record, 0));
    EXPECT_EQ(Paths().back(), "poll");
    ASSERT_GE(pollTimes.size(), 2u);
    for (std::size_t i = 1; i < pollTimes.size(); ++i) {
        ASSERT_EQ(pollTimes[i] - pollTimes[i - 1], 250u);
    }
    EXPECT_EQ(pollTimes.back() - pollTimes.front(), 120000u);

    // Slow but steady progress is never taken for a stall: 600 polls take 150 s.
    polls.clear();
    pollTimes.clear();
    for (int i = 1; i <= 600; ++i) {
        polls.push_back(Answer(Page(i, 600)));
    }
    EXPECT_TRUE(RunFirmwareUpload(*manager, &record, 0));
    EXPECT_EQ(pollTimes.size(), 600u);
    EXPECT_EQ(Paths().back(), "reboot");
}

TEST_F(FirmwareUploadTest, RunUploadsTheFileItIsToldTo)
{
    EXPECT_TRUE(RunFirmwareUpload(*manager, &record, 1));
    EXPECT_EQ(http.Requests().at(0).body, Multipart(record.firmwareFile2, "2"));
    EXPECT_FALSE(RunFirmwareUpload(*manager, &record, 2));
    EXPECT_FALSE(RunFirmwareUpload(*manager, nullptr, 0));
    EXPECT_EQ(http.Requests().size(), 3u);
}

}  // namespace
}  // namespace tarrowind
