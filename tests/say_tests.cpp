// What a run says of itself through the debug output, as a user who asks
// "why did nothing happen?" reads it in DebugView: the test listens as
// DebugView does, and each case's lines are asserted whole ('#' in an
// expected line stands for a number).
#include "plugin/registry.h"
#include "clipboard/clipboard.h"
#include "tests/support/records.h"
#include "tests/support/harness.h"

#include <gtest/gtest.h>

namespace {

// Whether `heard` is `expected` line for line, '#' matching a number.
bool Matches(const std::string& expected, const std::string& heard) {
    size_t e = 0;
    size_t h = 0;
    while (e < expected.size() && h < heard.size()) {
        if (expected[e] == '#') {
            if (heard[h] < '0' || heard[h] > '9') {
                return false;
            }
            while (h < heard.size() && heard[h] >= '0' && heard[h] <= '9') {
                ++h;
            }
            ++e;
        } else if (expected[e++] != heard[h++]) {
            return false;
        }
    }
    return e == expected.size() && h == heard.size();
}

// A 2 x 1 32-bit picture whose pixels carry alpha, in the image fixture's
// container.
std::string PictureWithAlpha() {
    std::string header = Test_InfoHeader(40, 2, 1, 32, 0, 0);
    std::string row("\x10\x20\x30\x80\x40\x50\x60\x40", 8);
    return "FXPC" + Test_Le32(0) + Test_Le32(40) + Test_Le32(8) + header + row;
}

#ifdef _WIN64
const char FAULT[] = "0xC0000005";
#else
// Under qemu-user every fault of a 32-bit program is an illegal instruction.
const char FAULT[] = "0xC000001D";
#endif

TEST(Say, EveryRunSaysWhatEachPluginDid) {
    struct Case {
        const char* name;
        const char* first;  // as a.spi; "other" a plug-in file of the other width
        const char* second; // as b.spi, or null
        std::string file;
        bool quick;    // the build with short limits
        bool noFolder; // no registered folder: the plug-ins lie beside the program
        bool busy;     // the clipboard is held while the run places
        long exitCode;
        std::string lines; // after the file's and the folders' lines
    };
    const std::string fault = FAULT;
    const Case cases[] = {
        {"no plug-in takes the file", "none.spi", nullptr, "data", false, false, false, 0,
         "quorlex: a.spi: declined\n"
         "quorlex: nothing placed: no plug-in took the file; exit code 0\n"},
        {"no registered folder", "none.spi", nullptr, "data", false, true, false, 0,
         "quorlex: a.spi: declined\n"
         "quorlex: nothing placed: no plug-in took the file; exit code 0\n"},
        {"a fault", "faultsupp.spi", "img.spi", Test_SmallPictureFile(), false, false, false, 1,
         "quorlex: a.spi: faulted (exception " + fault +
             ") in IsSupported\n"
             "quorlex: b.spi: accepted the head\n"
             "quorlex: b.spi: decoded 2 x 1, 24 bits\n"
             "quorlex: placed the picture as CF_DIB, 48 bytes; exit code 1\n"},
        {"a time limit", "deadlock.spi", nullptr, Test_SmallPictureFile(), true, false, false, 0,
         "quorlex: a.spi: accepted the head\n"
         "quorlex: a.spi: given up after # ms in GetPicture\n"
         "quorlex: nothing placed: no plug-in took the file; exit code 0\n"},
        {"the other width without a partner", "other", nullptr, "data", false, false, false, 0,
         "quorlex: a.spi: of the other width, and no partner beside the program\n"
         "quorlex: nothing placed: no plug-in took the file, and the plug-ins of the other "
         "width need the partner program beside this one; exit code 0\n"},
        {"a picture that is not whole", "img.spi", nullptr,
         "FXPC" + Test_Le32(0) + Test_Le32(40) + Test_Le32(2) +
             Test_InfoHeader(40, 100, 70, 24, 0, 0) + "pp",
         false, false, false, 0,
         "quorlex: a.spi: accepted the head\n"
         "quorlex: a.spi: picture not whole (its header, depth, size or pixel block)\n"
         "quorlex: nothing placed: no plug-in took the file; exit code 0\n"},
        {"a busy clipboard", "arc.spi", nullptr, Test_ArchiveOfOne(), false, false, true, 0,
         "quorlex: a.spi: accepted the head\n"
         "quorlex: a.spi: listed 1 entries\n"
         "quorlex: nothing placed: the clipboard refused the listing; exit code 0\n"},
        {"a success with alpha", "img.spi", nullptr, PictureWithAlpha(), false, false, false, 1,
         "quorlex: a.spi: accepted the head\n"
         "quorlex: a.spi: decoded 2 x 1, 32 bits\n"
         "quorlex: placed the picture as CF_DIB, CF_DIBV5 and PNG (it has alpha), 48 bytes; exit "
         "code 1\n"},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        Sandbox box = Test_MakeSandbox({});
        if (c.quick) {
            ASSERT_TRUE(CopyFileA(Test_BuildPath("fixtures\\quorlex_quick.exe").c_str(),
                                  box.exe.c_str(), FALSE));
        }
        std::string folder = c.noFolder ? box.prog : box.reg;
        if (strcmp(c.first, "other") == 0) {
            ASSERT_TRUE(Test_CopyAsMachine(Test_BuildPath("fixtures\\all.spi"), folder + "\\a.spi",
                                           PLUGIN_OTHER_MACHINE));
        } else {
            ASSERT_TRUE(Test_CopyFixture(c.first, folder + "\\a.spi"));
        }
        if (c.second != nullptr) {
            ASSERT_TRUE(Test_CopyFixture(c.second, folder + "\\b.spi"));
        }
        if (c.noFolder) {
            Test_DeletePluginKey();
        }
        std::string file = box.reg + "\\file.dat";
        Test_WriteFile(file, c.file);
        HWND owner = nullptr;
        if (c.busy) {
            owner = CreateWindowExW(0, L"STATIC", nullptr, 0, 0, 0, 0, 0, HWND_MESSAGE, nullptr,
                                    nullptr, nullptr);
            ASSERT_TRUE(Clipboard_Open(owner));
        }
        ASSERT_TRUE(Test_Listen());
        PROCESS_INFORMATION process = {};
        ASSERT_TRUE(Test_Start(box.exe, "\"" + box.exe + "\" " + file, &process));
        EXPECT_EQ(Test_Finish(&process), c.exitCode);
        std::string heard = Test_StopListening("quorlex: ");
        if (c.busy) {
            CloseClipboard();
            DestroyWindow(owner);
        }
        std::string programFiles = c.noFolder ? (c.second ? "2" : "1") : "0";
        std::string expected =
            "quorlex: file \"" + file + "\": " + std::to_string(c.file.size()) +
            " bytes of its head read\n" + "quorlex: program folder \"" + box.prog +
            "\": " + programFiles + " plug-in files\n" +
            (c.noFolder ? std::string("quorlex: no registered plug-in folder "
                                      "(HKCU\\Software\\Morvenko\\Susie\\Plug-in, value Path)\n")
                        : "quorlex: registered folder \"" + box.reg +
                              "\": " + (c.second ? "2" : "1") + " plug-in files\n") +
            c.lines;
        EXPECT_TRUE(Matches(expected, heard)) << "expected:\n" << expected << "heard:\n" << heard;
        Test_RemoveSandbox(box);
    }
}

} // namespace
