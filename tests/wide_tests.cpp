// Files, folders and archive entries named in any script, through the
// program, under code page 1252 (LC_ALL=C.UTF-8): plug-ins with wide entry
// points get the exact UTF-16 path, plug-in folders whose names the code
// page cannot spell still load, and a listing names every entry exactly in
// CF_UNICODETEXT.
#include "plugin/spi.h"
#include "tests/support/records.h"
#include "tests/support/harness.h"

#include <gtest/gtest.h>

namespace {

// A CJK folder name with a space and a character outside the BMP.
const std::wstring FOLDER = L"\u63D2\u4EF6 \U0001F600";

std::wstring Scratch(const std::wstring& name) {
    return Test_Wide(Test_BuildPath("scratch")) + L"\\" + name;
}

const std::string PICTURE = Test_SmallPictureFile();

class Wide : public ::testing::Test {
  protected:
    void SetUp() override {
        box = Test_MakeSandbox({});
        CreateDirectoryW(Scratch(L"").c_str(), nullptr);
        dir = Scratch(FOLDER);
        Test_RemoveDirW(dir);
        ASSERT_TRUE(CreateDirectoryW(dir.c_str(), nullptr));
        // A code page that spells these names would prove nothing here.
        ASSERT_NE(Test_FromAnsi(Test_ToAnsi(FOLDER)), FOLDER) << "code page " << GetACP();
    }
    void TearDown() override {
        Test_RemoveDirW(dir);
        Test_RemoveSandbox(box);
    }
    long Run(const std::wstring& exe, const std::wstring& file) {
        return Test_RunWide(exe, L"\"" + exe + L"\" \"" + file + L"\"");
    }
    Sandbox box;
    std::wstring dir; // the folder named in CJK and emoji
};

TEST_F(Wide, PluginsAndFoldersNamedInAnyScript) {
    struct Case {
        const char* name;
        const char* fixture;
        const wchar_t* file; // in the CJK folder
        bool besideProgram;  // the program and the plug-in in the CJK folder, no key
        const char* calls;   // the entry points called, with the file's UTF-8 path
    };
    const Case cases[] = {
        {"wide entry points, CJK file name", "wideimg.spi", L"\u8868\u793A.fxpc", false,
         "IsSupportedW FXPC *\nGetPictureW 0 *\n"},
        {"wide entry points, emoji file name", "wideimg.spi", L"\U0001F600.fxpc", false,
         "IsSupportedW FXPC *\nGetPictureW 0 *\n"},
        {"wide entry points, plain file name", "wideimg.spi", L"plain.fxpc", false,
         "IsSupportedW FXPC *\nGetPictureW 0 *\n"},
        {"ANSI entry points only: the short path", "img.spi", L"\u8868\u793A.fxpc", false,
         "IsSupported FXPC\nGetPicture 0\n"},
        {"the program's own folder", "wideimg.spi", L"\U0001F600.fxpc", true,
         "IsSupportedW FXPC *\nGetPictureW 0 *\n"},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        Test_ClearLog();
        Test_SetClipboardSentinel();
        std::wstring plugin = dir + L"\\" + Test_Wide(c.fixture);
        ASSERT_TRUE(CopyFileW(Test_Wide(Test_BuildPath("fixtures\\") + c.fixture).c_str(),
                              plugin.c_str(), FALSE));
        std::wstring exe = Test_Wide(box.exe);
        if (c.besideProgram) {
            exe = dir + L"\\quorlex.exe";
            ASSERT_TRUE(CopyFileW(Test_Wide(box.exe).c_str(), exe.c_str(), FALSE));
            Test_DeletePluginKey();
        } else {
            Test_SetPluginPathW(dir);
        }
        std::wstring file = dir + L"\\" + c.file;
        ASSERT_TRUE(Test_WriteFileW(file, PICTURE));
        EXPECT_EQ(Run(exe, file), 1);
        std::string expected;
        std::string calls = c.calls;
        for (size_t at = 0; at < calls.size();) {
            size_t end = calls.find('\n', at);
            std::string call = calls.substr(at, end - at);
            if (call.back() == '*') {
                call.replace(call.size() - 1, 1, Test_Utf8(file));
            }
            expected += std::string(c.fixture) + " " + call + "\n";
            at = end + 1;
        }
        EXPECT_EQ(Test_ReadLog(), expected);
        std::vector<uint8_t> dib;
        EXPECT_TRUE(Test_ReadClipboard(CF_DIB, &dib));
        EXPECT_EQ(Test_Bytes(dib), PICTURE.substr(16));
        DeleteFileW(plugin.c_str());
        DeleteFileW(file.c_str());
        if (c.besideProgram) {
            DeleteFileW(exe.c_str());
        }
    }
}

ArchiveEntryInfoW WideEntry(const char* method, SpiSize original, SpiSize packed,
                            const std::wstring& path, const std::wstring& name, uint32_t crc) {
    ArchiveEntryInfoW e = {};
    memcpy(e.method, method, strnlen(method, 8));
    e.filesize = original;
    e.compsize = packed;
    e.timestamp = -1;
    memcpy(e.path, path.data(), std::min<size_t>(path.size(), 200) * sizeof(wchar_t));
    memcpy(e.filename, name.data(), std::min<size_t>(name.size(), 200) * sizeof(wchar_t));
    e.crc = crc;
    return e;
}

// From wide records the UTF-16 listing names every entry exactly, and
// CF_TEXT is its conversion to the code page, as the system converts.
TEST_F(Wide, ListingsNameEveryEntryExactly) {
    std::wstring plugin = dir + L"\\widearc.spi";
    ASSERT_TRUE(CopyFileW(Test_Wide(Test_BuildPath("fixtures\\widearc.spi")).c_str(),
                          plugin.c_str(), FALSE));
    Test_SetPluginPathW(dir);
    std::wstring longName(200, L'\u00E9');
    ArchiveEntryInfoW entries[] = {
        WideEntry("Deflate", 800, 321, L"\u76EE\u5F55\\sub\\", L"\U0001F600 \u00E9.txt", 0x1A2B),
        WideEntry("-lh0-", 7, 7, L"", L"line\r\nforged", 0xFF),
        WideEntry("m", 1, 1, longName, longName, 0),
        ArchiveEntryInfoW{},
    };
    std::string content =
        "FXAR" + Test_Le32(0) + std::string(reinterpret_cast<const char*>(entries), sizeof entries);
    std::wstring file = dir + L"\\\u66F8\u5EAB.fxar";
    ASSERT_TRUE(Test_WriteFileW(file, content));
    EXPECT_EQ(Run(Test_Wide(box.exe), file), 1);

    std::wstring slashed = file;
    for (wchar_t& c : slashed) {
        c = c == L'\\' ? L'/' : c;
    }
    std::wstring rule = Test_Wide(TEST_RULE);
    std::wstring expected =
        L"Listing of archive : " + slashed +
        L"\r\n\r\n Original   Packed     Ratio     Date     Time      Type   CRC    Name\r\n" +
        rule +
        L"\r\n       800        321   40.1% ---------- -------- Deflate  1A2B  "
        L"\u76EE\u5F55/sub/\U0001F600 \u00E9.txt"
        L"\r\n         7          7  100.0% ---------- --------  -lh0-   00FF  line??forged"
        L"\r\n         1          1  100.0% ---------- --------    m     0000  " +
        longName + longName + L"\r\n" + rule +
        L"\r\n       808        329   40.7%                                     3 files\r\n";
    EXPECT_EQ(Test_ClipboardUnicode(), expected);
    EXPECT_EQ(Test_ClipboardText(), Test_ToAnsi(expected));
    EXPECT_EQ(Test_ReadLog(), "widearc.spi IsSupportedW FXAR " + Test_Utf8(file) +
                                  "\nwidearc.spi GetArchiveInfoW 0 " + Test_Utf8(file) + "\n");
    DeleteFileW(file.c_str());
    DeleteFileW(plugin.c_str());
}

} // namespace
