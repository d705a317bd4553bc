#include "multipart_reader.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

using namespace tarrowind::sim;

namespace {

struct Part {
    PartHeaders headers;
    std::string data;
    bool ended = false;
};

class Recorder : public PartHandler {
public:
    std::vector<Part> parts;
    bool refuseData = false;

    bool partBegins(const PartHeaders& headers) override
    {
        parts.push_back(Part{headers, {}, false});
        return true;
    }
    bool partData(std::string_view bytes) override
    {
        if (refuseData) return false;
        EXPECT_FALSE(parts.empty());
        EXPECT_FALSE(bytes.empty());
        parts.back().data.append(bytes);
        return true;
    }
    bool partEnds() override
    {
        parts.back().ended = true;
        return true;
    }
};

// The upload body exactly as the firmware sender lays it out.
std::string uploadBody(const std::string& file, const std::string& path = "C:\\fw\\ETH.bin")
{
    return "--Tarrowind\r\n"
           "Content-Disposition: form-data; name=\"RedirectUrl\"\r\n\r\n"
           "https\r\n"
           "--Tarrowind\r\n"
           "Content-Disposition: form-data; name=\"SourceFile\"; filename=\"" + path + "\"\r\n"
           "Content-Type: application/octet-stream\r\n\r\n" + file +
           "\r\n--Tarrowind--\r\n";
}

// Feeds in pieces of a fixed size, so boundaries fall across every possible split.
bool feedInPieces(MultipartReader& reader, const std::string& body, std::size_t piece)
{
    for (std::size_t at = 0; at < body.size(); at += piece)
        if (!reader.feed(std::string_view(body).substr(at, piece))) return false;
    return true;
}

} // namespace

TEST(MultipartBoundary, ReadsThePlainOrQuotedBoundary)
{
    EXPECT_EQ(boundaryFromContentType("multipart/form-data; boundary=Tarrowind"), "Tarrowind");
    EXPECT_EQ(boundaryFromContentType("Multipart/Form-Data;BOUNDARY=\"a b:c\""), "a b:c");
    EXPECT_EQ(boundaryFromContentType("multipart/form-data; charset=x; boundary=--x--"), "--x--");
    EXPECT_EQ(boundaryFromContentType("multipart/form-data; boundary=" + std::string(70, 'b')), std::string(70, 'b'));
}

TEST(MultipartBoundary, RefusesOtherTypesAndBadBoundaries)
{
    EXPECT_FALSE(boundaryFromContentType(""));
    EXPECT_FALSE(boundaryFromContentType("multipart/form-data"));
    EXPECT_FALSE(boundaryFromContentType("multipart/mixed; boundary=x"));
    EXPECT_FALSE(boundaryFromContentType("application/octet-stream; boundary=x"));
    EXPECT_FALSE(boundaryFromContentType("multipart/form-data; boundary="));
    EXPECT_FALSE(boundaryFromContentType("multipart/form-data; boundary=\"\""));
    EXPECT_FALSE(boundaryFromContentType("multipart/form-data; boundary=\"open"));
    EXPECT_FALSE(boundaryFromContentType("multipart/form-data; boundary=" + std::string(71, 'b')));
    EXPECT_FALSE(boundaryFromContentType("multipart/form-data; boundary=a\r\nb"));
    EXPECT_FALSE(boundaryFromContentType("multipart/form-data; boundary=a; boundary=b"));
    EXPECT_FALSE(boundaryFromContentType("multipart/form-data; boundary"));
    EXPECT_FALSE(boundaryFromContentType("multipart/form-data; boundary=\"a;b\""));
}

TEST(MultipartReader, ReadsTheUploadBodyWhateverThePieces)
{
    std::string file;
    for (int i = 0; i < 3000; ++i) file.push_back(static_cast<char>(i * 7));
    file += "\r\n--Tarrowin"; // almost a delimiter inside the data
    file += "\r\n-";
    const std::string body = uploadBody(file);
    for (std::size_t piece : {std::size_t{1}, std::size_t{2}, std::size_t{7}, std::size_t{13}, std::size_t{64},
                              std::size_t{4096}, body.size()}) {
        Recorder recorder;
        MultipartReader reader("Tarrowind", recorder);
        ASSERT_TRUE(feedInPieces(reader, body, piece)) << piece << ": " << reader.error();
        ASSERT_TRUE(reader.complete()) << piece;
        ASSERT_EQ(recorder.parts.size(), 2u) << piece;
        EXPECT_EQ(recorder.parts[0].headers.name, "RedirectUrl");
        EXPECT_FALSE(recorder.parts[0].headers.filename);
        EXPECT_EQ(recorder.parts[0].data, "https");
        EXPECT_EQ(recorder.parts[1].headers.name, "SourceFile");
        EXPECT_EQ(recorder.parts[1].headers.filename, "C:\\fw\\ETH.bin");
        EXPECT_EQ(recorder.parts[1].headers.contentType, "application/octet-stream");
        EXPECT_EQ(recorder.parts[1].data, file) << piece;
        EXPECT_TRUE(recorder.parts[1].ended);
    }
}

TEST(MultipartReader, EmptyPartAndPreambleAndEpilogue)
{
    Recorder recorder;
    MultipartReader reader("b", recorder);
    ASSERT_TRUE(reader.feed("ignored preamble\r\n--b  \r\ncontent-disposition: form-data; name=e\r\n\r\n"
                            "\r\n--b--\r\nepilogue --b\r\n"));
    EXPECT_TRUE(reader.complete());
    ASSERT_EQ(recorder.parts.size(), 1u);
    EXPECT_EQ(recorder.parts[0].headers.name, "e");
    EXPECT_EQ(recorder.parts[0].data, "");
    EXPECT_TRUE(reader.feed("anything after the end"));
}

TEST(MultipartReader, IncompleteBodyIsNotComplete)
{
    const std::string body = uploadBody("firmware");
    Recorder recorder;
    MultipartReader reader("Tarrowind", recorder);
    ASSERT_TRUE(reader.feed(body.substr(0, body.size() - 4))); // "--\r\n" of the end missing
    EXPECT_FALSE(reader.complete());
    EXPECT_FALSE(reader.failed());
}

TEST(MultipartReader, WrongBoundaryFindsNothing)
{
    Recorder recorder;
    MultipartReader reader("Other", recorder);
    EXPECT_TRUE(reader.feed(uploadBody("firmware")));
    EXPECT_FALSE(reader.complete());
    EXPECT_TRUE(recorder.parts.empty());
}

TEST(MultipartReader, HostileShapesFailCleanly)
{
    const std::vector<std::string> bodies{
        "--b\r\nContent-Disposition: form-data\r\n\r\nx\r\n--b--",              // no name
        "--b\r\nContent-Type: text/plain\r\n\r\nx\r\n--b--",                      // no disposition
        "--b\r\nContent-Disposition: attachment; name=a\r\n\r\nx\r\n--b--",
        "--b\r\nContent-Disposition: form-data; name=\"a\r\n\r\nx\r\n--b--",      // open quote
        "--b\r\nno colon here\r\n\r\nx\r\n--b--",
        "--b\r\n\r\nx\r\n--b--",                                                  // no headers
        "--bX\r\nContent-Disposition: form-data; name=a\r\n\r\n",                 // junk after boundary
        "--b\r\nContent-Disposition: form-data; name=a\r\nContent-Disposition: form-data; name=b\r\n\r\n",
        "--b" + std::string(100, ' ') + "\r\n",
    };
    for (const auto& body : bodies) {
        Recorder recorder;
        MultipartReader reader("b", recorder);
        EXPECT_FALSE(reader.feed(body)) << body;
        EXPECT_TRUE(reader.failed()) << body;
        EXPECT_FALSE(reader.error().empty());
        EXPECT_FALSE(reader.feed("--b--")); // stays failed
        EXPECT_FALSE(reader.complete());
    }
}

TEST(MultipartReader, BoundsHeadersAndParts)
{
    {
        Recorder recorder;
        MultipartReader reader("b", recorder);
        EXPECT_TRUE(reader.feed("--b\r\nX-Long: "));
        const std::string filler(1024, 'h');
        bool ok = true;
        for (int i = 0; i < 20 && ok; ++i) ok = reader.feed(filler);
        EXPECT_FALSE(ok);
        EXPECT_TRUE(reader.failed());
    }
    {
        std::string body;
        for (std::size_t i = 0; i <= MultipartReader::kMaxParts; ++i)
            body += "--b\r\nContent-Disposition: form-data; name=p\r\n\r\nx\r\n";
        Recorder recorder;
        MultipartReader reader("b", recorder);
        EXPECT_FALSE(reader.feed(body + "--b--"));
        EXPECT_EQ(recorder.parts.size(), MultipartReader::kMaxParts);
    }
}

TEST(MultipartReader, KeepsLittleWhileStreamingALargePart)
{
    // The handler sees the data as it comes rather than at the end.
    Recorder recorder;
    MultipartReader reader("Tarrowind", recorder);
    ASSERT_TRUE(reader.feed("--Tarrowind\r\nContent-Disposition: form-data; name=\"SourceFile\"\r\n\r\n"));
    const std::string chunk(65536, 'F');
    for (int i = 0; i < 16; ++i) ASSERT_TRUE(reader.feed(chunk));
    ASSERT_EQ(recorder.parts.size(), 1u);
    EXPECT_GE(recorder.parts[0].data.size(), 16u * 65536u - 16u);
    ASSERT_TRUE(reader.feed("\r\n--Tarrowind--"));
    EXPECT_EQ(recorder.parts[0].data.size(), 16u * 65536u);
}

TEST(MultipartReader, HandlerRefusalStops)
{
    Recorder recorder;
    recorder.refuseData = true;
    MultipartReader reader("Tarrowind", recorder);
    EXPECT_FALSE(reader.feed(uploadBody("firmware")));
    EXPECT_TRUE(reader.failed());
}
