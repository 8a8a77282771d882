// A folder of plug-ins from different authors, through the program: one
// that accepts a file and then fails, faults or misbehaves in any other way
// hands it on to the next, and the run never ends with an exception code.
#include "plugin/registry.h"
#include "plugin/spi.h"
#include "tests/support/records.h"
#include "tests/support/harness.h"

#include <gtest/gtest.h>

namespace {

const std::string PICTURE = Test_SmallPictureFile();

// The clipboard after a run: the CF_DIB `dib` when a picture was placed,
// else what it had.
void ExpectPlaced(bool placed, const std::string& dib) {
    std::vector<uint8_t> block;
    if (placed) {
        ASSERT_TRUE(Test_ReadClipboard(CF_DIB, &block));
        EXPECT_EQ(Test_Bytes(block), dib);
    } else {
        EXPECT_EQ(Test_ClipboardText(), TEST_SENTINEL);
    }
}

TEST(Search, APluginThatFailsOrFaultsHandsTheFileOn) {
    struct Case {
        const char* first;  // asked first, as a.spi
        const char* second; // asked next, as b.spi; null: none
        bool archive;
        long exitCode;
        const char* log; // with loading and unloading
    };
    // A plug-in that faulted stays loaded, is not asked again and is not
    // called on the way out either; one that failed is asked about the
    // bytes 128 on before it is freed.
    const Case cases[] = {
        {"failpic.spi", "img.spi", false, 1,
         "a.spi attach\na.spi IsSupported FXPC\na.spi GetPicture 0\na.spi IsSupported ....\n"
         "a.spi detach\nb.spi attach\nb.spi IsSupported FXPC\nb.spi GetPicture 0\nb.spi detach\n"},
        {"faultinfo.spi", "img.spi", false, 1,
         "a.spi attach\nb.spi attach\nb.spi IsSupported FXPC\nb.spi GetPicture 0\nb.spi detach\n"},
        {"faultsupp.spi", "img.spi", false, 1,
         "a.spi attach\na.spi IsSupported FXPC\nb.spi attach\nb.spi IsSupported FXPC\n"
         "b.spi GetPicture 0\nb.spi detach\n"},
        {"faultpic.spi", "img.spi", false, 1,
         "a.spi attach\na.spi IsSupported FXPC\na.spi GetPicture 0\nb.spi attach\n"
         "b.spi IsSupported FXPC\nb.spi GetPicture 0\nb.spi detach\n"},
        {"faultpic.spi", nullptr, false, 0,
         "a.spi attach\na.spi IsSupported FXPC\na.spi GetPicture 0\n"},
        {"failarc.spi", "arc.spi", true, 1,
         "a.spi attach\na.spi IsSupported FXAR\na.spi GetArchiveInfo 0\na.spi IsSupported ....\n"
         "a.spi detach\nb.spi attach\nb.spi IsSupported FXAR\nb.spi GetArchiveInfo 0\nb.spi "
         "detach\n"},
        {"faultarc.spi", "arc.spi", true, 1,
         "a.spi attach\na.spi IsSupported FXAR\na.spi GetArchiveInfo 0\nb.spi attach\n"
         "b.spi IsSupported FXAR\nb.spi GetArchiveInfo 0\nb.spi detach\n"},
        {"faultarc.spi", nullptr, true, 0,
         "a.spi attach\na.spi IsSupported FXAR\na.spi GetArchiveInfo 0\n"},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(testing::Message() << c.first << ", then " << (c.second ? c.second : "none"));
        Sandbox box = Test_MakeSandbox({});
        ASSERT_TRUE(Test_CopyFixture(c.first, box.reg + "\\a.spi"));
        if (c.second != nullptr) {
            ASSERT_TRUE(Test_CopyFixture(c.second, box.reg + "\\b.spi"));
        }
        std::string file = box.reg + "\\file.dat";
        Test_WriteFile(file, c.archive ? Test_ArchiveOfOne() : PICTURE);
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

// A plug-in that misbehaves, as b.spi (with what `between` names as c.spi
// after it), and a file of the other width as a.spi where `otherBefore`.
struct Misbehaving {
    const char* fixture;
    const char* between; // null: none
    bool otherBefore;
};

// Each misbehaving plug-in with the healthy image plug-in after it (d.spi):
// the picture is placed exactly; alone, the run ends with 0 and the
// clipboard keeps what it had. Nothing ends the run itself, and a plug-in
// that never answers is given up (what it costs, its call's limit, is the
// benchmark's to time).
void ExpectNothingTakesTheRunDown(const Misbehaving* cases, size_t count) {
    for (size_t i = 0; i < count; ++i) {
        const Misbehaving& c = cases[i];
        for (bool healthy : {true, false}) {
            SCOPED_TRACE(testing::Message() << c.fixture << (c.otherBefore ? " after x64/x86" : "")
                                            << (healthy ? ", then img.spi" : " alone"));
            Sandbox box = Test_MakeSandbox({});
            if (c.otherBefore) {
                ASSERT_TRUE(Test_CopyAsMachine(Test_BuildPath("fixtures\\all.spi"),
                                               box.reg + "\\a.spi", PLUGIN_OTHER_MACHINE));
            }
            ASSERT_TRUE(Test_CopyFixture(c.fixture, box.reg + "\\b.spi"));
            if (c.between != nullptr) {
                ASSERT_TRUE(Test_CopyFixture(c.between, box.reg + "\\c.spi"));
            }
            if (healthy) {
                ASSERT_TRUE(Test_CopyFixture("img.spi", box.reg + "\\d.spi"));
            }
            std::string file = box.reg + "\\file.dat";
            Test_WriteFile(file, PICTURE);
            EXPECT_EQ(Test_RunTail(box.exe, file), healthy ? 1 : 0) << Test_ReadLog(true);
            ExpectPlaced(healthy, PICTURE.substr(16));
            Test_RemoveSandbox(box);
        }
    }
}

TEST(Search, NothingAPluginDoesInItsCallTakesTheRunDown) {
    const Misbehaving cases[] = {
        {"none.spi", nullptr, false},
        {"faultsupp.spi", nullptr, false},
        {"throw.spi", nullptr, false},
        {"filterincall.spi", nullptr, false},
        {"filterleft.spi", "faultsupp.spi", false},
        {"threadfaults.spi", nullptr, false},
        {"threadlingers.spi", "none.spi", false},
        {"heaplock.spi", nullptr, false},
        {"overflow.spi", nullptr, false},
        {"longversion.spi", nullptr, false},
        {"endless.spi", nullptr, false},
        {"fastfail.spi", nullptr, false},
        {"failfast.spi", nullptr, false},
        {"exit.spi", nullptr, false},
        {"terminate.spi", nullptr, false},
        {"abort.spi", nullptr, false},
        {"overrun.spi", nullptr, false},
    };
    ExpectNothingTakesTheRunDown(cases, sizeof cases / sizeof cases[0]);
}

TEST(Search, NothingAPluginDoesInDllMainTakesTheRunDown) {
    const Misbehaving cases[] = {
        {"none.spi", nullptr, false},          {"attachfaults.spi", nullptr, false},
        {"detachfaults.spi", nullptr, false},  {"filteratload.spi", nullptr, false},
        {"attachendless.spi", nullptr, false}, {"attachendless.spi", nullptr, true},
        {"attachexit.spi", nullptr, false},    {"attachterminate.spi", nullptr, false},
        {"attachabort.spi", nullptr, false},
    };
    ExpectNothingTakesTheRunDown(cases, sizeof cases / sizeof cases[0]);
}

// A picture that is not whole is a failed decode: the next plug-in, here
// the shipped BMP plug-in reading a bitmap 128 bytes into the file, is
// asked. Alone, the image fixture's broken picture ends the run with 0.
TEST(Search, APictureThatIsNotWholeIsAFailedDecode) {
    struct Case {
        const char* name;
        std::string header;
        std::string pixels;
    };
    const Case cases[] = {
        {"width and height 2^31", Test_InfoHeader(40, INT32_MIN, INT32_MIN, 24, BI_RGB, 0),
         std::string(16, 'p')},
        {"depth 7", Test_InfoHeader(40, 2, 1, 7, BI_RGB, 0), std::string(16, 'p')},
        {"a 4-byte header", Test_Le32(40), std::string(16, 'p')},
        {"16 pixel bytes for a 100 x 70 picture", Test_InfoHeader(40, 100, 70, 24, BI_RGB, 0),
         std::string(16, 'p')},
        {"a negative width", Test_InfoHeader(40, -2, 1, 24, BI_RGB, 0), std::string(8, 'p')},
        {"a row short of its last pixel", Test_InfoHeader(40, 2, 2, 24, BI_RGB, 0),
         std::string(13, 'p')},
    };
    std::string info = Test_InfoHeader(40, 2, 1, 24, BI_RGB, 0, 8);
    std::string bmp = "BM" + Test_Le32(14 + 40 + 8) + Test_Le32(0) + Test_Le32(54) + info +
                      std::string("\x11\x22\x33\x44\x55\x66\0\0", 8);
    for (const Case& c : cases) {
        for (bool healthy : {true, false}) {
            SCOPED_TRACE(testing::Message() << c.name << (healthy ? ", then qxbmp" : " alone"));
            Sandbox box = Test_MakeSandbox({"img.spi"});
            if (healthy) {
                ASSERT_TRUE(Test_CopyShipped("qxbmp", box.reg));
            }
            std::string container =
                "FXPC" + Test_Le32(0) + Test_Le32(static_cast<uint32_t>(c.header.size())) +
                Test_Le32(static_cast<uint32_t>(c.pixels.size())) + c.header + c.pixels;
            ASSERT_LE(container.size(), 128u);
            container.resize(128, '\0');
            std::string file = box.reg + "\\file.dat";
            Test_WriteFile(file, container + bmp);
            EXPECT_EQ(Test_RunTail(box.exe, file), healthy ? 1 : 0);
            ExpectPlaced(healthy, bmp.substr(14));
            Test_RemoveSandbox(box);
        }
    }
}

} // namespace
