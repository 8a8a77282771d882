// The run's watch over its workers, through the tests' build with short
// limits (fixtures\quorlex_quick.exe: a decode, a listing or a placing is
// given up after 4 s in which its worker used less than a tenth of a
// processor): a long decode that computes is kept, one that waits for ever
// is given up; a placing that never ends is given up and leaves the
// clipboard usable; a plug-in thread that scribbles over the worker's
// memory changes nothing the run knows; and a run ended from outside
// leaves no worker behind.
#include "plugin/registry.h"
#include "tests/support/records.h"
#include "tests/support/harness.h"

#include <gtest/gtest.h>
#include <tlhelp32.h>

namespace {

const std::string PICTURE = Test_SmallPictureFile();

// A sandbox whose program is the quick build.
Sandbox QuickSandbox() {
    Sandbox box = Test_MakeSandbox({});
    CopyFileA(Test_BuildPath("fixtures\\quorlex_quick.exe").c_str(), box.exe.c_str(), FALSE);
    return box;
}

// How many times `line` stands in the log.
int Count(const std::string& log, const std::string& line) {
    int n = 0;
    for (size_t at = log.find(line); at != std::string::npos; at = log.find(line, at + 1)) {
        ++n;
    }
    return n;
}

TEST(Watch, EachStepIsJudgedOnWhatTheRunCanSee) {
    struct Case {
        const char* first; // a.spi, then img.spi as b.spi
        int firstDecodes;  // a.spi's GetPicture calls
        int secondDecodes; // b.spi's
        int firstAsked;    // a.spi's support tests of the head
    };
    const Case cases[] = {
        // Waits for ever, using no processor time: given up, and the next
        // plug-in takes the file.
        {"deadlock.spi", 1, 1, 1},
        // Computes past the idle limit, reporting nothing: kept.
        {"compute.spi", 1, 0, 1},
        {"computethread.spi", 1, 0, 1},
        // Rewrites the worker's read-write views while its support test
        // waits: the run's record is not among them.
        {"scribble.spi", 0, 1, 1},
        // Its own thread faults: nobody is blamed, and it is asked once more.
        {"threadfaults.spi", 0, 1, 2},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.first);
        Sandbox box = QuickSandbox();
        ASSERT_TRUE(Test_CopyFixture(c.first, box.reg + "\\a.spi"));
        ASSERT_TRUE(Test_CopyFixture("img.spi", box.reg + "\\b.spi"));
        std::string file = box.reg + "\\file.dat";
        Test_WriteFile(file, PICTURE);
        EXPECT_EQ(Test_RunTail(box.exe, file), 1);
        std::string log = Test_ReadLog();
        EXPECT_EQ(Count(log, "a.spi GetPicture 0\n"), c.firstDecodes) << log;
        EXPECT_EQ(Count(log, "b.spi GetPicture 0\n"), c.secondDecodes) << log;
        EXPECT_EQ(Count(log, "a.spi IsSupported FXPC\n"), c.firstAsked) << log;
        std::vector<uint8_t> dib;
        ASSERT_TRUE(Test_ReadClipboard(CF_DIB, &dib));
        EXPECT_EQ(Test_Bytes(dib), PICTURE.substr(16));
        Test_RemoveSandbox(box);
    }
}

// A picture handed back while the plug-in's thread holds the loader lock:
// the worker's placing never ends and is given up; the decode counts, and
// the next run places its picture.
TEST(Watch, APlacingThatNeverEndsIsGivenUpAndTheClipboardWorksAfter) {
    Sandbox box = QuickSandbox();
    ASSERT_TRUE(Test_CopyFixture("holdloader.spi", box.reg + "\\a.spi"));
    ASSERT_TRUE(Test_CopyFixture("attachendless.spi", box.reg + "\\hold.dll"));
    std::string file = box.reg + "\\file.dat";
    Test_WriteFile(file, PICTURE);
    EXPECT_EQ(Test_RunTail(box.exe, file), 1);
    std::string log = Test_ReadLog(true);
    EXPECT_EQ(Count(log, "a.spi GetPicture 0\n"), 1) << log;
    EXPECT_EQ(Count(log, "hold.dll attach\n"), 1) << log;
    Test_RemoveSandbox(box);

    Sandbox next = Test_MakeSandbox({"img.spi"});
    file = next.reg + "\\file.dat";
    Test_WriteFile(file, PICTURE);
    EXPECT_EQ(Test_RunTail(next.exe, file), 1);
    std::vector<uint8_t> dib;
    ASSERT_TRUE(Test_ReadClipboard(CF_DIB, &dib));
    EXPECT_EQ(Test_Bytes(dib), PICTURE.substr(16));
    Test_RemoveSandbox(next);
}

// The processes whose file is named `name`.
int Running(const char* name) {
    HANDLE snapshot = CreateToolhelp32Snapshot(TH32CS_SNAPPROCESS, 0);
    if (snapshot == INVALID_HANDLE_VALUE) {
        return -1;
    }
    int n = 0;
    PROCESSENTRY32 entry = {};
    entry.dwSize = sizeof entry;
    for (BOOL more = Process32First(snapshot, &entry); more;
         more = Process32Next(snapshot, &entry)) {
        n += lstrcmpiA(entry.szExeFile, name) == 0;
    }
    CloseHandle(snapshot);
    return n;
}

// A run ended from outside (a launcher's time limit, Task Manager) while
// its worker waits in a decode takes the worker with it.
TEST(Watch, ARunEndedFromOutsideLeavesNoWorkerBehind) {
    Sandbox box = Test_MakeSandbox({"deadlock.spi"});
    std::string file = box.reg + "\\file.dat";
    Test_WriteFile(file, PICTURE);
    ASSERT_EQ(Running("quorlex.exe"), 0);
    PROCESS_INFORMATION process = {};
    ASSERT_TRUE(Test_Start(box.exe, "\"" + box.exe + "\" " + file, &process));
    for (int i = 0; i < 300 && Test_ReadLog().find("GetPicture") == std::string::npos; ++i) {
        Sleep(100);
    }
    ASSERT_NE(Test_ReadLog().find("deadlock.spi GetPicture 0"), std::string::npos);
    EXPECT_EQ(Running("quorlex.exe"), 2);
    TerminateProcess(process.hProcess, 9);
    EXPECT_EQ(Test_Finish(&process), 9);
    int left = Running("quorlex.exe");
    for (int i = 0; i < 50 && left != 0; ++i) {
        Sleep(100);
        left = Running("quorlex.exe");
    }
    EXPECT_EQ(left, 0);
    Test_RemoveSandbox(box);
}

} // namespace
