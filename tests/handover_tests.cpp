// Plug-ins of both widths in one folder: each file's width read from its
// header; the other width's files never asked; and when none of the
// program's own plug-ins takes the file, the hand-over to the partner
// program. This lane runs programs of one width only, so the hand-over is
// run by the tests' build of the program (fixtures\quorlex_partnered.exe),
// which takes a partner of its own width, with a stand-in partner that
// logs how it was started and ends with the code QX_PARTNER_EXIT names.
#include "plugin/search.h"
#include "tests/support/records.h"
#include "tests/support/harness.h"

#include <gtest/gtest.h>

namespace {

#ifdef _WIN64
const char PARTNER[] = "quorlex.exe";
#else
const char PARTNER[] = "quorlex64.exe";
#endif

// A copy of a file whose PE header says `machine`.
bool Test_CopyAsMachine(const std::string& from, const std::string& to, uint16_t machine) {
    std::string bytes = Test_ReadFile(from);
    if (bytes.size() < 64) {
        return false;
    }
    uint32_t at;
    memcpy(&at, &bytes[0x3C], 4);
    if (at + 6 > bytes.size()) {
        return false;
    }
    memcpy(&bytes[at + 4], &machine, 2);
    return Test_WriteFile(to, bytes);
}

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
        const char* partnerExit;
        bool handedOver; // this run was itself handed the file
        long exitCode;
        bool started;
    };
    const Case cases[] = {
        {"an own plug-in took it", true, true, "stand-in", "0", false, 1, false},
        {"none took it, the partner ends with 1", true, false, "stand-in", "1", false, 1, true},
        {"none took it, the partner ends with 0", true, false, "stand-in", "0", false, 0, true},
        {"the partner ends with 7", true, false, "stand-in", "7", false, 0, true},
        {"no file of the other width", false, false, "stand-in", "1", false, 0, false},
        {"no partner", true, false, nullptr, "1", false, 0, false},
        {"a partner that is no program", true, false, "text", "1", false, 0, false},
        {"a run that was handed the file", true, false, "stand-in", "1", true, 0, false},
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
        SetEnvironmentVariableA("QX_PARTNER_EXIT", c.partnerExit);
        SetEnvironmentVariableA("QUORLEX_HANDED_OVER", c.handedOver ? "1" : nullptr);
        std::wstring wideExe = Test_FromUtf8(exe);
        EXPECT_EQ(Test_RunWide(wideExe, L"\"" + wideExe + L"\" " + file), c.exitCode);
        SetEnvironmentVariableA("QUORLEX_HANDED_OVER", nullptr);
        std::string log = Test_ReadLog();
        EXPECT_EQ(PartnerLines(log),
                  c.started ? "partner \"" + Test_Utf8(file) + "\" [1]\n" : std::string());
        // The program's own plug-in was asked, and only it.
        EXPECT_EQ(log.find("img.spi IsSupported"), 0u);
        EXPECT_EQ(log.find("other.spi"), std::string::npos);
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
