// The archive listing, end to end: the program run under Wine on a file the
// archive fixture lists, the CF_TEXT read back byte for byte.
#include "clipboard/clipboard.h"
#include "plugin/spi.h"
#include "tests/support/records.h"
#include "tests/support/harness.h"

#include <gtest/gtest.h>

#include <time.h>

namespace {

ArchiveEntryInfo Entry(const char* method, SpiSize original, SpiSize packed, SpiTime time,
                       const char* path, const char* name, uint32_t crc) {
    return Test_Entry(method, original, packed, time, path, name, crc);
}

SpiTime Local(int year, int month, int day, int hour, int minute, int second) {
    struct tm t = {};
    t.tm_year = year - 1900;
    t.tm_mon = month - 1;
    t.tm_mday = day;
    t.tm_hour = hour;
    t.tm_min = minute;
    t.tm_sec = second;
    t.tm_isdst = -1;
    return static_cast<SpiTime>(mktime(&t));
}

const SpiTime T2003 = Local(2003, 1, 20, 9, 0, 0);

// The fixture's file: the entry block's bytes as the plug-in hands them back;
// without the closing record, in a block with junk past its end.
std::string ArchiveFile(const std::vector<ArchiveEntryInfo>& entries, bool closed = true,
                        size_t extraBytes = 0) {
    std::string bytes =
        std::string("FXAR") + std::string(1, closed ? '\0' : '\3') + std::string(3, '\0');
    for (const ArchiveEntryInfo& e : entries) {
        bytes.append(reinterpret_cast<const char*>(&e), sizeof e);
    }
    if (closed) {
        bytes.append(sizeof(ArchiveEntryInfo), '\0');
    }
    bytes.append(extraBytes, 'x');
    return bytes;
}

std::string Head(const std::string& slashedPath) {
    return "Listing of archive : " + slashedPath +
           "\r\n\r\n Original   Packed     Ratio     Date     Time      Type   CRC    Name\r\n" +
           TEST_RULE;
}

class Listing : public ::testing::Test {
  protected:
    void SetUp() override {
        box = Test_MakeSandbox({"arc.spi"});
        file = box.reg + "\\archive.fxar";
    }
    void TearDown() override {
        Test_RemoveSandbox(box);
    }
    // The listing's entry lines, between the header and the closing rule.
    std::string Lines(const std::string& content) {
        Test_WriteFile(file, content);
        EXPECT_EQ(Test_RunTail(box.exe, file), 1);
        std::string text = Test_ClipboardText();
        std::string head = Head(Test_Slashed(file));
        if (text.compare(0, head.size(), head) != 0) {
            return "unexpected head: " + text;
        }
        size_t end = text.find(std::string("\r\n") + TEST_RULE + "\r\n", head.size());
        return text.substr(head.size(), end - head.size());
    }
    std::string Footer() {
        std::string text = Test_ClipboardText();
        size_t rule = text.rfind(TEST_RULE);
        return rule == std::string::npos ? text : text.substr(rule + sizeof TEST_RULE - 1);
    }
    Sandbox box;
    std::string file;
};

TEST_F(Listing, WorkedExampleByteForByte) {
    CreateDirectoryA("C:\\data", nullptr);
    std::string path = "C:\\data\\sample.lzh";
    Test_WriteFile(path, ArchiveFile({
                             Entry("-lh5-", 800, 321, Local(2003, 10, 5, 14, 3, 9), "docs\\",
                                   "readme.txt", 0x1A2B),
                             Entry("-lh0-", 120, 120, T2003, "", "tiny.dat", 0xFF),
                         }));
    EXPECT_EQ(Test_RunTail(box.exe, path), 1);
    const std::string expected =
        "Listing of archive : C:/data/sample.lzh\r\n"
        "\r\n"
        " Original   Packed     Ratio     Date     Time      Type   CRC    Name\r\n"
        "---------- ---------- ------- ---------- -------- -------- ----  "
        "------------------------------\r\n"
        "       800        321   40.1% 2003-10-05 14:03:09  -lh5-   1A2B  docs/readme.txt\r\n"
        "       120        120  100.0% 2003-01-20 09:00:00  -lh0-   00FF  tiny.dat\r\n"
        "---------- ---------- ------- ---------- -------- -------- ----  "
        "------------------------------\r\n"
        "       920        441   47.9%                                     2 files\r\n";
    EXPECT_EQ(Test_ClipboardText(), expected);
    // The same text in UTF-16 beside it.
    EXPECT_EQ(Test_ClipboardUnicode(), Test_Wide(expected));
    DeleteFileA(path.c_str());
    RemoveDirectoryA("C:\\data");
}

TEST_F(Listing, RatiosAndTotals) {
    struct Case {
        SpiSize packed;
        SpiSize original;
        const char* line;
    };
    const Case cases[] = {
        {0, 0, "         0          0    0.0%"},
        {5, 0, "         0          5    0.0%"},
        {103, 795, "       795        103   13.0%"},
        {3000000, 6000000, "   6000000    3000000   50.0%"},
        {120, 120, "       120        120  100.0%"},
        {3, 2, "         2          3  150.0%"},
        {2, 3, "         3          2   66.7%"},
        {1, 2000, "      2000          1    0.1%"},
        {1, 20001, "     20001          1    0.0%"},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.line);
        std::string lines =
            Lines(ArchiveFile({Entry("m", c.original, c.packed, T2003, "", "f", 0)}));
        EXPECT_EQ(lines.substr(0, 31), std::string("\r\n") + c.line);
        EXPECT_EQ(Footer(), std::string("\r\n") + c.line +
                                "                                     1 files\r\n");
    }
}

TEST_F(Listing, TypeAndCrcColumns) {
    struct Case {
        const char* method;
        uint32_t crc;
        const char* columns;
    };
    const Case cases[] = {
        {"ABCDEFGH", 0, "ABCDEFGH 0000  "},
        {"abc", 0x5, "  abc    0005  "},
        {"-lh5-", 0xFFFF, " -lh5-   FFFF  "},
        {"x", 0x12345, "   x     12345  "},
        {"Deflate", 0xDEADBEEF, "Deflate  DEADBEEF  "},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.method);
        std::string lines = Lines(ArchiveFile({Entry(c.method, 1, 1, T2003, "", "name", c.crc)}));
        EXPECT_EQ(lines.substr(52), std::string(c.columns) + "name");
    }
}

TEST_F(Listing, EntryCounts) {
    struct Case {
        const char* fixture;
        std::string content;
        std::string lines;
        const char* footer;
    };
    std::string empty =
        "         0          0    0.0%                                     0 files\r\n";
    const Case cases[] = {
        {"arc.spi", ArchiveFile({}), "", empty.c_str()},
        {"arc.spi", std::string("FXAR") + std::string(1, '\2') + std::string(3, '\0'), "",
         empty.c_str()},
        {"noarc.spi", ArchiveFile({Entry("m", 1, 1, T2003, "", "f", 0)}), "", empty.c_str()},
        {"arc.spi", ArchiveFile({Entry("m", 7, 7, T2003, "", "f", 0)}),
         "\r\n         7          7  100.0% 2003-01-20 09:00:00    m     0000  f",
         "         7          7  100.0%                                     1 files\r\n"},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.fixture);
        Test_RemoveSandbox(box);
        box = Test_MakeSandbox({c.fixture});
        file = box.reg + "\\archive.fxar";
        EXPECT_EQ(Lines(c.content), c.lines);
        EXPECT_EQ(Footer(), std::string("\r\n") + c.footer);
    }
}

TEST_F(Listing, SlashesInPathsButNotInFileNames) {
    std::string lines = Lines(ArchiveFile({Entry("m", 1, 1, T2003, "a\\b\\", "c\\d.txt", 0)}));
    EXPECT_EQ(lines.substr(52), "   m     0000  a/b/c\\d.txt");
}

// The program runs in the code page of the process that starts it: ctest
// runs this test once as it is (1252) and once under LC_ALL=ja_JP.UTF-8,
// with QX_EXPECT_ACP=932.
TEST_F(Listing, DoubleByteCharactersKeepTheirSecondByte) {
    char expectedCodePage[16] = {};
    if (GetEnvironmentVariableA("QX_EXPECT_ACP", expectedCodePage, sizeof expectedCodePage)) {
        ASSERT_EQ(GetACP(), static_cast<UINT>(atoi(expectedCodePage)));
    }
    // 0x95 0x5C is one character in code page 932; elsewhere two.
    const char path[] = "a\\\x95\x5C\\b\\";
    std::string shown = GetACP() == 932 ? "a/\x95\x5C/b/" : "a/\x95//b/";
    std::string lines = Lines(ArchiveFile({Entry("m", 1, 1, T2003, path, "f\\g", 0)}));
    EXPECT_EQ(lines.substr(67), shown + "f\\g");
    // CF_UNICODETEXT is CF_TEXT as the code page reads it: one character for
    // the two bytes under 932.
    std::wstring wide = Test_ClipboardUnicode();
    EXPECT_EQ(wide.substr(wide.find(L"0000  ") + 6,
                          wide.find(L"\r\n---", wide.find(L"0000  ")) - wide.find(L"0000  ") - 6),
              Test_FromAnsi(shown + "f\\g"));
}

TEST_F(Listing, SizesOfTwoGigabytesAndMoreAreNotNegative) {
    std::string lines = Lines(ArchiveFile({
        Entry("m", 3000000000u, 2147483648u, T2003, "", "big", 0),
        Entry("m", 4294967295u, 0, T2003, "", "max", 0),
    }));
    EXPECT_EQ(lines.substr(0, 31), "\r\n3000000000 2147483648   71.6%");
    EXPECT_EQ(lines.substr(lines.rfind("\r\n"), 31), "\r\n4294967295          0    0.0%");
    // The totals are 64-bit on both targets.
    EXPECT_EQ(Footer().substr(0, 31), "\r\n7294967295 2147483648   29.4%");
}

TEST_F(Listing, WalkStaysInsideTheEntryBlock) {
    struct Case {
        const char* name;
        size_t extraBytes;
    };
    const Case cases[] = {{"no closing record", 0}, {"half a record after the last", 200}};
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        std::string lines = Lines(ArchiveFile(
            {Entry("m", 1, 1, T2003, "", "one", 0), Entry("m", 2, 1, T2003, "", "two", 0)}, false,
            c.extraBytes));
        EXPECT_EQ(std::count(lines.begin(), lines.end(), '\n'), 2);
        EXPECT_EQ(Footer().substr(Footer().size() - 9), "2 files\r\n");
    }
}

TEST_F(Listing, ChoicesWhereTheColumnsCannotHoldTheValue) {
#ifdef _WIN64
    const SpiSize huge = SpiSize{1} << 40;
    const std::string hugeColumns = "         1 1099511627776 109951162777600.0%";
#else
    const SpiSize huge = 4294967295u;
    const std::string hugeColumns = "         1 4294967295 429496729500.0%";
#endif
    std::string lines = Lines(ArchiveFile({
        Entry("m", 1, 1, -1, "", "before 1970", 0),
        Entry("m", 1, huge, T2003, "", "huge ratio", 0),
    }));
    EXPECT_EQ(lines, "\r\n         1          1  100.0% ---------- --------    m     0000  "
                     "before 1970\r\n" +
                         hugeColumns + " 2003-01-20 09:00:00    m     0000  huge ratio");
}

TEST_F(Listing, FieldsWithoutTerminatorAreCutAt200Bytes) {
    ArchiveEntryInfo e = Entry("m", 1, 1, T2003, "", "", 0);
    memset(e.path, 'p', sizeof e.path);
    memset(e.filename, 'f', sizeof e.filename);
    std::string lines = Lines(ArchiveFile({e}));
    EXPECT_EQ(lines.substr(67), std::string(200, 'p') + std::string(200, 'f'));
}

// A listing the clipboard does not take is a failure: the run ends with 0
// (after waiting about a second for the clipboard).
TEST_F(Listing, RefusedClipboardEndsWithZero) {
    Test_WriteFile(file, ArchiveFile({Entry("m", 1, 1, T2003, "", "f", 0)}));
    HWND owner =
        CreateWindowExA(0, "STATIC", "", 0, 0, 0, 0, 0, HWND_MESSAGE, nullptr, nullptr, nullptr);
    ASSERT_TRUE(Clipboard_Open(owner));
    long code = Test_RunTail(box.exe, file);
    CloseClipboard();
    DestroyWindow(owner);
    EXPECT_EQ(code, 0);
    EXPECT_EQ(Test_ClipboardText(), TEST_SENTINEL);
}

TEST_F(Listing, FailedReadsAndArchivesFurtherOn) {
    struct Case {
        const char* name;
        std::string content;
        long exitCode;
        const char* call;
        const char* shown; // the entry line's name, or null: nothing placed
    };
    std::string listed = ArchiveFile({Entry("m", 1, 1, T2003, "", "kept", 0)});
    std::string failed = listed;
    failed[4] = '\4';
    std::string failedWithEntries = listed;
    failedWithEntries[4] = '\5';
    const Case cases[] = {
        {"the plug-in fails and hands back nothing", failed, 0,
         "arc.spi GetArchiveInfo 0\narc.spi IsSupported ....\n", nullptr},
        {"the plug-in fails but hands back entries", failedWithEntries, 1,
         "arc.spi GetArchiveInfo 0\n", "kept"},
        {"an archive 128 bytes into the file", std::string(128, 'j') + listed, 1,
         "arc.spi IsSupported FXAR\narc.spi GetArchiveInfo 128\n", "kept"},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        Test_ClearLog();
        Test_SetClipboardSentinel();
        Test_WriteFile(file, c.content);
        EXPECT_EQ(Test_RunTail(box.exe, file), c.exitCode);
        std::string log = Test_ReadLog();
        EXPECT_EQ(log.substr(log.find('\n') + 1), c.call);
        std::string text = Test_ClipboardText();
        if (c.shown == nullptr) {
            EXPECT_EQ(text, TEST_SENTINEL);
        } else {
            EXPECT_NE(text.find(std::string("0000  ") + c.shown + "\r\n"), std::string::npos)
                << text;
        }
    }
}

TEST_F(Listing, AQuotedPathIsListedWithoutItsQuotes) {
    std::string spaced = box.reg + "\\an archive.fxar";
    Test_WriteFile(spaced, ArchiveFile({}));
    EXPECT_EQ(Test_RunTail(box.exe, "\"" + spaced + "\""), 1);
    EXPECT_EQ(Test_ClipboardText().substr(0, 21 + spaced.size() + 2),
              "Listing of archive : " + Test_Slashed(spaced) + "\r\n");
}

// A name cannot end its line and forge the next: control characters show
// as '?'.
TEST_F(Listing, ControlCharactersInNamesCannotForgeLines) {
    std::string lines = Lines(ArchiveFile({
        Entry("m", 1, 1, T2003, "d\r\n\t\\", "a\r\n       999        999  100.0% fake", 0),
    }));
    EXPECT_EQ(lines, "\r\n         1          1  100.0% 2003-01-20 09:00:00    m     0000  "
                     "d??\?/a??       999        999  100.0% fake");
}

} // namespace
