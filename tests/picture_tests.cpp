// The program run as its own process under Wine, a picture file named on its
// command line: its exit code, the fixtures' log, and the clipboard read back
// byte for byte.
#include "tests/support/harness.h"

#include <gtest/gtest.h>

namespace {

// A BITMAPINFO: the 40-byte header and `extra` bytes of colour table or
// masks, filled with a recognisable pattern.
std::string Dib(int32_t width, int32_t height, uint16_t bits, uint32_t compression,
                uint32_t sizeImage, size_t extra) {
    BITMAPINFOHEADER h = {};
    h.biSize = 40;
    h.biWidth = width;
    h.biHeight = height;
    h.biPlanes = 1;
    h.biBitCount = bits;
    h.biCompression = compression;
    h.biSizeImage = sizeImage;
    std::string bytes(reinterpret_cast<const char*>(&h), sizeof h);
    for (size_t i = 0; i < extra; ++i) {
        bytes += static_cast<char>(0x80 + i % 61);
    }
    return bytes;
}

std::string Pattern(size_t length, int seed) {
    std::string bytes;
    for (size_t i = 0; i < length; ++i) {
        bytes += static_cast<char>((i * 7 + seed) % 251 + 1);
    }
    return bytes;
}

std::string Word(uint32_t value) {
    return std::string(reinterpret_cast<const char*>(&value), 4);
}

// The container the image fixture decodes: its mode and the two blocks.
std::string PictureFile(uint32_t mode, const std::string& header, const std::string& pixels) {
    return "FXPC" + Word(mode) + Word(static_cast<uint32_t>(header.size())) +
           Word(static_cast<uint32_t>(pixels.size())) + header + pixels;
}

std::string Bytes(const std::vector<uint8_t>& v) {
    return std::string(v.begin(), v.end());
}

class Picture : public ::testing::Test {
  protected:
    void TearDown() override {
        Test_RemoveSandbox(box);
    }
    long RunOn(const std::string& content) {
        file = box.reg + "\\picture.fxpc";
        Test_WriteFile(file, content);
        return Test_RunTail(box.exe, file);
    }
    Sandbox box;
    std::string file;
};

TEST_F(Picture, CommandTails) {
    struct Case {
        const char* name;
        std::string (*line)(const std::string& exe, const std::string& file);
        long exitCode;
        bool pluginsLoaded;
    };
    const Case cases[] = {
        {"no argument",
         [](const std::string& exe, const std::string&) { return "\"" + exe + "\""; }, 1, false},
        {"only spaces",
         [](const std::string& exe, const std::string&) { return "\"" + exe + "\"    "; }, 1,
         false},
        {"path in quotes keeps its quotes",
         [](const std::string& exe, const std::string& f) {
             return "\"" + exe + "\" \"" + f + "\"";
         },
         0, true},
        {"unclosed quote makes the whole line the path",
         [](const std::string& exe, const std::string& f) { return "\"" + exe + " " + f; }, 0,
         true},
        {"plain path", [](const std::string& exe, const std::string& f) { return exe + " " + f; },
         1, true},
        {"tab is no separator",
         [](const std::string& exe, const std::string& f) { return "\"" + exe + "\"\t" + f; }, 0,
         true},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        box = Test_MakeSandbox({"lower.spi"});
        std::string f = box.reg + "\\file.dat";
        Test_WriteFile(f, "data");
        EXPECT_EQ(Test_Run(box.exe, c.line(box.exe, f)), c.exitCode);
        EXPECT_EQ(Test_ReadLog(true).find("lower.spi attach") != std::string::npos,
                  c.pluginsLoaded);
        EXPECT_EQ(Test_ClipboardText(), TEST_SENTINEL);
        Test_RemoveSandbox(box);
    }
}

TEST_F(Picture, MissingFileEndsWithZero) {
    box = Test_MakeSandbox({"all.spi"});
    EXPECT_EQ(Test_RunTail(box.exe, box.reg + "\\missing.bmp"), 0);
    EXPECT_EQ(Test_ReadLog(), "");
    EXPECT_EQ(Test_ClipboardText(), TEST_SENTINEL);
}

TEST_F(Picture, ShortFilesAreSeenFollowedByZeros) {
    struct Case {
        std::string content;
        const char* log;
    };
    const Case cases[] = {
        {"", "none.spi IsSupported ....\nnone.spi IsSupported ....\n"},
        {"ABC", "none.spi IsSupported ABC.\nnone.spi IsSupported ....\n"},
        {std::string(128, 'x') + "YZ", "none.spi IsSupported xxxx\nnone.spi IsSupported YZ..\n"},
        {std::string(3070, 'x') + "END", "none.spi IsSupported xxxx\nnone.spi IsSupported xxxx\n"},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.content.size());
        box = Test_MakeSandbox({"none.spi"});
        EXPECT_EQ(RunOn(c.content), 0);
        EXPECT_EQ(Test_ReadLog(), c.log);
        Test_RemoveSandbox(box);
    }
}

TEST_F(Picture, NoRegisteredDirectoryLoadsNothingNotEvenBesideTheProgram) {
    box = Test_MakeSandbox({});
    Test_DeletePluginKey();
    ASSERT_TRUE(Test_CopyFixture("all.spi", box.prog + "\\all.spi"));
    EXPECT_EQ(RunOn("anything"), 0);
    EXPECT_EQ(Test_ReadLog(true), "");
    EXPECT_EQ(Test_ClipboardText(), TEST_SENTINEL);
}

TEST_F(Picture, PluginBesideTheProgramIsAskedFirst) {
    box = Test_MakeSandbox({"img.spi"});
    ASSERT_TRUE(Test_CopyFixture("none.spi", box.prog + "\\none.spi"));
    std::string header = Dib(1, 1, 24, BI_RGB, 0, 0);
    EXPECT_EQ(RunOn(PictureFile(0, header, "abcd")), 1);
    EXPECT_EQ(Test_ReadLog(), "none.spi IsSupported FXPC\nnone.spi IsSupported ....\n"
                              "img.spi IsSupported FXPC\nimg.spi GetPicture\n");
}

TEST_F(Picture, PluginsThatDoNotDecodeLeaveTheClipboardAlone) {
    struct Case {
        const char* fixture;
        uint32_t mode;
        long exitCode;
        const char* log;
    };
    const Case cases[] = {
        {"lower.spi", 0, 1, ""},
        {"nopic.spi", 0, 0, ""},
        {"img.spi", 1, 0, "img.spi GetPicture\n"},
        {"img.spi", 2, 0, "img.spi GetPicture\n"},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(testing::Message() << c.fixture << " mode " << c.mode);
        box = Test_MakeSandbox({c.fixture});
        std::string file = PictureFile(c.mode, Dib(1, 1, 24, BI_RGB, 0, 0), "abcd");
        EXPECT_EQ(RunOn(file), c.exitCode);
        std::string log = Test_ReadLog();
        EXPECT_EQ(log.substr(log.find('\n') + 1), c.log);
        EXPECT_EQ(Test_ClipboardText(), TEST_SENTINEL);
        Test_RemoveSandbox(box);
    }
}

TEST_F(Picture, ExactDibBlocks) {
    struct Case {
        const char* name;
        std::string header;
        std::string pixels;
        uint32_t mode;
        size_t headerLength;
        size_t imageLength;
    };
    const Case cases[] = {
        {"1-bit 9 wide", Dib(9, 2, 1, BI_RGB, 0, 8), Pattern(20, 1), 0, 48, 8},
        {"4-bit", Dib(3, 2, 4, BI_RGB, 0, 64), Pattern(8, 2), 0, 104, 8},
        {"8-bit, full table whatever biClrUsed says",
         [] {
             std::string h = Dib(5, 3, 8, BI_RGB, 0, 1024);
             h[32] = 2;
             return h;
         }(),
         Pattern(24, 3), 0, 1064, 24},
        {"16-bit", Dib(3, 2, 16, BI_RGB, 0, 0), Pattern(16, 4), 0, 40, 16},
        {"16-bit with masks", Dib(3, 2, 16, BI_BITFIELDS, 0, 12), Pattern(16, 5), 0, 52, 16},
        {"24-bit 3x2", Dib(3, 2, 24, BI_RGB, 0, 0), Pattern(24, 6), 0, 40, 24},
        {"24-bit top-down", Dib(3, -2, 24, BI_RGB, 0, 0), Pattern(24, 7), 0, 40, 24},
        {"32-bit", Dib(2, 2, 32, BI_RGB, 0, 0), Pattern(16, 8), 0, 40, 16},
        {"32-bit with masks", Dib(2, 2, 32, BI_BITFIELDS, 0, 12), Pattern(16, 9), 0, 52, 16},
        {"biSizeImage smaller than computed", Dib(3, 2, 24, BI_RGB, 10, 0), Pattern(24, 10), 0, 40,
         10},
        {"biSizeImage larger than computed", Dib(3, 2, 24, BI_RGB, 30, 0), Pattern(30, 11), 0, 40,
         30},
        {"extra bytes in both blocks are not copied", Dib(3, 2, 24, BI_RGB, 0, 20),
         Pattern(100, 12), 0, 40, 24},
        {"fixed blocks", Dib(3, 2, 24, BI_RGB, 0, 0), Pattern(24, 13), 3, 40, 24},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        box = Test_MakeSandbox({"img.spi"});
        EXPECT_EQ(RunOn(PictureFile(c.mode, c.header, c.pixels)), 1);
        std::vector<uint8_t> block;
        ASSERT_TRUE(Test_ReadClipboard(CF_DIB, &block));
        std::string expected =
            c.header.substr(0, c.headerLength) + c.pixels.substr(0, c.imageLength);
        ASSERT_EQ(expected.size(), c.headerLength + c.imageLength);
        EXPECT_EQ(Bytes(block), expected);
        Test_RemoveSandbox(box);
    }
}

TEST_F(Picture, BlocksShorterThanTheHeaderSaysAreNotReadPastTheirEnd) {
    struct Case {
        const char* name;
        std::string header;
        std::string pixels;
        std::string expected;
    };
    std::string h8 = Dib(4, 4, 8, BI_RGB, 0, 0);
    std::string h24 = Dib(3, 2, 24, BI_RGB, 0, 0);
    const Case cases[] = {
        {"8-bit without its colour table, 5 of 16 pixel bytes", h8, "12345",
         h8 + std::string(1024, '\0') + "12345" + std::string(11, '\0')},
        {"header of 20 bytes", h24.substr(0, 20), Pattern(24, 1),
         h24.substr(0, 20) + std::string(20, '\0') + Pattern(24, 1)},
        {"empty pixel block", h24, "", h24 + std::string(24, '\0')},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        box = Test_MakeSandbox({"img.spi"});
        EXPECT_EQ(RunOn(PictureFile(0, c.header, c.pixels)), 1);
        std::vector<uint8_t> block;
        ASSERT_TRUE(Test_ReadClipboard(CF_DIB, &block));
        EXPECT_EQ(Bytes(block), c.expected);
        Test_RemoveSandbox(box);
    }
}

struct FailureBoxes {
    DWORD processId;
    int count;
    HWND last;
};

BOOL CALLBACK FindFailureBox(HWND window, LPARAM param) {
    auto* boxes = reinterpret_cast<FailureBoxes*>(param);
    DWORD owner = 0;
    GetWindowThreadProcessId(window, &owner);
    char className[16] = {};
    GetClassNameA(window, className, sizeof className);
    if (owner == boxes->processId && lstrcmpA(className, "#32770") == 0 &&
        IsWindowVisible(window)) {
        boxes->count++;
        boxes->last = window;
    }
    return TRUE;
}

TEST_F(Picture, FailedHandOverShowsOneMessageBoxAndEndsWithOne) {
    char display[64];
    ASSERT_NE(GetEnvironmentVariableA("DISPLAY", display, sizeof display), 0u)
        << "needs a display: run under tools/wine-session.sh";
    box = Test_MakeSandbox({"img.spi"});
    file = box.reg + "\\picture.fxpc";
    Test_WriteFile(file, PictureFile(0, Dib(3, 2, 24, BI_RGB, 0, 0), Pattern(24, 1)));

    // Holding the clipboard open makes the program's hand-over fail. Wine
    // lets two openers without a window share it: open it with one.
    HWND owner =
        CreateWindowExA(0, "STATIC", "", 0, 0, 0, 0, 0, HWND_MESSAGE, nullptr, nullptr, nullptr);
    ASSERT_NE(owner, nullptr);
    ASSERT_TRUE(OpenClipboard(owner));
    PROCESS_INFORMATION process = {};
    ASSERT_TRUE(Test_Start(box.exe, "\"" + box.exe + "\" " + file, &process));
    FailureBoxes boxes = {process.dwProcessId, 0, nullptr};
    for (int i = 0; i < 300 && boxes.count == 0; ++i) {
        Sleep(50);
        EnumWindows(FindFailureBox, reinterpret_cast<LPARAM>(&boxes));
    }
    CloseClipboard();
    DestroyWindow(owner);
    if (boxes.count != 1) {
        TerminateProcess(process.hProcess, 98);
        Test_Finish(&process);
        FAIL() << boxes.count << " message boxes";
    }
    wchar_t text[64] = {};
    GetDlgItemTextW(boxes.last, 0xFFFF, text, 64);
    wchar_t caption[64] = {L'x'};
    GetWindowTextW(boxes.last, caption, 64);
    PostMessageW(boxes.last, WM_COMMAND, IDOK, 0);
    EXPECT_EQ(std::wstring(text), L"Quorlex_BitMap()\u5931\u6557");
    EXPECT_EQ(std::wstring(caption), L"");

    // No second box: the program ends once the first is closed.
    EXPECT_EQ(WaitForSingleObject(process.hProcess, 10000), WAIT_OBJECT_0);
    boxes = {process.dwProcessId, 0, nullptr};
    EnumWindows(FindFailureBox, reinterpret_cast<LPARAM>(&boxes));
    EXPECT_EQ(boxes.count, 0);
    EXPECT_EQ(Test_Finish(&process), 1);
    EXPECT_EQ(Test_ClipboardText(), TEST_SENTINEL);
}

} // namespace
