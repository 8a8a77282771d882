// Table-driven cases for the pure logic: the command tail, the lengths of
// the clipboard's bitmap block, and the listing's columns and text.
#include "app/app.h"
#include "clipboard/clipboard.h"
#include "listing/listing.h"
#include "plugin/search.h"
#include "tests/support/harness.h"

#include <gtest/gtest.h>

#include <algorithm>

namespace {

TEST(CommandTail, SpacesSeparateAndOneQuotedPathLosesItsQuotes) {
    struct Case {
        const wchar_t* raw;
        const wchar_t* tail;
        const wchar_t* path;
    };
    const Case cases[] = {
        {L"prog.exe", L"", L""},
        {L"prog.exe   ", L"", L""},
        {L"prog.exe a.bmp", L"a.bmp", L"a.bmp"},
        {L"prog.exe    a b.bmp  ", L"a b.bmp  ", L"a b.bmp  "},
        {L"prog.exe \"a b.bmp\"", L"\"a b.bmp\"", L"a b.bmp"},
        {L"prog.exe \"a b.bmp\"   ", L"\"a b.bmp\"   ", L"a b.bmp"},
        {L"prog.exe \"a b.bmp\" x", L"\"a b.bmp\" x", L"\"a b.bmp\" x"},
        {L"prog.exe \"a b.bmp\"\t", L"\"a b.bmp\"\t", L"\"a b.bmp\"\t"},
        {L"prog.exe \"a b.bmp", L"\"a b.bmp", L"\"a b.bmp"},
        {L"prog.exe \"\"", L"\"\"", L""},
        {L"prog.exe a\"b\"", L"a\"b\"", L"a\"b\""},
        {L"prog.exe\ta.bmp", L"", L""},
        {L"prog.exe \ta.bmp", L"\ta.bmp", L"\ta.bmp"},
        {L"\"C:\\x y\\prog.exe\" a.bmp", L"a.bmp", L"a.bmp"},
        {L"\"C:\\x y\\prog.exe\"a.bmp", L"a.bmp", L"a.bmp"},
        {L"\"C:\\x y\\prog.exe\"   ", L"", L""},
        {L"\"C:\\x y\\prog.exe a.bmp", L"\"C:\\x y\\prog.exe a.bmp", L"\"C:\\x y\\prog.exe a.bmp"},
        {L"\"\" a.bmp", L"a.bmp", L"a.bmp"},
        {L"", L"", L""},
    };
    for (const Case& c : cases) {
        std::wstring raw = c.raw;
        wchar_t* tail = Startup_GetCommandTail(&raw[0]);
        EXPECT_EQ(std::wstring(tail), c.tail) << "raw: " << testing::PrintToString(c.raw);
        EXPECT_TRUE(tail >= &raw[0] && tail <= &raw[0] + raw.size()) << "points into the line";
        int length = -1;
        const wchar_t* path = Startup_Unquote(tail, &length);
        EXPECT_EQ(std::wstring(path, length), c.path) << "raw: " << testing::PrintToString(c.raw);
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
        {24, BI_RGB, 3, 2, 1000, 1, 40, 24},
        {24, BI_RGB, 3, 2, 10, 1, 40, 24},
        {24, BI_JPEG, 3, 2, 1000, 1, 40, 1000},
        {24, BI_RGB, -3, 2, 1000, 0, 0, 0},
        {24, BI_RGB, 0, 5, 0, 1, 40, 0},
        {1, BI_RGB, -7, 1, 0, 1, 48, 0},
        {1, BI_RGB, -8, 1, 0, 0, 0, 0},
        {4, BI_RGB, -1, 1, 0, 1, 104, 0},
        {24, BI_RGB, -1, 1, 0, 0, 0, 0},
        {24, BI_RGB, 3, INT32_MIN, 0, 0, 0, 0},
        {32, BI_RGB, 0x7FFFFFFF, 0x7FFFFFFF, 0, 0, 0, 0},
        {24, BI_JPEG, 1, 0, 0xFFFFFFFF, 0, 0, 0},
        {24, BI_JPEG, 1, 0, 0xFFFFFFFF - 40, 1, 40, 0xFFFFFFFF - 40},
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
        ASSERT_EQ(Clipboard_DibLengths(&h, &header, &image), c.ok);
        if (c.ok) {
            EXPECT_EQ(header, c.header);
            EXPECT_EQ(image, c.image);
        }
    }
}

TEST(DibLengths, HeaderLengthFollowsBiSizeAndBiClrUsed) {
    struct Case {
        WORD bits;
        DWORD compression;
        DWORD size;
        DWORD clrUsed;
        uint64_t header;
    };
    const Case cases[] = {
        {8, BI_RGB, 40, 0, 1064},         {8, BI_RGB, 40, 8, 72},
        {8, BI_RGB, 40, 256, 1064},       {8, BI_RGB, 40, 300, 1064},
        {4, BI_RGB, 40, 5, 60},           {4, BI_RGB, 40, 17, 104},
        {1, BI_RGB, 40, 1, 44},           {2, BI_RGB, 40, 9, 56},
        {24, BI_RGB, 40, 3, 52},          {24, BI_RGB, 40, 1000, 1064},
        {16, BI_BITFIELDS, 40, 2, 60},    {32, BI_BITFIELDS, 52, 0, 52},
        {32, BI_BITFIELDS, 56, 0, 56},    {16, BI_RGB, 108, 0, 108},
        {32, BI_BITFIELDS, 108, 0, 108},  {32, BI_BITFIELDS, 124, 0, 124},
        {8, BI_RGB, 108, 0, 1132},        {8, BI_RGB, 124, 2, 132},
        {24, BI_RGB, 64, 0, 40},          {24, BI_RGB, 12, 0, 40},
        {8, BI_RGB, 0xFFFFFFFF, 0, 1064}, {8, BI_RGB, 40, 0xFFFFFFFF, 1064},
    };
    for (const Case& c : cases) {
        BITMAPINFOHEADER h = {};
        h.biSize = c.size;
        h.biBitCount = c.bits;
        h.biCompression = c.compression;
        h.biClrUsed = c.clrUsed;
        h.biWidth = 4;
        h.biHeight = 1;
        uint64_t header = 0;
        uint64_t image = 0;
        SCOPED_TRACE(testing::Message()
                     << c.bits << " bits, biSize " << c.size << ", biClrUsed " << c.clrUsed);
        ASSERT_EQ(Clipboard_DibLengths(&h, &header, &image), 1);
        EXPECT_EQ(header, c.header);
    }
}

std::string Decimal(ListingWide value, int width) {
    char out[64];
    return std::string(out, Listing_Decimal(out, value, width));
}

TEST(ListingColumns, RatioRoundsToTenthsOfAPercent) {
    struct Case {
        uint64_t packed;
        uint64_t original;
        const char* shown;
    };
    const uint64_t max = ~uint64_t{0};
    const uint64_t big = (uint64_t{1} << 56) - 1;
    const Case cases[] = {
        {0, 0, "0.0"},
        {7, 0, "0.0"},
        {0, 7, "0.0"},
        {321, 800, "40.1"},
        {103, 795, "13.0"},
        {3000000, 6000000, "50.0"},
        {120, 120, "100.0"},
        {3, 2, "150.0"},
        {1, 3, "33.3"},
        {2, 3, "66.7"},
        {1, 2000, "0.1"},
        {1, 2001, "0.0"},
        {999, 1000, "99.9"},
        {9995, 10000, "100.0"},
        {max, max, "100.0"},
        {1, max, "0.0"},
#ifdef _WIN64
        {max, 1, "1844674407370955161500.0"},
        {max - 1, max, "100.0"},
#endif
        // The largest sums an x86 listing can reach: 32-bit sizes of the
        // records one block holds stay below 2^56.
        {big, 1, "7205759403792793500.0"},
        {big - 1, big, "100.0"},
        {5, 1000, "0.5"},
        {4, 1000, "0.4"},
        {49, 100000, "0.0"},
        {50, 100000, "0.1"},
        {99995, 100000, "100.0"},
        {5000000000u, 7294967295u, "68.5"},
    };
    for (const Case& c : cases) {
        ListingWide whole = 99;
        unsigned tenths = 99;
        Listing_Ratio(c.packed, c.original, &whole, &tenths);
        EXPECT_EQ(Decimal(whole, 0) + "." + std::to_string(tenths), c.shown)
            << c.packed << "/" << c.original;
    }
}

// A folder's plug-ins are asked in this order on every file system: as NTFS
// lists them, ordinal after upper-casing, and by case where only case differs.
TEST(PluginNames, OrderIsTheFileSystemsWhateverTheDirectoryGives) {
    const std::vector<std::wstring> sorted = {
        L"1.spi", L"A.spi",  L"a.spi", L"a1.spi",     L"b.spi",
        L"Z.spi", L"_x.spi", L"~.spi", L"\u00E4.spi", L"\u00C5b.spi",
    };
    for (int rotation = 0; rotation < 3; ++rotation) {
        std::vector<std::wstring> names = sorted;
        std::reverse(names.begin(), names.end());
        std::rotate(names.begin(), names.begin() + rotation * 3, names.end());
        std::sort(names.begin(), names.end(), [](const std::wstring& a, const std::wstring& b) {
            return Plugin_CompareNames(a.c_str(), b.c_str()) < 0;
        });
        EXPECT_EQ(names, sorted);
    }
    EXPECT_EQ(Plugin_CompareNames(L"abc.spi", L"abc.spi"), 0);
}

TEST(PluginNames, SameFolderIgnoresCaseAndTrailingBackslashes) {
    struct Case {
        const wchar_t* a;
        const wchar_t* b;
        int same;
    };
    const Case cases[] = {
        {L"C:\\Tools", L"c:\\tools\\", 1},
        {L"C:\\Tools\\\\", L"C:\\Tools", 1},
        {L"C:\\Tools", L"C:\\Tools2", 0},
        {L"C:\\T\u00D6", L"c:\\t\u00F6", 1},
        {L"", L"", 1},
        {L"C:\\", L"", 0},
    };
    for (const Case& c : cases) {
        EXPECT_EQ(Plugin_SameFolder(c.a, c.b), c.same) << testing::PrintToString(c.a);
    }
}

TEST(ListingColumns, DecimalsAreRightAligned) {
    struct Case {
        ListingWide value;
        int width;
        const char* shown;
    };
    const Case cases[] = {
        {0, 10, "         0"},
        {1234, 4, "1234"},
        {12345, 4, "12345"},
        {0, 0, "0"},
        {2147483648u, 10, "2147483648"},
        {4294967295u, 10, "4294967295"},
        {static_cast<ListingWide>(1) << 40, 10, "1099511627776"},
    };
    for (const Case& c : cases) {
        EXPECT_EQ(Decimal(c.value, c.width), c.shown);
    }
}

TEST(ListingColumns, TypeFieldCentresTheMethod) {
    const char* cases[][2] = {
        {"", "        "},         {"a", "   a    "},          {"ab", "   ab   "},
        {"abc", "  abc   "},      {"-lh5-", " -lh5-  "},      {"Deflate", "Deflate "},
        {"ABCDEFGH", "ABCDEFGH"}, {"ABCDEFGHIJ", "ABCDEFGH"}, {"ab\r\ncd", " ab??cd "},
    };
    for (auto& c : cases) {
        char method[8] = {};
        memcpy(method, c[0], strnlen(c[0], 8));
        char out[9] = {};
        Listing_TypeField(out, method);
        EXPECT_EQ(std::string(out), c[1]) << c[0];
    }
}

TEST(ListingText, SlashPathTurnsBackslashesOnly) {
    const char* cases[][2] = {
        {"", ""}, {"a\\b\\", "a/b/"}, {"\\\\", "//"}, {"a/b", "a/b"}, {"C:\\x y\\z", "C:/x y/z"},
    };
    for (auto& c : cases) {
        std::string text = c[0];
        Util_SlashPath(&text[0]);
        EXPECT_EQ(text, c[1]);
    }
}

std::string TextOf(const ListingText& text) {
    const char* bytes = static_cast<const char*>(GlobalLock(text.block));
    std::string s = bytes;
    GlobalUnlock(text.block);
    return s;
}

TEST(ListingText, AppendCopiesUpToNBytesAndStopsAtTheTerminator) {
    struct Step {
        const char* piece;
        int n;
        const char* text;
    };
    const Step steps[] = {
        {"Listing", 7, "Listing"}, {"abc", 2, "Listingab"},  {"x\0yz", 4, "Listingabx"},
        {"", 0, "Listingabx"},     {"zz", -1, "Listingabx"}, {"123", 3, "Listingabx123"},
    };
    ListingText text = {nullptr, 0};
    for (const Step& step : steps) {
        Util_AppendText(&text, step.piece, step.n);
        ASSERT_NE(text.block, nullptr);
        EXPECT_EQ(TextOf(text), step.text);
        EXPECT_EQ(text.length, strlen(step.text));
    }
    GlobalFree(text.block);
}

// Items are placed whole or not at all: one the clipboard refuses (here
// for want of a format) takes back those placed before it in the same
// transaction, and the clipboard is left empty.
TEST(ClipboardItems, PlacedWholeOrNotAtAll) {
    struct Case {
        UINT second; // the second item's format
        int placed;
        const char* text;
    };
    const Case cases[] = {{CF_UNICODETEXT, 1, "a"}, {0, 0, "<none>"}};
    for (const Case& c : cases) {
        SCOPED_TRACE(c.second);
        Test_SetClipboardSentinel();
        ClipboardItem items[2] = {{CF_TEXT, Clipboard_Block(2, "a", 1, 1, nullptr, 0)},
                                  {c.second, Clipboard_Block(4, L"a", 2, 2, nullptr, 0)}};
        EXPECT_EQ(Clipboard_PlaceItems(items, 2), c.placed);
        EXPECT_EQ(Test_ClipboardText(), c.text);
        EXPECT_EQ(items[0].block, nullptr);
        EXPECT_EQ(items[1].block, nullptr);
    }
}

} // namespace
