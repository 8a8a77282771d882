// The shipped ZIP plug-in, through the program: an archive named on the
// command line, its listing read back from the clipboard.
#include "plugin/spi.h"
#include "tests/support/records.h"
#include "tests/support/harness.h"

#include <gtest/gtest.h>

#include <time.h>

namespace {

std::string ZipFile(const std::vector<TestZipEntry>& entries,
                    const std::string& local = "PK\x03\x04" + std::string(26, '\0')) {
    return Test_Zip(entries, local);
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
    // Runs the program on an archive over a sentinel; the clipboard's text.
    std::string ListingOf(const std::string& content, long exitCode) {
        Test_SetClipboardSentinel();
        std::string file = box.prog + "\\case.zip";
        Test_WriteFile(file, content);
        EXPECT_EQ(Test_RunTail(box.exe, file), exitCode);
        return Test_ClipboardText();
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
    auto ntfs = [](uint64_t seconds) {
        return Test_Le16(0x000A) + Test_Le16(32) + Test_Le32(0) + Test_Le16(1) + Test_Le16(24) +
               Test_Le64(116444736000000000ull + seconds * 10000000) + Test_Le64(0) + Test_Le64(0);
    };
    const uint64_t in2040 = 2208988800; // 2040-01-01 00:00:00 UTC
    std::string wide =
        Test_Le16(0x0001) + Test_Le16(16) + Test_Le64(5000000000ull) + Test_Le64(4000000000ull);
#ifdef _WIN64
    const char* bigLine = "\r\n5000000000 4000000000   80.0%";
    const std::string shown2040 = LocalText(static_cast<time_t>(in2040));
#else
    // A 32-bit record holds no time past January 2038: the latest it holds.
    const std::string shown2040 = LocalText(INT32_MAX);
    // A 32-bit record holds no size past 4 GiB: the largest it holds shows.
    const char* bigLine = "\r\n4294967295 4000000000   93.1%";
#endif
    std::string file = box.prog + "\\made.zip";
    Test_WriteFile(file, ZipFile({
                             {"a/b/utc.txt", 0, 8, 0xABCDEF, 10, 20, utcTime},
                             {"ntfs.txt", 0, 0, 1, 5, 5, ntfs(1100000000)},
                             {"2040.txt", 0, 0, 4, 5, 5, ntfs(in2040)},
                             {"d/\xC3\xBC.txt", 0x800, 77, 2, 1, 1, ""},
                             {"big.iso", 0, 8, 3, 0xFFFFFFFF, 0xFFFFFFFF, wide},
                         }));
    EXPECT_EQ(Test_RunTail(box.exe, file), 1);
    std::string text = Test_ClipboardText();
    size_t start = text.find(TEST_RULE) + sizeof TEST_RULE - 1;
    EXPECT_EQ(
        text.substr(start, text.rfind(TEST_RULE) - start),
        "\r\n        20         10   50.0% " + LocalText(1000000000) +
            " Deflate  ABCDEF  a/b/utc.txt"
            "\r\n         5          5  100.0% " +
            LocalText(1100000000) +
            "  Stored  0001  ntfs.txt"
            "\r\n         5          5  100.0% " +
            shown2040 +
            "  Stored  0004  2040.txt"
            "\r\n         1          1  100.0% 2024-05-17 10:00:00   M77    0002  d/\xFC.txt" +
            bigLine + " 2024-05-17 10:00:00 Deflate  0003  big.iso\r\n");
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
        std::string text = ListingOf(c.content, c.exitCode);
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

// The same archive with a comment after its end record.
std::string WithComment(std::string zip, const std::string& comment) {
    zip.replace(zip.size() - 2, 2, Test_Le16(static_cast<uint16_t>(comment.size())));
    return zip + comment;
}

TEST_F(ZipPlugin, DamagedOrDeceivingArchives) {
    std::vector<TestZipEntry> three = {
        {"a.txt", 0, 0, 1, 1, 1, ""}, {"b.txt", 0, 0, 2, 1, 1, ""}, {"c.txt", 0, 0, 3, 1, 1, ""}};
    std::string badSignature = ZipFile(three);
    badSignature[badSignature.find("PK\x01\x02", 40) + 3] = '\x09';
    std::string overrun = ZipFile(three);
    overrun.replace(overrun.find("PK\x01\x02") + 28, 2, Test_Le16(500));
    // A second directory and end record inside the real one's comment.
    std::string real = ZipFile({{"real.exe", 0, 0, 7, 1, 1, ""}});
    std::string decoy = ZipFile({{"decoy.txt", 0, 0, 8, 1, 1, ""}});
    std::string decoyDirectory = decoy.substr(30, decoy.size() - 30 - 22);
    std::string decoyEnd = decoy.substr(decoy.size() - 22);
    decoyEnd.replace(16, 4, Test_Le32(static_cast<uint32_t>(real.size())));
    std::string hidden = WithComment(real, decoyDirectory + decoyEnd + "more comment");
    // Names longer than a field once converted are cut between characters.
    std::string longName;
    for (int i = 0; i < 250; ++i) {
        longName += "\xC3\xA9";
    }
    struct Case {
        const char* name;
        std::string content;
        long exitCode;
        std::string names; // the listing's names, or empty: nothing placed
    };
    const Case cases[] = {
        {"a bad directory header", badSignature, 0, ""},
        {"a name running past the directory", overrun, 0, ""},
        {"an end record inside the comment", hidden, 1, "real.exe"},
        {"an end record with a comment", WithComment(real, "just a comment"), 1, "real.exe"},
        {"a UTF-8 name of 250 characters", ZipFile({{longName, 0x800, 0, 9, 1, 1, ""}}), 1,
         std::string(199, '\xE9')},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        std::string text = ListingOf(c.content, c.exitCode);
        if (c.names.empty()) {
            EXPECT_EQ(text, TEST_SENTINEL);
            continue;
        }
        std::string names;
        for (size_t at = text.find("  Stored  "); at != std::string::npos;
             at = text.find("  Stored  ", at + 1)) {
            size_t start = at + 16;
            names += text.substr(start, text.find("\r\n", start) - start);
        }
        EXPECT_EQ(names, c.names);
    }
}

// The plug-in asked in this process: the records it hands back. ctest runs
// this once as it is (1252) and once under LC_ALL=ja_JP.UTF-8 (932).
TEST(ZipRecords, NamesAreSplitBetweenCharacters) {
    char expectedCodePage[16] = {};
    if (GetEnvironmentVariableA("QX_EXPECT_ACP", expectedCodePage, sizeof expectedCodePage)) {
        ASSERT_EQ(GetACP(), static_cast<UINT>(atoi(expectedCodePage)));
    }
    std::string path = Test_BuildPath("bin\\plugins\\qxzip") + TEST_SHIPPED_SUFFIX;
    HMODULE plugin = LoadLibraryA(path.c_str());
    ASSERT_NE(plugin, nullptr) << path;
    auto getArchiveInfo = reinterpret_cast<GetArchiveInfoProc>(Spi_Entry(plugin, "GetArchiveInfo"));
    ASSERT_NE(getArchiveInfo, nullptr);
    // The entry was made on MS-DOS: its name is in the OEM code page. 0x95
    // 0x5C is one character in code page 932 (the second byte is no
    // backslash there); in 437 a character (U+00F2, 0xF2 in 1252) and a
    // backslash.
    std::string zip = ZipFile({{"d/\x95\x5C"
                                "a.txt",
                                0, 0, 1, 1, 1, ""}});
    HLOCAL block = nullptr;
    ASSERT_EQ(getArchiveInfo(zip.data(), static_cast<SpiWord>(zip.size()), 1, &block), 0);
    ASSERT_NE(block, nullptr);
    const auto* entries = static_cast<const ArchiveEntryInfo*>(LocalLock(block));
    bool dbcs = GetACP() == 932;
    EXPECT_EQ(std::string(entries[0].path), dbcs ? "d\\" : "d\\\xF2\\");
    EXPECT_EQ(std::string(entries[0].filename), dbcs ? "\x95\x5C"
                                                       "a.txt"
                                                     : "a.txt");
    EXPECT_EQ(entries[1].method[0], '\0');
    LocalUnlock(block);
    LocalFree(block);
    FreeLibrary(plugin);
}

} // namespace
