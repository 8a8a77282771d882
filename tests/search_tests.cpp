// A folder of plug-ins from different authors, through the program: one
// that accepts a file and then fails or faults hands it on to the next,
// and the run never ends with an exception code.
#include "plugin/spi.h"
#include "tests/support/records.h"
#include "tests/support/harness.h"

#include <gtest/gtest.h>

namespace {

const std::string PICTURE = Test_SmallPictureFile();

// An archive fixture's file with one entry named "kept".
std::string ArchiveOfOne() {
    ArchiveEntryInfo entries[2] = {};
    memcpy(entries[0].method, "m", 1);
    memcpy(entries[0].filename, "kept", 4);
    return "FXAR" + Test_Le32(0) +
           std::string(reinterpret_cast<const char*>(entries), sizeof entries);
}

TEST(Search, APluginThatFailsOrFaultsHandsTheFileOn) {
    struct Case {
        const char* first;  // asked first, as a.spi
        const char* second; // asked next, as b.spi; null: none
        bool archive;
        long exitCode;
        const char* log; // with loading and unloading
    };
    // A plug-in that faulted stays loaded to the end of the run and is not
    // asked again; one that failed is freed and asked again 128 bytes on.
    const Case cases[] = {
        {"failpic.spi", "img.spi", false, 1,
         "a.spi attach\na.spi IsSupported FXPC\na.spi GetPicture 0\na.spi detach\n"
         "b.spi attach\nb.spi IsSupported FXPC\nb.spi GetPicture 0\nb.spi detach\n"},
        {"faultinfo.spi", "img.spi", false, 1,
         "a.spi attach\nb.spi attach\nb.spi IsSupported FXPC\nb.spi GetPicture 0\nb.spi detach\n"
         "a.spi detach\n"},
        {"faultsupp.spi", "img.spi", false, 1,
         "a.spi attach\na.spi IsSupported FXPC\nb.spi attach\nb.spi IsSupported FXPC\n"
         "b.spi GetPicture 0\nb.spi detach\na.spi detach\n"},
        {"faultpic.spi", "img.spi", false, 1,
         "a.spi attach\na.spi IsSupported FXPC\na.spi GetPicture 0\nb.spi attach\n"
         "b.spi IsSupported FXPC\nb.spi GetPicture 0\nb.spi detach\na.spi detach\n"},
        {"faultpic.spi", nullptr, false, 0,
         "a.spi attach\na.spi IsSupported FXPC\na.spi GetPicture 0\na.spi detach\n"},
        {"failarc.spi", "arc.spi", true, 1,
         "a.spi attach\na.spi IsSupported FXAR\na.spi GetArchiveInfo 0\na.spi detach\n"
         "b.spi attach\nb.spi IsSupported FXAR\nb.spi GetArchiveInfo 0\nb.spi detach\n"},
        {"faultarc.spi", "arc.spi", true, 1,
         "a.spi attach\na.spi IsSupported FXAR\na.spi GetArchiveInfo 0\nb.spi attach\n"
         "b.spi IsSupported FXAR\nb.spi GetArchiveInfo 0\nb.spi detach\na.spi detach\n"},
        {"faultarc.spi", nullptr, true, 0,
         "a.spi attach\na.spi IsSupported FXAR\na.spi GetArchiveInfo 0\na.spi detach\n"},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(testing::Message() << c.first << ", then " << (c.second ? c.second : "none"));
        Sandbox box = Test_MakeSandbox({});
        ASSERT_TRUE(Test_CopyFixture(c.first, box.reg + "\\a.spi"));
        if (c.second != nullptr) {
            ASSERT_TRUE(Test_CopyFixture(c.second, box.reg + "\\b.spi"));
        }
        std::string file = box.reg + "\\file.dat";
        Test_WriteFile(file, c.archive ? ArchiveOfOne() : PICTURE);
        EXPECT_EQ(Test_RunTail(box.exe, file), c.exitCode);
        EXPECT_EQ(Test_ReadLog(true), c.log);
        std::vector<uint8_t> dib;
        if (c.exitCode == 0) {
            EXPECT_EQ(Test_ClipboardText(), TEST_SENTINEL);
        } else if (c.archive) {
            EXPECT_NE(Test_ClipboardText().find("0000  kept\r\n"), std::string::npos);
        } else {
            ASSERT_TRUE(Test_ReadClipboard(CF_DIB, &dib));
            EXPECT_EQ(Test_Bytes(dib), PICTURE.substr(16));
        }
        Test_RemoveSandbox(box);
    }
}

} // namespace
