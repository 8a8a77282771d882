// The program run as its own process under Wine, a picture file named on its
// command line: its exit code, the fixtures' log, and the clipboard read back
// byte for byte.
#include "clipboard/clipboard.h"
#include "tests/support/bytes.h"
#include "tests/support/records.h"
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

// The container the image fixture decodes: its mode and the two blocks.
std::string PictureFile(uint32_t mode, const std::string& header, const std::string& pixels) {
    return "FXPC" + Test_Le32(mode) + Test_Le32(static_cast<uint32_t>(header.size())) +
           Test_Le32(static_cast<uint32_t>(pixels.size())) + header + pixels;
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
        bool asked; // the path named the file, and the plug-in was asked
    };
    const Case cases[] = {
        {"no argument",
         [](const std::string& exe, const std::string&) { return "\"" + exe + "\""; }, 1, false},
        {"only spaces",
         [](const std::string& exe, const std::string&) { return "\"" + exe + "\"    "; }, 1,
         false},
        {"a quoted path names the file",
         [](const std::string& exe, const std::string& f) {
             return "\"" + exe + "\" \"" + f + "\"  ";
         },
         1, true},
        {"text after the closing quote keeps the quotes",
         [](const std::string& exe, const std::string& f) {
             return "\"" + exe + "\" \"" + f + "\" x";
         },
         0, false},
        {"no closing quote keeps the opening one",
         [](const std::string& exe, const std::string& f) { return "\"" + exe + "\" \"" + f; }, 0,
         false},
        {"unclosed quote makes the whole line the path",
         [](const std::string& exe, const std::string& f) { return "\"" + exe + " " + f; }, 0,
         false},
        {"plain path", [](const std::string& exe, const std::string& f) { return exe + " " + f; },
         1, true},
        {"tab is no separator",
         [](const std::string& exe, const std::string& f) { return "\"" + exe + "\"\t" + f; }, 0,
         false},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        box = Test_MakeSandbox({"img.spi"});
        std::string f = box.reg + "\\a file.dat";
        std::string picture = Test_SmallPictureFile();
        Test_WriteFile(f, picture);
        EXPECT_EQ(Test_Run(box.exe, c.line(box.exe, f)), c.exitCode);
        EXPECT_EQ(Test_ReadLog().find("img.spi IsSupported FXPC") != std::string::npos, c.asked);
        std::vector<uint8_t> dib;
        if (c.asked) {
            ASSERT_TRUE(Test_ReadClipboard(CF_DIB, &dib));
            EXPECT_EQ(Test_Bytes(dib), picture.substr(16));
        } else {
            EXPECT_EQ(Test_ClipboardText(), TEST_SENTINEL);
        }
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

// Most users have no registered plug-in folder: the plug-ins beside the
// program still take the file.
TEST_F(Picture, WithoutARegisteredFolderThePluginsBesideTheProgramWork) {
    box = Test_MakeSandbox({});
    Test_DeletePluginKey();
    ASSERT_TRUE(Test_CopyFixture("img.spi", box.prog + "\\img.spi"));
    std::string header = Dib(1, 1, 24, BI_RGB, 0, 0);
    EXPECT_EQ(RunOn(PictureFile(0, header, "abcd")), 1);
    EXPECT_EQ(Test_ReadLog(), "img.spi IsSupported FXPC\nimg.spi GetPicture 0\n");
    std::vector<uint8_t> block;
    ASSERT_TRUE(Test_ReadClipboard(CF_DIB, &block));
    EXPECT_EQ(Test_Bytes(block), header + "abcd");
}

TEST_F(Picture, PluginBesideTheProgramIsAskedFirst) {
    box = Test_MakeSandbox({"img.spi"});
    ASSERT_TRUE(Test_CopyFixture("none.spi", box.prog + "\\none.spi"));
    std::string header = Dib(1, 1, 24, BI_RGB, 0, 0);
    EXPECT_EQ(RunOn(PictureFile(0, header, "abcd")), 1);
    EXPECT_EQ(Test_ReadLog(),
              "none.spi IsSupported FXPC\nnone.spi IsSupported ....\nimg.spi IsSupported FXPC\n"
              "img.spi GetPicture 0\n");
}

TEST_F(Picture, APictureFoundFurtherOnIsDecodedFromThere) {
    box = Test_MakeSandbox({"img.spi"});
    std::string header = Dib(3, 2, 24, BI_RGB, 0, 0);
    EXPECT_EQ(RunOn(std::string(128, 'j') + PictureFile(0, header, Test_Pattern(24, 1))), 1);
    EXPECT_EQ(Test_ReadLog(), "img.spi IsSupported jjjj\nimg.spi IsSupported FXPC\n"
                              "img.spi GetPicture 128\n");
    std::vector<uint8_t> block;
    ASSERT_TRUE(Test_ReadClipboard(CF_DIB, &block));
    EXPECT_EQ(Test_Bytes(block), header + Test_Pattern(24, 1));
}

// Under code page 1252 (LC_ALL=C.UTF-8) the ANSI command line holds '?'
// for these names, or, for "t\u0101", the look-alike "ta" that best fit
// makes of it: the name of another file, here a decoy. The program reaches
// the file through its short path.
TEST_F(Picture, NamesTheAnsiCodePageCannotSpellAreOpened) {
    struct Case {
        const wchar_t* name;
        bool quoted;
        const char* decoy; // the best-fit spelling's file, holding another picture
    };
    const Case cases[] = {{L"\u8868\u793a.fxpc", false, nullptr},
                          {L"\u8868 \u793a.fxpc", true, nullptr},
                          {L"t\u0101.fxpc", false, "ta.fxpc"}};
    for (const Case& c : cases) {
        SCOPED_TRACE(Test_Utf8(c.name));
        box = Test_MakeSandbox({"img.spi"});
        if (c.decoy != nullptr) {
            std::string decoy = box.reg + "\\" + c.decoy;
            Test_WriteFile(decoy, PictureFile(0, Dib(3, 2, 24, BI_RGB, 0, 0), Test_Pattern(24, 2)));
            std::wstring name = c.name;
            ASSERT_EQ(Test_ToAnsi(name), c.decoy) << "best fit spells the name otherwise";
        }
        std::string header = Dib(3, 2, 24, BI_RGB, 0, 0);
        std::string plain = box.reg + "\\plain.fxpc";
        Test_WriteFile(plain, PictureFile(0, header, Test_Pattern(24, 1)));
        std::wstring path = std::wstring(box.reg.begin(), box.reg.end()) + L"\\" + c.name;
        ASSERT_TRUE(MoveFileExW(std::wstring(plain.begin(), plain.end()).c_str(), path.c_str(),
                                MOVEFILE_REPLACE_EXISTING));
        BOOL lossy = FALSE;
        char ansi[MAX_PATH];
        WideCharToMultiByte(CP_ACP, WC_NO_BEST_FIT_CHARS, path.c_str(), -1, ansi, MAX_PATH, nullptr,
                            &lossy);
        ASSERT_TRUE(lossy) << "code page " << GetACP() << " spells the name";
        std::wstring exe(box.exe.begin(), box.exe.end());
        std::wstring tail = c.quoted ? L"\"" + path + L"\"" : path;
        EXPECT_EQ(Test_RunWide(exe, L"\"" + exe + L"\" " + tail), 1);
        std::vector<uint8_t> block;
        EXPECT_TRUE(Test_ReadClipboard(CF_DIB, &block));
        EXPECT_EQ(Test_Bytes(block), header + Test_Pattern(24, 1));
        Test_RemoveSandbox(box);
    }
}

// What a plug-in finds in the program's process: no system error dialogs
// (a crash or an empty drive shows nothing), no DLL folder of its own, and
// its input where a 64-bit plug-in with 32-bit habits reads it right.
TEST_F(Picture, PluginsRunWithoutSystemDialogs) {
    box = Test_MakeSandbox({"probe.spi"});
    EXPECT_EQ(RunOn("data"), 0);
    std::string log = Test_ReadLog();
    EXPECT_EQ(log.substr(log.find('\n') + 1, log.find("GetPicture 0\n") + 13 - log.find('\n') - 1),
              "probe.spi ErrorModeAndDllDirectory 8003 [] low\nprobe.spi GetPicture 0\n");
}

// A program path that does not fit the 259 bytes it is read into names no
// folder: cut to fit and then at its last backslash, it could name another
// folder and load what lies there. (Wine starts no program whose path is
// longer, so the path here is exactly 259 bytes.)
TEST_F(Picture, AProgramPathThatDoesNotFitNamesNoFolder) {
    box = Test_MakeSandbox({});
    std::string folder = box.prog + "\\" + std::string(259 - box.prog.size() - 13, 'a');
    std::string exe = folder + "\\quorlex.exe";
    ASSERT_EQ(exe.size(), 259u);
    ASSERT_TRUE(CreateDirectoryA(folder.c_str(), nullptr) ||
                GetLastError() == ERROR_ALREADY_EXISTS);
    ASSERT_TRUE(CopyFileA(box.exe.c_str(), exe.c_str(), FALSE));
    ASSERT_TRUE(Test_CopyFixture("all.spi", folder + "\\all.spi"));
    file = box.reg + "\\file.dat";
    Test_WriteFile(file, "data");
    EXPECT_EQ(Test_RunTail(exe, file), 0);
    EXPECT_EQ(Test_ReadLog(true), "");
    Test_RemoveDir(folder);
}

TEST_F(Picture, PluginsThatDoNotDecodeLeaveTheClipboardAlone) {
    struct Case {
        const char* fixture;
        uint32_t mode;
        long exitCode;
        const char* log;
    };
    // A plug-in that accepts and fails is asked again about the bytes from
    // offset 128 on, as every plug-in is when none took the file.
    const Case cases[] = {
        {"lower.spi", 0, 0, ""},
        {"nopic.spi", 0, 0, "nopic.spi IsSupported FXPC\nnopic.spi IsSupported ....\n"},
        {"img.spi", 1, 0,
         "img.spi IsSupported FXPC\nimg.spi GetPicture 0\nimg.spi IsSupported ....\n"},
        {"img.spi", 2, 0,
         "img.spi IsSupported FXPC\nimg.spi GetPicture 0\nimg.spi IsSupported ....\n"},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(testing::Message() << c.fixture << " mode " << c.mode);
        box = Test_MakeSandbox({c.fixture});
        std::string file = PictureFile(c.mode, Dib(1, 1, 24, BI_RGB, 0, 0), "abcd");
        EXPECT_EQ(RunOn(file), c.exitCode);
        EXPECT_EQ(Test_ReadLog(), c.log);
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
        {"1-bit 9 wide", Dib(9, 2, 1, BI_RGB, 0, 8), Test_Pattern(20, 1), 0, 48, 8},
        {"4-bit", Dib(3, 2, 4, BI_RGB, 0, 64), Test_Pattern(8, 2), 0, 104, 8},
        {"8-bit, biClrUsed 2: two colour entries, then the pixels",
         [] {
             std::string h = Dib(5, 3, 8, BI_RGB, 0, 1024);
             h[32] = 2;
             return h;
         }(),
         Test_Pattern(24, 3), 0, 48, 24},
        {"16-bit", Dib(3, 2, 16, BI_RGB, 0, 0), Test_Pattern(16, 4), 0, 40, 16},
        {"16-bit with masks", Dib(3, 2, 16, BI_BITFIELDS, 0, 12), Test_Pattern(16, 5), 0, 52, 16},
        {"24-bit 3x2", Dib(3, 2, 24, BI_RGB, 0, 0), Test_Pattern(24, 6), 0, 40, 24},
        {"24-bit top-down", Dib(3, -2, 24, BI_RGB, 0, 0), Test_Pattern(24, 7), 0, 40, 24},
        {"32-bit", Dib(2, 2, 32, BI_RGB, 0, 0), Test_Pattern(16, 8), 0, 40, 16},
        {"32-bit with masks", Dib(2, 2, 32, BI_BITFIELDS, 0, 12), Test_Pattern(16, 9), 0, 52, 16},
        {"biSizeImage smaller than the rows", Dib(3, 2, 24, BI_RGB, 10, 0), Test_Pattern(24, 10), 0,
         40, 24},
        {"biSizeImage larger than the rows", Dib(3, 2, 24, BI_RGB, 30, 0), Test_Pattern(30, 11), 0,
         40, 24},
        {"biSizeImage of 256 MiB", Dib(3, 2, 24, BI_RGB, 256u << 20, 0), Test_Pattern(24, 14), 0,
         40, 24},
        {"extra bytes in both blocks are not copied", Dib(3, 2, 24, BI_RGB, 0, 20),
         Test_Pattern(100, 12), 0, 40, 24},
        {"fixed blocks", Dib(3, 2, 24, BI_RGB, 0, 0), Test_Pattern(24, 13), 3, 40, 24},
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
        // A size of the pixels that was set says what was placed.
        if (c.header.substr(20, 4) != Test_Le32(0)) {
            expected.replace(20, 4, Test_Le32(static_cast<uint32_t>(c.imageLength)));
        }
        EXPECT_EQ(Test_Bytes(block), expected);
        Test_RemoveSandbox(box);
    }
}

// A header of a length no reader knows (0, 12, 64 seen from a fuzzer) is
// laid out as 40 bytes, and the placed header says 40.
TEST_F(Picture, HeadersOfUnknownLengthArePlacedAsFortyBytes) {
    for (uint32_t size : {0u, 12u, 64u}) {
        SCOPED_TRACE(size);
        std::string header = Dib(3, 2, 24, BI_RGB, 0, 24);
        memcpy(&header[0], &size, 4);
        box = Test_MakeSandbox({"img.spi"});
        EXPECT_EQ(RunOn(PictureFile(0, header, Test_Pattern(24, 2))), 1);
        std::vector<uint8_t> block;
        ASSERT_TRUE(Test_ReadClipboard(CF_DIB, &block));
        EXPECT_EQ(Test_Bytes(block), Test_Le32(40) + header.substr(4, 36) + Test_Pattern(24, 2));
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
    // A block short of a pixel is no whole picture (the search tests).
    const Case cases[] = {
        {"8-bit without its colour table", h8, Test_Pattern(16, 1),
         h8 + std::string(1024, '\0') + Test_Pattern(16, 1)},
        {"the last row without its padding", h24, Test_Pattern(21, 2),
         h24 + Test_Pattern(21, 2) + std::string(3, '\0')},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        box = Test_MakeSandbox({"img.spi"});
        EXPECT_EQ(RunOn(PictureFile(0, c.header, c.pixels)), 1);
        std::vector<uint8_t> block;
        ASSERT_TRUE(Test_ReadClipboard(CF_DIB, &block));
        EXPECT_EQ(Test_Bytes(block), c.expected);
        Test_RemoveSandbox(box);
    }
}

// Colours a pasting program reads back exactly, whatever the pixel format.
const uint32_t PALETTE[8] = {0xFF0000, 0x00FF00, 0x0000FF, 0xFFFF00,
                             0x00FFFF, 0xFF00FF, 0xFFFFFF, 0x000000};
constexpr int PASTE_WIDTH = 5;
constexpr int PASTE_HEIGHT = 3;

enum class Pixels { Indexed, Bgr24, Bgrx32, Rgb565, Rgba32 };

int IndexAt(int x, int y) {
    return x + 2 * y;
}

uint32_t PixelValue(Pixels format, uint32_t rgb) {
    uint32_t r = rgb >> 16;
    uint32_t g = (rgb >> 8) & 0xFF;
    uint32_t b = rgb & 0xFF;
    switch (format) {
    case Pixels::Rgb565:
        return (r >> 3) << 11 | (g >> 2) << 5 | b >> 3;
    case Pixels::Rgba32:
        return r | g << 8 | b << 16;
    case Pixels::Bgrx32:
        return rgb | 0x7F000000; // alpha that no reader of BI_RGB looks at
    default:
        return rgb;
    }
}

// Bottom-up rows of a 5x3 picture, their padding filled with garbage.
std::string PasteRows(Pixels format, uint16_t bits, int colours) {
    size_t rowLength = (PASTE_WIDTH * bits + 31) / 32 * 4;
    std::string rows;
    for (int y = PASTE_HEIGHT - 1; y >= 0; --y) {
        std::string row(rowLength, '\xA5');
        for (int x = 0; x < PASTE_WIDTH; ++x) {
            int index = IndexAt(x, y) % colours;
            if (format == Pixels::Indexed) {
                int bit = x * bits;
                int shift = 8 - bits - bit % 8;
                uint8_t mask = static_cast<uint8_t>(((1 << bits) - 1) << shift);
                uint8_t& byte = reinterpret_cast<uint8_t&>(row[bit / 8]);
                byte = static_cast<uint8_t>((byte & ~mask) | index << shift);
            } else {
                uint32_t value = PixelValue(format, PALETTE[index % 8]);
                memcpy(&row[x * bits / 8], &value, bits / 8);
            }
        }
        rows += row;
    }
    return rows;
}

// A colour table of `entries`: the palette, then colours no pixel uses.
std::string Quads(size_t entries) {
    std::string table;
    for (size_t i = 0; i < entries; ++i) {
        uint32_t rgb = i < 8 ? PALETTE[i] : 0x102030 + static_cast<uint32_t>(i);
        table += Test_Le32(rgb);
    }
    return table;
}

TEST_F(Picture, PastingProgramsReadTheColoursThePluginGave) {
    struct Case {
        const char* name;
        uint32_t size; // biSize
        uint16_t bits;
        uint32_t compression;
        uint32_t clrUsed;
        size_t tableEntries; // colour table entries in the plug-in's header block
        int colours;         // palette entries the pixels use
        Pixels format;
    };
    const Case cases[] = {
        {"1-bit, full table", 40, 1, BI_RGB, 0, 2, 2, Pixels::Indexed},
        {"4-bit, full table", 40, 4, BI_RGB, 0, 16, 8, Pixels::Indexed},
        {"4-bit, 5-colour table", 40, 4, BI_RGB, 5, 5, 5, Pixels::Indexed},
        {"8-bit, full table", 40, 8, BI_RGB, 0, 256, 8, Pixels::Indexed},
        {"8-bit, 8-colour table", 40, 8, BI_RGB, 8, 8, 7, Pixels::Indexed},
        {"8-bit, full table, biClrUsed 16", 40, 8, BI_RGB, 16, 256, 8, Pixels::Indexed},
        {"1-bit, 124-byte header", 124, 1, BI_RGB, 0, 2, 2, Pixels::Indexed},
        {"8-bit, 124-byte header, 6-colour table", 124, 8, BI_RGB, 6, 6, 6, Pixels::Indexed},
        {"8-bit, 108-byte header, full table", 108, 8, BI_RGB, 0, 256, 8, Pixels::Indexed},
        {"16-bit 565, masks after the header", 40, 16, BI_BITFIELDS, 0, 0, 8, Pixels::Rgb565},
        {"16-bit 565, 108-byte header with masks", 108, 16, BI_BITFIELDS, 0, 0, 8, Pixels::Rgb565},
        {"24-bit", 40, 24, BI_RGB, 0, 0, 8, Pixels::Bgr24},
        {"24-bit, 108-byte header", 108, 24, BI_RGB, 0, 0, 8, Pixels::Bgr24},
        {"24-bit, 124-byte header", 124, 24, BI_RGB, 0, 0, 8, Pixels::Bgr24},
        {"32-bit, garbage alpha", 40, 32, BI_RGB, 0, 0, 8, Pixels::Bgrx32},
        {"32-bit RGBA, 124-byte header with masks", 124, 32, BI_BITFIELDS, 0, 0, 8, Pixels::Rgba32},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        std::string header = Dib(PASTE_WIDTH, PASTE_HEIGHT, c.bits, c.compression, 0, 0);
        memcpy(&header[0], &c.size, 4);
        memcpy(&header[32], &c.clrUsed, 4);
        std::string masks;
        if (c.compression == BI_BITFIELDS) {
            masks = c.format == Pixels::Rgb565
                        ? Test_Le32(0xF800) + Test_Le32(0x07E0) + Test_Le32(0x001F)
                        : Test_Le32(0xFF) + Test_Le32(0xFF00) + Test_Le32(0xFF0000);
        }
        if (c.size == 40) {
            header += masks;
        } else {
            masks.resize(12, '\0');
            // Masks, alpha mask, then the sRGB colour space; the rest zero.
            header += masks + Test_Le32(0) + "BGRs" + std::string(c.size - 60, '\0');
        }
        header += Quads(c.tableEntries);
        box = Test_MakeSandbox({"img.spi"});
        EXPECT_EQ(RunOn(PictureFile(0, header, PasteRows(c.format, c.bits, c.colours))), 1);
        int width = 0;
        int height = 0;
        std::vector<uint32_t> colours;
        EXPECT_TRUE(Test_ReadPastedColours(&width, &height, &colours));
        std::string wrong;
        if (width == PASTE_WIDTH && height == PASTE_HEIGHT) {
            for (int y = 0; y < PASTE_HEIGHT; ++y) {
                for (int x = 0; x < PASTE_WIDTH; ++x) {
                    uint32_t expected = PALETTE[IndexAt(x, y) % c.colours % 8];
                    uint32_t seen = colours[y * PASTE_WIDTH + x];
                    if (seen != expected) {
                        char line[64];
                        snprintf(line, sizeof line, " (%d,%d) %06X for %06X", x, y, seen, expected);
                        wrong += line;
                    }
                }
            }
        } else {
            wrong = "a " + std::to_string(width) + "x" + std::to_string(height) + " picture";
        }
        EXPECT_EQ(wrong, "");
        Test_RemoveSandbox(box);
    }
}

// The failure boxes on the display: the program's worker shows the box, so
// every box of any process but this one counts.
struct FailureBoxes {
    DWORD testProcess;
    int count;
    HWND last;
};

BOOL CALLBACK FindFailureBox(HWND window, LPARAM param) {
    auto* boxes = reinterpret_cast<FailureBoxes*>(param);
    DWORD owner = 0;
    GetWindowThreadProcessId(window, &owner);
    char className[16] = {};
    GetClassNameA(window, className, sizeof className);
    if (owner != boxes->testProcess && lstrcmpA(className, "#32770") == 0 &&
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
    Test_WriteFile(file, PictureFile(0, Dib(3, 2, 24, BI_RGB, 0, 0), Test_Pattern(24, 1)));

    // Holding the clipboard open makes the program's hand-over fail. Wine
    // lets two openers without a window share it: open it with one.
    HWND owner =
        CreateWindowExA(0, "STATIC", "", 0, 0, 0, 0, 0, HWND_MESSAGE, nullptr, nullptr, nullptr);
    ASSERT_NE(owner, nullptr);
    ASSERT_TRUE(Clipboard_Open(owner));
    PROCESS_INFORMATION process = {};
    ASSERT_TRUE(Test_Start(box.exe, "\"" + box.exe + "\" " + file, &process));
    FailureBoxes boxes = {GetCurrentProcessId(), 0, nullptr};
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
    boxes = {GetCurrentProcessId(), 0, nullptr};
    EnumWindows(FindFailureBox, reinterpret_cast<LPARAM>(&boxes));
    EXPECT_EQ(boxes.count, 0);
    EXPECT_EQ(Test_Finish(&process), 1);
    EXPECT_EQ(Test_ClipboardText(), TEST_SENTINEL);
}

} // namespace
