#include "firmware_upload.h"

#include <gtest/gtest.h>

using namespace tarrowind::sim;

namespace {

std::string uploadBody(const std::string& file)
{
    return "--Tarrowind\r\n"
           "Content-Disposition: form-data; name=\"RedirectUrl\"\r\n\r\n"
           "https\r\n"
           "--Tarrowind\r\n"
           "Content-Disposition: form-data; name=\"SourceFile\"; filename=\"D:\\images\\DC410.bin\"\r\n"
           "Content-Type: application/octet-stream\r\n\r\n" + file +
           "\r\n--Tarrowind--\r\n";
}

FirmwareUpload read(const std::string& body, std::size_t piece = 5)
{
    FirmwareUploadReader reader("Tarrowind");
    for (std::size_t at = 0; at < body.size(); at += piece) reader.feed(std::string_view(body).substr(at, piece));
    return reader.finish();
}

} // namespace

TEST(FirmwareMarker, ReadsTheVersionLine)
{
    EXPECT_EQ(firmwareVersionMarker("SIMFW version=V3.11R0\nrest"), "V3.11R0");
    EXPECT_EQ(firmwareVersionMarker("SIMFW version=V 1\n"), "V 1");
    EXPECT_EQ(firmwareVersionMarker("SIMFW version=" + std::string(kMaxFirmwareVersion, 'v') + "\n"),
              std::string(kMaxFirmwareVersion, 'v'));
}

TEST(FirmwareMarker, NothingForOtherStarts)
{
    EXPECT_FALSE(firmwareVersionMarker(""));
    EXPECT_FALSE(firmwareVersionMarker("SIMFW version=V3.11R0"));   // no line end yet
    EXPECT_FALSE(firmwareVersionMarker("SIMFW version=\n"));
    EXPECT_FALSE(firmwareVersionMarker(" SIMFW version=V1\n"));
    EXPECT_FALSE(firmwareVersionMarker("simfw version=V1\n"));
    EXPECT_FALSE(firmwareVersionMarker("SIMFW version=V1\r\n"));   // '\r' is not printable text
    EXPECT_FALSE(firmwareVersionMarker("SIMFW version=" + std::string(kMaxFirmwareVersion + 1, 'v') + "\n"));
}

TEST(FirmwareUpload, SummarisesAMarkedImage)
{
    const std::string file = "SIMFW version=V3.11R0\n" + std::string(100000, '\xA5');
    for (std::size_t piece : {std::size_t{1}, std::size_t{5}, std::size_t{8192}}) {
        const FirmwareUpload upload = read(uploadBody(file), piece);
        EXPECT_TRUE(upload.complete);
        EXPECT_EQ(upload.redirectUrl, "https");
        EXPECT_EQ(upload.filename, "D:\\images\\DC410.bin");
        EXPECT_EQ(upload.size, file.size());
        EXPECT_EQ(upload.version, "V3.11R0");
    }
}

TEST(FirmwareUpload, UnmarkedImageKeepsNoVersion)
{
    const FirmwareUpload upload = read(uploadBody(std::string(5000, 'x')));
    EXPECT_TRUE(upload.complete);
    EXPECT_EQ(upload.size, 5000u);
    EXPECT_FALSE(upload.version);
}

TEST(FirmwareUpload, IncompleteOrFilelessBodiesAreNotComplete)
{
    const std::string body = uploadBody("SIMFW version=V2\nabc");
    EXPECT_FALSE(read(body.substr(0, body.size() - 10)).complete);
    const FirmwareUpload noFile = read("--Tarrowind\r\nContent-Disposition: form-data; name=\"RedirectUrl\"\r\n\r\n"
                                       "https\r\n--Tarrowind--\r\n");
    EXPECT_FALSE(noFile.complete);
    EXPECT_EQ(noFile.size, 0u);
    const std::string twoFiles = "--Tarrowind\r\nContent-Disposition: form-data; name=\"SourceFile\"\r\n\r\na\r\n"
                                 "--Tarrowind\r\nContent-Disposition: form-data; name=\"SourceFile\"\r\n\r\nb\r\n"
                                 "--Tarrowind--\r\n";
    EXPECT_FALSE(read(twoFiles).complete);
}

TEST(FirmwareUpload, RedirectValueIsBounded)
{
    const std::string body = "--Tarrowind\r\nContent-Disposition: form-data; name=\"RedirectUrl\"\r\n\r\n" +
                             std::string(10000, 'u') + "\r\n--Tarrowind--\r\n";
    EXPECT_EQ(read(body).redirectUrl.size(), 256u);
}
