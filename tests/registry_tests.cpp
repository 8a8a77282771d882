// The plug-in registry, run in this process: this program's folder is the
// registry's program directory, so the tests place plug-ins beside it.
#include "plugin/registry.h"
#include "tests/support/harness.h"

#include <gtest/gtest.h>

namespace {

std::string Host(const char* name) {
    return Test_HostDir() + "\\" + name;
}

// Unloads everything, forgets the registry's state and removes the
// plug-ins left beside this program.
void Registry_Reset() {
    Plugin_Release();
    g_plugins = PluginRegistry{};
    for (const char* pattern : {"*.spi", "*.sph"}) {
        WIN32_FIND_DATAA found;
        HANDLE search = FindFirstFileA(Host(pattern).c_str(), &found);
        if (search != INVALID_HANDLE_VALUE) {
            do {
                DeleteFileA(Host(found.cFileName).c_str());
                RemoveDirectoryA(Host(found.cFileName).c_str());
            } while (FindNextFileA(search, &found));
            FindClose(search);
        }
    }
    Test_ClearLog();
}

std::string ModuleName(HMODULE module) {
    char path[MAX_PATH] = {};
    GetModuleFileNameA(module, path, MAX_PATH);
    std::string text = path;
    return text.substr(text.rfind('\\') + 1);
}

// A head block: "HEAD" at its start and "SKIP" 128 bytes further on.
struct Head {
    char bytes[3073] = {};
    Head() {
        memcpy(bytes, "HEAD", 4);
        memcpy(bytes + 128, "SKIP", 4);
    }
};

class Registry : public ::testing::Test {
  protected:
    void SetUp() override {
        Registry_Reset();
        reg = Test_FreshDir("registry");
        Test_SetPluginPath(reg);
    }
    void TearDown() override {
        Registry_Reset();
        Test_RemoveDir(reg);
    }
    std::string reg;
};

TEST_F(Registry, ProgramDirectoryIsAskedBeforeTheRegisteredOne) {
    ASSERT_TRUE(Test_CopyFixture("none.spi", Host("p.spi")));
    ASSERT_TRUE(Test_CopyFixture("none.spi", reg + "\\r.spi"));
    ASSERT_EQ(Plugin_Init(), 1);
    ASSERT_EQ(Plugin_Load(PLUGIN_DIR_ALL), 1);
    EXPECT_EQ(g_plugins.count, 2);
    Head head;
    int skip = 7;
    EXPECT_EQ(Plugin_Find("x", head.bytes, &skip), nullptr);
    EXPECT_EQ(skip, 7);
    EXPECT_EQ(Test_ReadLog(), "p.spi IsSupported HEAD\nr.spi IsSupported HEAD\n"
                              "p.spi IsSupported SKIP\nr.spi IsSupported SKIP\n");
}

// Published 64-bit plug-ins are named *.sph: the x64 program loads them
// after each folder's *.spi, the x86 program not at all.
TEST_F(Registry, SixtyFourBitPluginFilesFollowEachFoldersOwn) {
    for (std::string path : {Host("p.sph"), Host("p.spi"), reg + "\\r.sph", reg + "\\r.spi"}) {
        ASSERT_TRUE(Test_CopyFixture("none.spi", path));
    }
    ASSERT_EQ(Plugin_Init(), 1);
    ASSERT_EQ(Plugin_Load(PLUGIN_DIR_ALL), 1);
    Head head;
    EXPECT_EQ(Plugin_Find("x", head.bytes, nullptr), nullptr);
    std::string log = Test_ReadLog();
#ifdef _WIN64
    EXPECT_EQ(g_plugins.capacity, 4);
    EXPECT_EQ(log.substr(0, log.find("SKIP")), "p.spi IsSupported HEAD\np.sph IsSupported HEAD\n"
                                               "r.spi IsSupported HEAD\nr.sph IsSupported HEAD\n"
                                               "p.spi IsSupported ");
#else
    EXPECT_EQ(g_plugins.capacity, 2);
    EXPECT_EQ(log.substr(0, log.find("SKIP")),
              "p.spi IsSupported HEAD\nr.spi IsSupported HEAD\np.spi IsSupported ");
#endif
}

TEST_F(Registry, RegisteredDirectoryEqualToProgramDirectoryLoadsEveryPluginTwice) {
    Test_SetPluginPath(Test_HostDir());
    ASSERT_TRUE(Test_CopyFixture("none.spi", Host("a.spi")));
    ASSERT_EQ(Plugin_Init(), 1);
    ASSERT_EQ(Plugin_Load(PLUGIN_DIR_ALL), 1);
    ASSERT_EQ(g_plugins.count, 2);
    EXPECT_EQ(g_plugins.table[0], g_plugins.table[1]);
    Head head;
    EXPECT_EQ(Plugin_Find("x", head.bytes, nullptr), nullptr);
    EXPECT_EQ(Test_ReadLog(), "a.spi IsSupported HEAD\na.spi IsSupported HEAD\n"
                              "a.spi IsSupported SKIP\na.spi IsSupported SKIP\n");
    EXPECT_EQ(Plugin_Release(), 1);
    EXPECT_EQ(GetModuleHandleA(Host("a.spi").c_str()), nullptr);
}

TEST_F(Registry, VersionTextDecidesLoadingAndKind) {
    struct Case {
        const char* fixture;
        int loaded;
        PluginKind kind;
    };
    const Case cases[] = {
        {"img.spi", 1, PLUGIN_KIND_IMAGE},   {"arc.spi", 1, PLUGIN_KIND_ARCHIVE},
        {"lower.spi", 1, PLUGIN_KIND_NONE},  {"lowam.spi", 1, PLUGIN_KIND_NONE},
        {"other.spi", 0, PLUGIN_KIND_NONE},  {"noinfo.spi", 0, PLUGIN_KIND_NONE},
        {"longer.spi", 0, PLUGIN_KIND_NONE},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.fixture);
        Registry_Reset();
        Test_RemoveDir(reg);
        reg = Test_FreshDir("registry");
        ASSERT_TRUE(Test_CopyFixture(c.fixture, reg + "\\" + c.fixture));
        ASSERT_EQ(Plugin_Init(), 1);
        ASSERT_EQ(Plugin_Load(PLUGIN_DIR_REGISTRY), 1);
        ASSERT_EQ(g_plugins.count, c.loaded);
        EXPECT_EQ(g_plugins.capacity, 1);
        if (c.loaded) {
            EXPECT_EQ(Plugin_Kind(g_plugins.table[0]), c.kind);
        }
        Plugin_Release();
        EXPECT_EQ(GetModuleHandleA((reg + "\\" + c.fixture).c_str()), nullptr);
    }
}

TEST_F(Registry, PluginsOnlyInTheWindowsDirectoryAreCountedButNotLoaded) {
    char windows[MAX_PATH];
    ASSERT_NE(GetWindowsDirectoryA(windows, MAX_PATH), 0u);
    std::string planted = std::string(windows) + "\\qxtest.spi";
    ASSERT_TRUE(Test_CopyFixture("all.spi", planted));
    ASSERT_EQ(Plugin_Init(), 1);
    int loaded = Plugin_Load(PLUGIN_DIR_ALL);
    int count = g_plugins.count;
    int capacity = g_plugins.capacity;
    bool table = g_plugins.table != nullptr;
    Plugin_Release();
    DeleteFileA(planted.c_str());
    EXPECT_EQ(loaded, 1);
    EXPECT_EQ(count, 0);
    EXPECT_EQ(capacity, 1);
    EXPECT_TRUE(table);
    Head head;
    EXPECT_EQ(Plugin_Find("x", head.bytes, nullptr), nullptr);
    EXPECT_EQ(Test_ReadLog(true), "");
}

TEST_F(Registry, SecondLoadReplacesTheFirstSetOrKeepsItWhenNothingIsCounted) {
    ASSERT_TRUE(Test_CopyFixture("all.spi", reg + "\\a.spi"));
    ASSERT_EQ(Plugin_Init(), 1);
    ASSERT_EQ(Plugin_Load(PLUGIN_DIR_ALL), 1);
    ASSERT_TRUE(Test_CopyFixture("all.spi", Host("b.spi")));
    ASSERT_EQ(Plugin_Load(PLUGIN_DIR_ALL), 1);
    EXPECT_EQ(Test_ReadLog(true), "a.spi attach\na.spi detach\nb.spi attach\na.spi attach\n");
    ASSERT_EQ(g_plugins.count, 2);
    HMODULE* table = g_plugins.table;

    Test_ClearLog();
    EXPECT_EQ(Plugin_Load(PLUGIN_DIR_WINDOWS), 0);
    EXPECT_EQ(g_plugins.count, 2);
    EXPECT_EQ(g_plugins.table, table);
    Head head;
    EXPECT_EQ(ModuleName(Plugin_Find("x", head.bytes, nullptr)), "b.spi");
    EXPECT_EQ(Plugin_Load(0), 0);
    EXPECT_EQ(g_plugins.count, 2);
    EXPECT_EQ(Test_ReadLog(true), "b.spi IsSupported HEAD\n");
}

TEST_F(Registry, EmptyFilesAndFoldersNamedLikePluginsAreNotCounted) {
    ASSERT_TRUE(Test_WriteFile(reg + "\\empty.spi", ""));
    ASSERT_TRUE(CreateDirectoryA((reg + "\\folder.spi").c_str(), nullptr));
    ASSERT_TRUE(Test_CopyFixture("all.spi", reg + "\\real.spi"));
    EXPECT_EQ(Plugin_CountFiles((reg + "\\*.spi").c_str()), 1);
    EXPECT_EQ(Plugin_CountFiles((reg + "\\*.none").c_str()), 0);
    ASSERT_EQ(Plugin_Init(), 1);
    ASSERT_EQ(Plugin_Load(PLUGIN_DIR_REGISTRY), 1);
    EXPECT_EQ(g_plugins.capacity, 1);
    EXPECT_EQ(g_plugins.count, 1);
    Plugin_Release();
    RemoveDirectoryA((reg + "\\folder.spi").c_str());
}

TEST_F(Registry, PathEndingWithBackslashIsUsedUnchanged) {
    Test_SetPluginPath(reg + "\\");
    ASSERT_TRUE(Test_CopyFixture("all.spi", reg + "\\a.spi"));
    ASSERT_EQ(Plugin_Init(), 1);
    EXPECT_EQ(std::string(g_plugins.registeredDir), reg + "\\");
    ASSERT_EQ(Plugin_Load(PLUGIN_DIR_REGISTRY), 1);
    ASSERT_EQ(g_plugins.count, 1);
    char loadedFrom[MAX_PATH] = {};
    GetModuleFileNameA(g_plugins.table[0], loadedFrom, MAX_PATH);
    EXPECT_EQ(ModuleName(g_plugins.table[0]), "a.spi");
}

TEST_F(Registry, HeadBelow0x10000IsAHandleAndAskedOncePerPlugin) {
    ASSERT_TRUE(Test_CopyFixture("none.spi", Host("p.spi")));
    ASSERT_TRUE(Test_CopyFixture("none.spi", reg + "\\r.spi"));
    ASSERT_EQ(Plugin_Init(), 1);
    ASSERT_EQ(Plugin_Load(PLUGIN_DIR_ALL), 1);
    EXPECT_EQ(Plugin_Find("x", reinterpret_cast<void*>(0xFFFF), nullptr), nullptr);
    EXPECT_EQ(Test_ReadLog(), "p.spi IsSupported #handle\nr.spi IsSupported #handle\n");
}

// Every plug-in is asked about the head before any is asked 128 bytes on.
TEST_F(Registry, HeadMatchesWinOverMatchesFurtherOn) {
    struct Case {
        const char* first;
        const char* second;
        const char* answer;
        int skip;
        const char* log;
    };
    const Case cases[] = {
        {"skip.spi", "all.spi", "r.spi", 0, "p.spi IsSupported HEAD\nr.spi IsSupported HEAD\n"},
        {"all.spi", "skip.spi", "p.spi", 0, "p.spi IsSupported HEAD\n"},
        {"nosupp.spi", "all.spi", "r.spi", 0, "r.spi IsSupported HEAD\n"},
        {"skip.spi", "none.spi", "p.spi", 1,
         "p.spi IsSupported HEAD\nr.spi IsSupported HEAD\np.spi IsSupported SKIP\n"},
        {"none.spi", "skip.spi", "r.spi", 1,
         "p.spi IsSupported HEAD\nr.spi IsSupported HEAD\n"
         "p.spi IsSupported SKIP\nr.spi IsSupported SKIP\n"},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.first);
        Registry_Reset();
        ASSERT_TRUE(Test_CopyFixture(c.first, Host("p.spi")));
        ASSERT_TRUE(Test_CopyFixture(c.second, reg + "\\r.spi"));
        ASSERT_EQ(Plugin_Init(), 1);
        ASSERT_EQ(Plugin_Load(PLUGIN_DIR_ALL), 1);
        Head head;
        int skip = -1;
        EXPECT_EQ(ModuleName(Plugin_Find("x", head.bytes, &skip)), c.answer);
        EXPECT_EQ(skip, c.skip);
        EXPECT_EQ(Test_ReadLog(), c.log);
    }
}

TEST_F(Registry, WithoutTheRegistryKeyNothingIsLoaded) {
    Test_DeletePluginKey();
    ASSERT_TRUE(Test_CopyFixture("all.spi", Host("a.spi")));
    EXPECT_EQ(Plugin_Init(), 0);
    EXPECT_EQ(Plugin_Load(PLUGIN_DIR_ALL), 0);
    EXPECT_EQ(g_plugins.count, 0);
    EXPECT_EQ(g_plugins.table, nullptr);
    Head head;
    EXPECT_EQ(Plugin_Find("x", head.bytes, nullptr), nullptr);
    EXPECT_EQ(Plugin_Release(), 0);
    EXPECT_EQ(Test_ReadLog(true), "");
}

TEST_F(Registry, TextsTooLongForTheirBufferAreSkippedNotCut) {
    // The same folder named with "\." repeated, 257 characters: cut to fit,
    // its pattern would read "<folder>\*" and still find the plug-in.
    ASSERT_TRUE(Test_CopyFixture("all.spi", reg + "\\a.spi"));
    std::string padded = reg;
    while (padded.size() + 2 <= 257) {
        padded += "\\.";
    }
    if (padded.size() < 257) {
        padded += "\\";
    }
    Test_SetPluginPath(padded);
    ASSERT_EQ(Plugin_Init(), 1);
    EXPECT_EQ(Plugin_Load(PLUGIN_DIR_REGISTRY), 0);
    EXPECT_EQ(g_plugins.count, 0);

    // A directory text that fits, with one entry whose full path is 260
    // characters: cut to fit, it would name the ".sp" file beside it.
    Registry_Reset();
    std::string fits = reg;
    while (fits.size() < 230) {
        fits += "\\.";
    }
    Test_SetPluginPath(fits);
    std::string longName(259 - fits.size(), 'n');
    longName.replace(longName.size() - 4, 4, ".spi");
    ASSERT_TRUE(Test_CopyFixture("none.spi", reg + "\\" + longName));
    ASSERT_TRUE(Test_CopyFixture("all.spi", reg + "\\" + longName.substr(0, longName.size() - 1)));
    ASSERT_EQ(Plugin_Init(), 1);
    ASSERT_EQ(Plugin_Load(PLUGIN_DIR_REGISTRY), 1);
    EXPECT_EQ(g_plugins.capacity, 2);
    ASSERT_EQ(g_plugins.count, 1);
    EXPECT_EQ(ModuleName(g_plugins.table[0]), "a.spi");
}

// Runs the registry with the current folder set to a scratch folder.
struct CurrentFolder {
    char saved[MAX_PATH] = {};
    explicit CurrentFolder(const std::string& dir) {
        GetCurrentDirectoryA(MAX_PATH, saved);
        SetCurrentDirectoryA(dir.c_str());
    }
    ~CurrentFolder() {
        SetCurrentDirectoryA(saved);
    }
};

// For a file sent to the program, the current folder is the file's: a
// registered value that is not a full path must not load what lies there.
TEST_F(Registry, OnlyFullPathsNameAFolder) {
    std::string cwd = Test_FreshDir("cwd");
    CreateDirectoryA((cwd + "\\plugs").c_str(), nullptr);
    ASSERT_TRUE(Test_CopyFixture("all.spi", cwd + "\\plugs\\a.spi"));
    ASSERT_TRUE(Test_CopyFixture("all.spi", cwd + "\\a.spi"));
    ASSERT_TRUE(Test_CopyFixture("all.spi", reg + "\\a.spi"));
    struct Case {
        std::string value;
        int loaded;
    };
    const Case cases[] = {
        {"plugs", 0}, {".\\plugs", 0}, {"plugs\\", 0}, {".", 0},
        {"\\\\", 0},  {"\\\\x", 0},    {reg, 1},       {reg + "\\", 1},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.value);
        Registry_Reset();
        Test_SetPluginPath(c.value);
        CurrentFolder current(cwd);
        ASSERT_EQ(Plugin_Init(), 1);
        Plugin_Load(PLUGIN_DIR_REGISTRY);
        EXPECT_EQ(g_plugins.count, c.loaded);
        EXPECT_EQ(Test_ReadLog(true).find("attach") != std::string::npos, c.loaded == 1);
    }
    Registry_Reset();
    Test_RemoveDir(cwd + "\\plugs");
    Test_RemoveDir(cwd);
}

// A plug-in's own DLLs come from its folder, never from the current one.
TEST_F(Registry, PluginDllsComeFromThePluginsFolder) {
    std::string cwd = Test_FreshDir("cwd");
    struct Case {
        const char* name;
        bool besidePlugin;
        int loaded;
    };
    const Case cases[] = {{"qxdep.dll in the current folder", false, 0},
                          {"qxdep.dll beside the plug-in", true, 1}};
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        Registry_Reset();
        // A folder of its own for each case: Wine may hold on to a plug-in
        // file that failed to load.
        std::string dir = reg + (c.besidePlugin ? "\\beside" : "\\apart");
        CreateDirectoryA(dir.c_str(), nullptr);
        Test_SetPluginPath(dir);
        ASSERT_TRUE(Test_CopyFixture("needdep.spi", dir + "\\needdep.spi"));
        std::string dep = (c.besidePlugin ? dir : cwd) + "\\qxdep.dll";
        ASSERT_TRUE(Test_CopyFixture("qxdep.dll", dep));
        CurrentFolder current(cwd);
        ASSERT_EQ(Plugin_Init(), 1);
        Plugin_Load(PLUGIN_DIR_REGISTRY);
        EXPECT_EQ(g_plugins.count, c.loaded);
        Registry_Reset();
        DeleteFileA(dep.c_str());
        Test_RemoveDir(dir);
    }
    Test_RemoveDir(cwd);
}

} // namespace
