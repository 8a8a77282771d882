// Table-driven cases for the pure logic: the command tail and the lengths
// of the clipboard's bitmap block.
#include "app/app.h"
#include "clipboard/clipboard.h"

#include <gtest/gtest.h>

namespace {

TEST(CommandTail, SpacesSeparateQuotesStay) {
    struct Case {
        const char* raw;
        const char* tail;
    };
    const Case cases[] = {
        {"prog.exe", ""},
        {"prog.exe   ", ""},
        {"prog.exe a.bmp", "a.bmp"},
        {"prog.exe    a b.bmp  ", "a b.bmp  "},
        {"prog.exe \"a b.bmp\"", "\"a b.bmp\""},
        {"prog.exe\ta.bmp", ""},
        {"prog.exe \ta.bmp", "\ta.bmp"},
        {"\"C:\\x y\\prog.exe\" a.bmp", "a.bmp"},
        {"\"C:\\x y\\prog.exe\"a.bmp", "a.bmp"},
        {"\"C:\\x y\\prog.exe\"   ", ""},
        {"\"C:\\x y\\prog.exe a.bmp", "\"C:\\x y\\prog.exe a.bmp"},
        {"\"\" a.bmp", "a.bmp"},
        {"", ""},
    };
    for (const Case& c : cases) {
        std::string raw = c.raw;
        char* tail = Startup_GetCommandTail(&raw[0]);
        EXPECT_EQ(std::string(tail), c.tail) << "raw: " << c.raw;
        EXPECT_TRUE(tail >= &raw[0] && tail <= &raw[0] + raw.size()) << "points into the line";
    }
}

TEST(DibLengths, HeaderAndImageLengthByBitCount) {
    struct Case {
        WORD bits;
        DWORD compression;
        LONG width;
        LONG height;
        DWORD sizeImage;
        int ok;
        uint64_t header;
        uint64_t image;
    };
    const Case cases[] = {
        {1, BI_RGB, 9, 2, 0, 1, 48, 8},
        {1, BI_RGB, 32, 1, 0, 1, 48, 4},
        {4, BI_RGB, 3, 2, 0, 1, 104, 8},
        {8, BI_RGB, 5, 3, 0, 1, 1064, 24},
        {8, BI_RGB, 5, -3, 0, 1, 1064, 24},
        {16, BI_RGB, 3, 2, 0, 1, 40, 16},
        {16, BI_BITFIELDS, 3, 2, 0, 1, 52, 16},
        {24, BI_RGB, 3, 2, 0, 1, 40, 24},
        {24, BI_RGB, 3, -2, 0, 1, 40, 24},
        {24, BI_BITFIELDS, 3, 2, 0, 1, 40, 24},
        {32, BI_RGB, 2, 2, 0, 1, 40, 16},
        {32, BI_BITFIELDS, 2, 2, 0, 1, 52, 16},
        {2, BI_RGB, 5, 1, 0, 1, 40, 8},
        {0, BI_RGB, 5, 1, 0, 1, 40, 8},
        {24, BI_RGB, 3, 2, 1000, 1, 40, 1000},
        {24, BI_RGB, -3, 2, 1000, 0, 0, 0},
        {24, BI_RGB, 0, 5, 0, 1, 40, 0},
        {1, BI_RGB, -7, 1, 0, 1, 48, 0},
        {1, BI_RGB, -8, 1, 0, 0, 0, 0},
        {4, BI_RGB, -1, 1, 0, 1, 104, 0},
        {24, BI_RGB, -1, 1, 0, 0, 0, 0},
        {24, BI_RGB, 3, INT32_MIN, 0, 0, 0, 0},
        {32, BI_RGB, 0x7FFFFFFF, 0x7FFFFFFF, 0, 0, 0, 0},
        {24, BI_RGB, 1, 0, 0xFFFFFFFF, 0, 0, 0},
        {24, BI_RGB, 1, 0, 0xFFFFFFFF - 40, 1, 40, 0xFFFFFFFF - 40},
        {32, BI_RGB, 16384, 65535, 0, 1, 40, 0xFFFF0000ull},
        {32, BI_RGB, 16384, -65536, 0, 0, 0, 0},
    };
    for (const Case& c : cases) {
        BITMAPINFOHEADER h = {};
        h.biSize = 40;
        h.biBitCount = c.bits;
        h.biCompression = c.compression;
        h.biWidth = c.width;
        h.biHeight = c.height;
        h.biSizeImage = c.sizeImage;
        uint64_t header = 0;
        uint64_t image = 0;
        SCOPED_TRACE(testing::Message() << c.bits << " bits " << c.width << "x" << c.height);
        ASSERT_EQ(Quorlex_DibLengths(&h, &header, &image), c.ok);
        if (c.ok) {
            EXPECT_EQ(header, c.header);
            EXPECT_EQ(image, c.image);
        }
    }
}

} // namespace
