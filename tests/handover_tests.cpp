// Plug-ins of both widths in one folder: each file's width read from its
// header; the other width's files never asked; and when none of the
// program's own plug-ins takes the file, the hand-over to the partner
// program, started as a worker on the run's block. This lane runs programs
// of one width only, so the hand-over is run by the tests' build of the
// program (fixtures\quorlex_partnered.exe), which takes a partner of its
// own width, with a stand-in worker that logs what it was given and ends as
// QX_PARTNER_DOES says. The run trusts nothing it wrote.
#include "plugin/registry.h"
#include "tests/support/records.h"
#include "tests/support/harness.h"

#include <gtest/gtest.h>

namespace {

#ifdef _WIN64
const char PARTNER[] = "quorlex.exe";
#else
const char PARTNER[] = "quorlex64.exe";
#endif

// The lines of the log that the partner wrote.
std::string PartnerLines(const std::string& log) {
    std::string kept;
    size_t start = 0;
    while (start < log.size()) {
        size_t end = log.find('\n', start);
        end = end == std::string::npos ? log.size() : end + 1;
        if (log.compare(start, 8, "partner ") == 0) {
            kept += log.substr(start, end - start);
        }
        start = end;
    }
    return kept;
}

TEST(Width, ReadFromEachFilesHeader) {
    std::string dir = Test_FreshDir("widths");
    struct Case {
        const char* name;
        std::string from; // copied as `name`; empty: `bytes` written
        std::string bytes;
        uint16_t machine;
    };
    const Case cases[] = {
        {"x86 qxbmp.spi", Test_BuildPath("..\\x86\\bin\\plugins\\qxbmp.spi"), "", MACHINE_X86},
        {"x64 qxbmp.sph", Test_BuildPath("..\\x64\\bin\\plugins\\qxbmp.sph"), "", MACHINE_X64},
        {"x64 named.spi", Test_BuildPath("..\\x64\\bin\\plugins\\qxbmp.sph"), "", MACHINE_X64},
        {"text.spi", "", "00IN is what this plug-in would say", 0},
        {"far.spi", "", "MZ" + std::string(58, '\0') + Test_Le32(0x7FFFFFF0), 0},
        {"nope.spi", "", "MZ" + std::string(58, '\0') + Test_Le32(64) + "NE\0\0\x4c\x01", 0},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        std::string path = dir + "\\" + c.name;
        ASSERT_TRUE(c.from.empty() ? Test_WriteFile(path, c.bytes)
                                   : CopyFileA(c.from.c_str(), path.c_str(), FALSE) != 0);
        EXPECT_EQ(Plugin_FileMachine(Test_Wide(path).c_str()), c.machine);
    }
    Test_RemoveDir(dir);
}

TEST(HandOver, ToThePartnerWhenNoneOfTheProgramsOwnTookTheFile) {
    struct Case {
        const char* name;
        bool otherWidth;     // a plug-in file of the other width lies in the folder
        bool taken;          // the file is one the program's own plug-in takes
        const char* partner; // beside the program under the partner's name: "stand-in",
                             // "text", or null: nothing
        const char* does;    // what the stand-in does (QX_PARTNER_DOES)
        long exitCode;
        int started; // how many times the partner was started
        const char* clipboard;
    };
    const char* kept = TEST_SENTINEL;
    const Case cases[] = {
        {"an own plug-in took it", true, true, "stand-in", "listed", 1, 0, nullptr},
        {"none took it, the partner placed a listing", true, false, "stand-in", "listed", 1, 1,
         "partner's listing"},
        {"none took it, nor did the partner's", true, false, "stand-in", "nothing", 0, 1, kept},
        {"a partner that names a taker never listed", true, false, "stand-in", "decoded", 0, 3,
         kept},
        {"a partner that writes nonsense", true, false, "stand-in", "nonsense", 0, 3, kept},
        {"a partner that dies at once, three times", true, false, "stand-in", "dies", 0, 3, kept},
        {"no file of the other width", false, false, "stand-in", "listed", 0, 0, kept},
        {"no partner", true, false, nullptr, "listed", 0, 0, kept},
        {"a partner that is no program", true, false, "text", "listed", 0, 0, kept},
    };
    const std::string name = "a file \xE8\xA1\xA8\xE7\xA4\xBA \xF0\x9F\x98\x80.dat";
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        Sandbox box = Test_MakeSandbox({"img.spi"});
        std::string exe = box.prog + "\\qx.exe";
        ASSERT_TRUE(CopyFileA(Test_BuildPath("fixtures\\quorlex_partnered.exe").c_str(),
                              exe.c_str(), FALSE));
        std::string partner = box.prog + "\\" + PARTNER;
        if (c.partner != nullptr && strcmp(c.partner, "stand-in") == 0) {
            ASSERT_TRUE(Test_CopyFixture("partner.exe", partner));
        } else if (c.partner != nullptr) {
            ASSERT_TRUE(Test_WriteFile(partner, "MZ, but no program"));
        }
        if (c.otherWidth) {
            ASSERT_TRUE(Test_CopyAsMachine(Test_BuildPath("fixtures\\all.spi"),
                                           box.reg + "\\other.spi", PLUGIN_OTHER_MACHINE));
        }
        std::wstring file = Test_FromUtf8(box.reg) + L"\\" + Test_FromUtf8(name);
        ASSERT_TRUE(Test_WriteFileW(file, c.taken ? Test_SmallPictureFile() : "data"));
        SetEnvironmentVariableA("QX_PARTNER_DOES", c.does);
        std::wstring wideExe = Test_FromUtf8(exe);
        EXPECT_EQ(Test_RunWide(wideExe, L"\"" + wideExe + L"\" " + file), c.exitCode);
        SetEnvironmentVariableA("QX_PARTNER_DOES", nullptr);
        std::string log = Test_ReadLog();
        std::string starts;
        for (int i = 0; i < c.started; ++i) {
            starts += "partner 0:0 img.spi other.spi\n";
        }
        EXPECT_EQ(PartnerLines(log), starts);
        // The program's own plug-in was asked, and only it.
        EXPECT_EQ(log.find("img.spi IsSupported"), 0u);
        EXPECT_EQ(log.find("other.spi IsSupported"), std::string::npos);
        if (c.clipboard != nullptr) {
            EXPECT_EQ(Test_ClipboardText(), c.clipboard);
        }
        Test_RemoveSandbox(box);
    }
}

// The programs users get never take one of their own width for the
// partner, not even the program itself under the partner's name: the x64
// program is quorlex.exe, the x86 one's partner name; each is asked once.
TEST(HandOver, AProgramNeverStartsItself) {
    Sandbox box = Test_MakeSandbox({"none.spi"});
    std::string self = box.prog + "\\" + PARTNER;
    if (self != box.exe) {
        ASSERT_TRUE(CopyFileA(box.exe.c_str(), self.c_str(), FALSE));
    }
    ASSERT_TRUE(Test_CopyAsMachine(Test_BuildPath("fixtures\\all.spi"), box.reg + "\\other.spi",
                                   PLUGIN_OTHER_MACHINE));
    std::string file = box.reg + "\\file.dat";
    Test_WriteFile(file, "data");
    for (const std::string& exe : {box.exe, self}) {
        SCOPED_TRACE(exe);
        Test_ClearLog();
        EXPECT_EQ(Test_RunTail(exe, file), 0);
        EXPECT_EQ(Test_ReadLog(), "none.spi IsSupported data\nnone.spi IsSupported ....\n");
    }
    Test_RemoveSandbox(box);
}

} // namespace
