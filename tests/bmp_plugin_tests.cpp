// The shipped BMP plug-in, through the program: a bitmap file named on the
// command line, the CF_DIB block read back byte for byte.
#include "tests/support/records.h"
#include "tests/support/harness.h"

#include <gtest/gtest.h>

namespace {

struct Bitmap {
    int32_t width;
    int32_t height;
    uint16_t bits;
    uint32_t compression;
    uint32_t clrUsed;
    std::string headerTail; // bytes of a header longer than 40
    std::string table;      // colour table or masks after the header
    std::string pixels;
    uint32_t gap; // bytes between the table and the pixels
};

// The first 40 bytes of the bitmap's info header, whatever its size says.
std::string InfoHeader(const Bitmap& b, uint32_t size, uint32_t sizeImage, uint32_t clrUsed) {
    return Test_InfoHeader(size, b.width, b.height, b.bits, b.compression, clrUsed, sizeImage)
        .substr(0, 40);
}

std::string BmpFile(const Bitmap& b) {
    std::string info =
        InfoHeader(b, static_cast<uint32_t>(40 + b.headerTail.size()), 0, b.clrUsed) + b.headerTail;
    uint32_t offBits = static_cast<uint32_t>(14 + info.size() + b.table.size() + b.gap);
    return "BM" + Test_Le32(static_cast<uint32_t>(offBits + b.pixels.size())) + Test_Le32(0) +
           Test_Le32(offBits) + info + b.table + std::string(b.gap, 'g') + b.pixels;
}

class BmpPlugin : public ::testing::Test {
  protected:
    void SetUp() override {
        ASSERT_TRUE(Test_MakeShippedSandbox("qxbmp", &box));
    }
    void TearDown() override {
        Test_RemoveSandbox(box);
    }
    long Run(const std::string& content) {
        std::string file = box.prog + "\\picture.bmp";
        Test_WriteFile(file, content);
        return Test_RunTail(box.exe, file);
    }
    Sandbox box;
};

TEST_F(BmpPlugin, DecodesUncompressedBitmaps) {
    std::string masks565 = Test_Le32(0xF800) + Test_Le32(0x07E0) + Test_Le32(0x001F);
    std::string masks888 = Test_Le32(0xFF0000) + Test_Le32(0xFF00) + Test_Le32(0xFF);
    struct Case {
        const char* name;
        Bitmap bitmap;
        std::string table; // what the block carries after its header
        uint32_t image;
    };
    const Case cases[] = {
        {"1-bit, 9 wide",
         {9, 2, 1, BI_RGB, 0, "", Test_Pattern(8, 1), Test_Pattern(8, 2), 0},
         Test_Pattern(8, 1),
         8},
        {"4-bit, 3 of 16 colours",
         {3, 2, 4, BI_RGB, 3, "", Test_Pattern(12, 3), Test_Pattern(8, 4), 0},
         Test_Pattern(12, 3) + std::string(52, '\0'),
         8},
        {"8-bit",
         {5, 3, 8, BI_RGB, 0, "", Test_Pattern(1024, 5), Test_Pattern(24, 6), 0},
         Test_Pattern(1024, 5),
         24},
        {"8-bit, gap before the pixels",
         {5, 3, 8, BI_RGB, 0, "", Test_Pattern(1024, 5), Test_Pattern(24, 6), 10},
         Test_Pattern(1024, 5),
         24},
        {"24-bit bottom-up", {3, 2, 24, BI_RGB, 0, "", "", Test_Pattern(24, 7), 0}, "", 24},
        {"24-bit top-down", {3, -2, 24, BI_RGB, 0, "", "", Test_Pattern(24, 8), 0}, "", 24},
        {"24-bit, 124-byte header",
         {3, 2, 24, BI_RGB, 0, Test_Pattern(84, 9), "", Test_Pattern(24, 10), 0},
         "",
         24},
        {"32-bit", {2, 2, 32, BI_RGB, 0, "", "", Test_Pattern(16, 11), 0}, "", 16},
        {"32-bit with masks after the header",
         {2, 2, 32, BI_BITFIELDS, 0, "", masks888, Test_Pattern(16, 12), 0},
         masks888,
         16},
        {"16-bit with masks inside a 124-byte header",
         {3, -2, 16, BI_BITFIELDS, 0, masks565 + Test_Pattern(72, 13), "", Test_Pattern(16, 14), 0},
         masks565,
         16},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        Test_SetClipboardSentinel();
        ASSERT_EQ(Run(BmpFile(c.bitmap)), 1);
        std::vector<uint8_t> block;
        ASSERT_TRUE(Test_ReadClipboard(CF_DIB, &block));
        std::string expected =
            InfoHeader(c.bitmap, 40, c.image, 0) + c.table + c.bitmap.pixels.substr(0, c.image);
        EXPECT_EQ(std::string(block.begin(), block.end()), expected);
    }
}

TEST_F(BmpPlugin, DeclinesWhatItCannotDecode) {
    Bitmap good = {3, 2, 24, BI_RGB, 0, "", "", Test_Pattern(24, 1), 0};
    std::string truncated = BmpFile(good);
    truncated.resize(truncated.size() - 1);
    std::string rle =
        BmpFile({4, 2, 8, BI_RLE8, 0, "", Test_Pattern(1024, 1), Test_Pattern(8, 1), 0});
    std::string notBmp = BmpFile(good);
    notBmp[1] = 'X';
    std::string coreHeader =
        "BM" + Test_Le32(40) + Test_Le32(0) + Test_Le32(26) + Test_Le32(12) + Test_Pattern(20, 1);
    // Pixels said to start at 0, or inside the colour table: the headers
    // would be decoded as pixels.
    std::string atZero = BmpFile(good);
    atZero.replace(10, 4, Test_Le32(0));
    Bitmap paletted = {4, 1, 8, BI_RGB, 0, "", Test_Pattern(1024, 2), Test_Pattern(4, 3), 0};
    std::string inTable = BmpFile(paletted);
    inTable.replace(10, 4, Test_Le32(14 + 40 + 512));
    struct Case {
        const char* name;
        std::string content;
        long exitCode;
    };
    const Case cases[] = {
        {"pixels cut short", truncated, 0}, {"run-length compressed", rle, 0},
        {"not a bitmap", notBmp, 0},        {"12-byte header", coreHeader, 0},
        {"pixel offset 0", atZero, 0},      {"pixel offset inside the colour table", inTable, 0},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        Test_SetClipboardSentinel();
        EXPECT_EQ(Run(c.content), c.exitCode);
        EXPECT_EQ(Test_ClipboardText(), TEST_SENTINEL);
    }
}

// A picture behind a 128-byte header of another kind (as a MacBinary file
// has) is decoded from where it starts.
TEST_F(BmpPlugin, DecodesAPicture128BytesIntoTheFile) {
    Bitmap b = {3, 2, 24, BI_RGB, 0, "", "", Test_Pattern(24, 7), 0};
    ASSERT_EQ(Run(std::string(128, 'm') + BmpFile(b)), 1);
    std::vector<uint8_t> block;
    ASSERT_TRUE(Test_ReadClipboard(CF_DIB, &block));
    EXPECT_EQ(std::string(block.begin(), block.end()), InfoHeader(b, 40, 24, 0) + b.pixels);
}

} // namespace
