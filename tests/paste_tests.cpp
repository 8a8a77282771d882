// What pasting programs get, read back the way they read it: a picture with
// transparency as CF_DIB (unchanged), CF_DIBV5 with an alpha mask and a PNG
// decoded by the system's own PNG reader (WIC); a clipboard another program
// holds for a moment; many runs at once.
#include "clipboard/clipboard.h"
#include "plugin/spi.h"
#include "tests/support/records.h"
#include "tests/support/harness.h"

#include <gtest/gtest.h>

#include <wincodec.h>

#include <algorithm>

namespace {

// A 32-bit picture for the image fixture: header (40 bytes, and the masks
// after it when given) and rows of BGRA pixels whose alpha follows `alpha`.
struct Picture32 {
    std::string header;
    std::string rows;
    int width;
    int height; // negative: top-down
};

Picture32 MakePicture(int width, int height, uint32_t compression, const std::string& masks,
                      uint8_t (*alpha)(int x, int y)) {
    Picture32 p = {Test_InfoHeader(40, width, height, 32, compression, 0) + masks, "", width,
                   height};
    for (int row = 0; row < std::abs(height); ++row) {
        for (int x = 0; x < width; ++x) {
            p.rows += static_cast<char>(x * 7 + row);
            p.rows += static_cast<char>(x * 3 + 40);
            p.rows += static_cast<char>(200 - row * 9);
            p.rows += static_cast<char>(alpha(x, row));
        }
    }
    return p;
}

// The picture's pixels top row first, as 0xAARRGGBB.
std::vector<uint32_t> TopDown(const Picture32& p) {
    int rows = std::abs(p.height);
    std::vector<uint32_t> pixels;
    for (int y = 0; y < rows; ++y) {
        int row = p.height > 0 ? rows - 1 - y : y;
        for (int x = 0; x < p.width; ++x) {
            uint32_t v;
            memcpy(&v, &p.rows[(static_cast<size_t>(row) * p.width + x) * 4], 4);
            pixels.push_back(v);
        }
    }
    return pixels;
}

// A PNG decoded by WIC into 0xAARRGGBB pixels, top row first; empty when
// WIC cannot read it.
std::vector<uint32_t> DecodePng(std::vector<uint8_t> png, UINT* width, UINT* height) {
    std::vector<uint32_t> pixels;
    IWICImagingFactory* factory = nullptr;
    IWICStream* stream = nullptr;
    IWICBitmapDecoder* decoder = nullptr;
    IWICBitmapFrameDecode* frame = nullptr;
    IWICFormatConverter* converter = nullptr;
    CoInitializeEx(nullptr, COINIT_APARTMENTTHREADED);
    if (SUCCEEDED(CoCreateInstance(CLSID_WICImagingFactory, nullptr, CLSCTX_INPROC_SERVER,
                                   IID_IWICImagingFactory, reinterpret_cast<void**>(&factory))) &&
        SUCCEEDED(factory->CreateStream(&stream)) &&
        SUCCEEDED(stream->InitializeFromMemory(png.data(), static_cast<DWORD>(png.size()))) &&
        SUCCEEDED(factory->CreateDecoderFromStream(stream, nullptr, WICDecodeMetadataCacheOnDemand,
                                                   &decoder)) &&
        SUCCEEDED(decoder->GetFrame(0, &frame)) &&
        SUCCEEDED(factory->CreateFormatConverter(&converter)) &&
        SUCCEEDED(converter->Initialize(frame, GUID_WICPixelFormat32bppBGRA,
                                        WICBitmapDitherTypeNone, nullptr, 0,
                                        WICBitmapPaletteTypeCustom)) &&
        SUCCEEDED(converter->GetSize(width, height))) {
        pixels.resize(static_cast<size_t>(*width) * *height);
        if (FAILED(converter->CopyPixels(nullptr, *width * 4, static_cast<UINT>(pixels.size() * 4),
                                         reinterpret_cast<BYTE*>(pixels.data())))) {
            pixels.clear();
        }
    }
    for (IUnknown* object :
         std::initializer_list<IUnknown*>{converter, frame, decoder, stream, factory}) {
        if (object != nullptr) {
            object->Release();
        }
    }
    return pixels;
}

const std::string SRGB_MASKS = Test_Le32(0xFF0000) + Test_Le32(0xFF00) + Test_Le32(0xFF);

TEST(Paste, TransparencySurvivesAPaste) {
    struct Case {
        const char* name;
        Picture32 picture;
        bool withAlpha; // CF_DIBV5 and PNG are placed beside CF_DIB
    };
    auto mixed = [](int x, int y) {
        return static_cast<uint8_t>((x + y) % 3 * 127 + (x + y) % 3 / 2);
    };
    auto opaque = [](int, int) { return uint8_t{255}; };
    auto clear = [](int, int) { return uint8_t{0}; };
    auto binary = [](int x, int y) { return static_cast<uint8_t>((x + y) % 2 ? 255 : 0); };
    const Case cases[] = {
        {"bottom-up, 3 wide", MakePicture(3, 2, BI_RGB, "", mixed), true},
        {"top-down, 3 wide", MakePicture(3, -2, BI_RGB, "", mixed), true},
        {"1 wide, fully transparent and opaque pixels", MakePicture(1, 4, BI_RGB, "", binary),
         true},
        {"4097 wide, rows in two deflate blocks", MakePicture(4097, 5, BI_RGB, "", mixed), true},
        {"bit masks of BGRA", MakePicture(3, 2, BI_BITFIELDS, SRGB_MASKS, mixed), true},
        {"opaque", MakePicture(3, 2, BI_RGB, "", opaque), false},
        {"alpha all zero", MakePicture(3, 2, BI_RGB, "", clear), false},
        {"bit masks of RGBA",
         MakePicture(3, 2, BI_BITFIELDS, Test_Le32(0xFF) + Test_Le32(0xFF00) + Test_Le32(0xFF0000),
                     mixed),
         false},
    };
    UINT png = RegisterClipboardFormatW(L"PNG");
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        Sandbox box = Test_MakeSandbox({"img.spi"});
        std::string file = box.reg + "\\picture.fxpc";
        const Picture32& p = c.picture;
        Test_WriteFile(file,
                       "FXPC" + Test_Le32(0) + Test_Le32(static_cast<uint32_t>(p.header.size())) +
                           Test_Le32(static_cast<uint32_t>(p.rows.size())) + p.header + p.rows);
        EXPECT_EQ(Test_RunTail(box.exe, file), 1);
        std::vector<uint8_t> dib;
        ASSERT_TRUE(Test_ReadClipboard(CF_DIB, &dib));
        EXPECT_EQ(Test_Bytes(dib), p.header + p.rows);

        std::vector<uint8_t> bytes;
        EXPECT_EQ(Test_ReadClipboard(png, &bytes), c.withAlpha);
        if (c.withAlpha) {
            UINT width = 0;
            UINT height = 0;
            std::vector<uint32_t> pixels = DecodePng(bytes, &width, &height);
            EXPECT_EQ(width, static_cast<UINT>(p.width));
            EXPECT_EQ(height, static_cast<UINT>(std::abs(p.height)));
            EXPECT_TRUE(pixels == TopDown(p)) << "the PNG's pixels differ from the picture's";

            // Wine makes a CF_DIBV5 of its own from CF_DIB, with no alpha
            // mask; this one is the program's.
            std::vector<uint8_t> v5;
            ASSERT_TRUE(Test_ReadClipboard(CF_DIBV5, &v5));
            std::string expected =
                Test_Le32(124) + p.header.substr(4, 10) + Test_Le16(32) + Test_Le32(BI_BITFIELDS) +
                Test_Le32(static_cast<uint32_t>(p.rows.size())) + p.header.substr(24, 8) +
                std::string(8, '\0') + SRGB_MASKS + Test_Le32(0xFF000000) + "BGRs";
            EXPECT_EQ(Test_Bytes(v5).substr(0, 60), expected);
            EXPECT_EQ(Test_Bytes(v5).substr(124), p.rows);
        }
        Test_RemoveSandbox(box);
    }
}

// The image fixture's file of a 1x1 24-bit picture whose pixel is `rgb`.
std::string OnePixel(uint32_t rgb) {
    return "FXPC" + Test_Le32(0) + Test_Le32(40) + Test_Le32(4) +
           Test_InfoHeader(40, 1, 1, 24, BI_RGB, 0) + Test_Le32(rgb);
}

// Clipboard managers open the clipboard for a moment after every change:
// the program waits about a second for it, then gives up. (A picture then
// shows the failure box: Picture.FailedHandOverShowsOneMessageBoxAndEndsWithOne.)
TEST(Paste, ABusyClipboardIsWaitedFor) {
    struct Case {
        DWORD holdMs;
        long exitCode;
    };
    const Case cases[] = {{300, 1}, {3000, 0}};
    ArchiveEntryInfo entries[2] = {};
    memcpy(entries[0].method, "m", 1);
    memcpy(entries[0].filename, "kept", 4);
    for (const Case& c : cases) {
        SCOPED_TRACE(testing::Message() << "held for " << c.holdMs << " ms");
        Sandbox box = Test_MakeSandbox({"arc.spi"});
        std::string file = box.reg + "\\archive.fxar";
        Test_WriteFile(file,
                       "FXAR" + Test_Le32(0) +
                           std::string(reinterpret_cast<const char*>(entries), sizeof entries));
        HWND owner = CreateWindowExA(0, "STATIC", "", 0, 0, 0, 0, 0, HWND_MESSAGE, nullptr, nullptr,
                                     nullptr);
        ASSERT_TRUE(Clipboard_Open(owner));
        PROCESS_INFORMATION process = {};
        bool started = Test_Start(box.exe, "\"" + box.exe + "\" " + file, &process);
        Sleep(c.holdMs);
        CloseClipboard();
        DestroyWindow(owner);
        ASSERT_TRUE(started);
        EXPECT_EQ(Test_Finish(&process), c.exitCode);
        std::string text = Test_ClipboardText();
        if (c.exitCode == 1) {
            EXPECT_NE(text.find("0000  kept\r\n"), std::string::npos) << text;
        } else {
            EXPECT_EQ(text, TEST_SENTINEL);
        }
        Test_RemoveSandbox(box);
    }
}

// Twenty files sent at once race for the clipboard: each run waits its
// turn, none shows the failure box, and the clipboard ends holding one
// picture whole.
TEST(Paste, TwentyRunsAtOnce) {
    Sandbox box = Test_MakeSandbox({"img.spi"});
    constexpr int RUNS = 20;
    PROCESS_INFORMATION processes[RUNS] = {};
    std::vector<std::string> placed;
    for (int i = 0; i < RUNS; ++i) {
        std::string file = box.reg + "\\picture" + std::to_string(i) + ".fxpc";
        Test_WriteFile(file, OnePixel(0x010101u * static_cast<uint32_t>(i + 1)));
        placed.push_back(OnePixel(0x010101u * static_cast<uint32_t>(i + 1)).substr(16));
    }
    for (int i = 0; i < RUNS; ++i) {
        std::string file = box.reg + "\\picture" + std::to_string(i) + ".fxpc";
        ASSERT_TRUE(Test_Start(box.exe, "\"" + box.exe + "\" " + file, &processes[i]));
    }
    for (int i = 0; i < RUNS; ++i) {
        EXPECT_EQ(Test_Finish(&processes[i]), 1) << "run " << i;
    }
    std::vector<uint8_t> dib;
    ASSERT_TRUE(Test_ReadClipboard(CF_DIB, &dib));
    EXPECT_NE(std::find(placed.begin(), placed.end(), Test_Bytes(dib)), placed.end());
    Test_RemoveSandbox(box);
}

} // namespace
