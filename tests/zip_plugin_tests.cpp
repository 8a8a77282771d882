// The shipped ZIP plug-in, through the program: an archive named on the
// command line, its listing read back from the clipboard.
#include "tests/support/bytes.h"
#include "tests/support/harness.h"

#include <gtest/gtest.h>

#include <time.h>

namespace {

struct ZipEntry {
    std::string name;
    uint16_t flags;
    uint16_t method;
    uint32_t crc;
    uint32_t packed;
    uint32_t original;
    std::string extra;
};

// A ZIP file that holds only what a listing reads: a local header's
// signature at its start (or the given members), the central directory and
// the end record.
std::string ZipFile(const std::vector<ZipEntry>& entries,
                    const std::string& local = "PK\x03\x04" + std::string(26, '\0')) {
    std::string directory;
    for (const ZipEntry& e : entries) {
        directory += Test_Le32(0x02014B50) + Test_Le16(20) + Test_Le16(20) + Test_Le16(e.flags) +
                     Test_Le16(e.method) + Test_Le16(0x5000) + Test_Le16(0x58B1) +
                     Test_Le32(e.crc) + Test_Le32(e.packed) + Test_Le32(e.original) +
                     Test_Le16(static_cast<uint16_t>(e.name.size())) +
                     Test_Le16(static_cast<uint16_t>(e.extra.size())) + Test_Le16(0) +
                     Test_Le16(0) + Test_Le16(0) + Test_Le32(0) + Test_Le32(0) + e.name + e.extra;
    }
    return local + directory + Test_Le32(0x06054B50) + Test_Le16(0) + Test_Le16(0) +
           Test_Le16(static_cast<uint16_t>(entries.size())) +
           Test_Le16(static_cast<uint16_t>(entries.size())) +
           Test_Le32(static_cast<uint32_t>(directory.size())) +
           Test_Le32(static_cast<uint32_t>(local.size())) + Test_Le16(0);
}

std::string LocalText(time_t t) {
    char text[32];
    strftime(text, sizeof text, "%Y-%m-%d %H:%M:%S", localtime(&t));
    return text;
}

class ZipPlugin : public ::testing::Test {
  protected:
    void SetUp() override {
        ASSERT_TRUE(Test_MakeShippedSandbox("qxzip", &box));
    }
    void TearDown() override {
        Test_RemoveSandbox(box);
    }
    Sandbox box;
};

TEST_F(ZipPlugin, ListsTheSampleArchive) {
    std::string sample = Test_BuildPath("samples\\sample.zip");
    EXPECT_EQ(Test_RunTail(box.exe, sample), 1);
    EXPECT_EQ(Test_ClipboardText(),
              "Listing of archive : " + Test_Slashed(sample) +
                  "\r\n\r\n Original   Packed     Ratio     Date     Time      Type   CRC    "
                  "Name\r\n" +
                  TEST_RULE +
                  "\r\n      1000         36    3.6% 2024-05-17 10:30:00 Deflate  64EAD101  "
                  "readme.txt"
                  "\r\n         0          0    0.0% 2024-05-17 10:30:00  Stored  0000  docs/"
                  "\r\n      2900         56    1.9% 2024-05-17 10:30:00 Deflate  5B807F0A  "
                  "docs/guide.txt"
                  "\r\n         4          4  100.0% 2024-05-17 10:30:00  Stored  8BB98613  "
                  "docs/tiny.dat"
                  "\r\n     28854        501    1.7% 2024-05-17 10:30:00 Deflate  38802E4B  "
                  "images/sample.bmp\r\n" +
                  TEST_RULE +
                  "\r\n     32758        597    1.8%                                     5 "
                  "files\r\n");
}

TEST_F(ZipPlugin, TimesNamesMethodsAndWideSizes) {
    std::string utcTime = Test_Le16(0x5455) + Test_Le16(5) + "\x01" + Test_Le32(1000000000);
    std::string ntfsTime =
        Test_Le16(0x000A) + Test_Le16(32) + Test_Le32(0) + Test_Le16(1) + Test_Le16(24) +
        Test_Le64(116444736000000000ull + 1100000000ull * 10000000) + Test_Le64(0) + Test_Le64(0);
    std::string wide =
        Test_Le16(0x0001) + Test_Le16(16) + Test_Le64(5000000000ull) + Test_Le64(4000000000ull);
    std::string file = box.prog + "\\made.zip";
    Test_WriteFile(file, ZipFile({
                             {"a/b/utc.txt", 0, 8, 0xABCDEF, 10, 20, utcTime},
                             {"ntfs.txt", 0, 0, 1, 5, 5, ntfsTime},
                             {"d/\xC3\xBC.txt", 0x800, 77, 2, 1, 1, ""},
                             {"big.iso", 0, 8, 3, 0xFFFFFFFF, 0xFFFFFFFF, wide},
                         }));
    EXPECT_EQ(Test_RunTail(box.exe, file), 1);
    std::string text = Test_ClipboardText();
    size_t start = text.find(TEST_RULE) + sizeof TEST_RULE - 1;
    EXPECT_EQ(text.substr(start, text.rfind(TEST_RULE) - start),
              "\r\n        20         10   50.0% " + LocalText(1000000000) +
                  " Deflate  ABCDEF  a/b/utc.txt"
                  "\r\n         5          5  100.0% " +
                  LocalText(1100000000) +
                  "  Stored  0001  ntfs.txt"
                  "\r\n         1          1  100.0% 2024-05-17 10:00:00   M77    0002  d/\xFC.txt"
                  "\r\n5000000000 4000000000   80.0% 2024-05-17 10:00:00 Deflate  0003  big.iso"
                  "\r\n");
}

TEST_F(ZipPlugin, DeclinesWhatIsNoZip) {
    struct Case {
        const char* name;
        std::string content;
        long exitCode;
        const char* footerCount;
    };
    std::string noEnd = ZipFile({{"x", 0, 0, 0, 1, 1, ""}});
    noEnd.resize(noEnd.size() - 22);
    const Case cases[] = {
        {"not a zip", "MZ just bytes", 0, nullptr},
        {"no end record", noEnd, 0, nullptr},
        {"empty archive", ZipFile({}), 1, "0 files"},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        Test_SetClipboardSentinel();
        std::string file = box.prog + "\\case.zip";
        Test_WriteFile(file, c.content);
        EXPECT_EQ(Test_RunTail(box.exe, file), c.exitCode);
        std::string text = Test_ClipboardText();
        if (c.footerCount == nullptr) {
            EXPECT_EQ(text, TEST_SENTINEL);
        } else {
            EXPECT_EQ(text.substr(text.size() - 9), std::string(c.footerCount) + "\r\n");
        }
    }
}

// A stored member's data may look like a file another plug-in knows 128
// bytes in: the plug-in that knows the file from its start takes it.
TEST_F(ZipPlugin, AnArchiveWhoseFirstMemberIsAPictureIsListed) {
    ASSERT_TRUE(Test_CopyShipped("qxbmp", box.prog));
    std::string bmp = "BM" + Test_Le32(58) + Test_Le32(0) + Test_Le32(54) + Test_Le32(40) +
                      Test_Le32(1) + Test_Le32(1) + Test_Le16(1) + Test_Le16(24) +
                      std::string(24, '\0') + "\x10\x20\x30\x00";
    std::string name(98, 'n');
    std::string local =
        "PK\x03\x04" + std::string(22, '\0') + Test_Le16(98) + Test_Le16(0) + name + bmp;
    ASSERT_EQ(local.substr(128, 2), "BM");
    std::string file = box.prog + "\\member.zip";
    Test_WriteFile(file, ZipFile({{name, 0, 0, 0x1234, 58, 58, ""}}, local));
    EXPECT_EQ(Test_RunTail(box.exe, file), 1);
    std::string text = Test_ClipboardText();
    EXPECT_NE(text.find("  Stored  1234  " + name + "\r\n"), std::string::npos) << text;
}

} // namespace
