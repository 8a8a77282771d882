// The plug-in registry, run in this process: this program's folder is the
// registry's program folder, so the tests place plug-ins beside it. The
// fixtures' log shows which plug-in was loaded, asked and freed, in order.
#include "plugin/search.h"
#include "app/app.h"
#include "tests/support/harness.h"

#include <gtest/gtest.h>

namespace {

std::string Host(const char* name) {
    return Test_HostDir() + "\\" + name;
}

// The record a run fills and a worker's search over it, in this process.
PluginRegistry* g_registry =
    static_cast<PluginRegistry*>(LocalAlloc(LMEM_FIXED | LMEM_ZEROINIT, sizeof(PluginRegistry)));
PluginSearch g_search;
PluginInput* g_input;

// Unloads everything, forgets the registry's state and removes the
// plug-ins left beside this program.
void Registry_Reset() {
    Plugin_Release(&g_search);
    memset(g_registry, 0, sizeof(PluginRegistry));
    g_search = PluginSearch{};
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

std::string NameOf(const wchar_t* path) {
    std::wstring text = path;
    text = text.substr(text.rfind(L'\\') + 1);
    return std::string(text.begin(), text.end());
}

// The listed plug-in files' names, in the order they are asked.
std::string Listed() {
    std::string names;
    for (uint32_t i = 0; i < g_registry->count; ++i) {
        names += NameOf(g_registry->files[i].path) + " ";
    }
    return names;
}

// One search as the program runs it: the folders read, the files listed
// and asked until one accepts, about a head block that begins with `tag`
// and has "SKIP" 128 bytes on. The accepting file's name and pass, or "".
struct Found {
    std::string name;
    int pass;
};
Found Search(const char* tag = "HEAD") {
    Plugin_Release(&g_search);
    memset(g_registry, 0, sizeof(PluginRegistry));
    memcpy(g_registry->head, tag, 4);
    memcpy(g_registry->head + 128, "SKIP", 4);
    lstrcpyW(g_registry->path, L"x");
    lstrcpyA(g_registry->ansiPath, "x");
    g_registry->hasAnsiPath = 1;
    PluginFolders folders;
    Plugin_Init(&folders);
    Plugin_ListFiles(g_registry, &folders);
    if (g_input != nullptr) {
        VirtualFree(g_input, 0, MEM_RELEASE);
    }
    g_input = Worker_Input(g_registry);
    // In this process the search reports to nobody.
    Plugin_StartSearch(&g_search, g_registry, g_input, nullptr);
    if (!Plugin_Find(&g_search)) {
        return {"", -1};
    }
    return {NameOf(g_registry->files[g_search.report.file].path), g_search.pass};
}

// The log of a search in which every listed plug-in declines, each loaded
// once, asked about the head and then 128 on, and freed before the next.
std::string DecliningLog(const std::vector<std::string>& names) {
    std::string log;
    for (const std::string& name : names) {
        log += name + " attach\n" + name + " IsSupported HEAD\n" + name + " IsSupported SKIP\n" +
               name + " detach\n";
    }
    return log;
}

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

// Each folder's *.spi before its *.sph, each by name without regard to
// case, the program's folder first; one plug-in loaded at a time, and each
// once, though none takes the file.
TEST_F(Registry, FoldersPatternsAndNamesInAFixedOrder) {
    for (const char* name : {"b.spi", "p.sph", "A.spi"}) {
        ASSERT_TRUE(Test_CopyFixture("none.spi", Host(name)));
    }
    for (const char* name : {"r.sph", "_r.spi", "1r.spi", "R.spi"}) {
        ASSERT_TRUE(Test_CopyFixture("none.spi", reg + "\\" + name));
    }
    EXPECT_EQ(Search().name, "");
    std::vector<std::string> order = {"A.spi", "b.spi",  "p.sph", "1r.spi",
                                      "R.spi", "_r.spi", "r.sph"};
    std::string listed;
    for (const std::string& name : order) {
        listed += name + " ";
    }
    EXPECT_EQ(Listed(), listed);
    EXPECT_EQ(Test_ReadLog(true), DecliningLog(order));
}

// Without a registered folder, or with the program's own registered, the
// plug-ins beside the program are asked, each once.
TEST_F(Registry, ThePluginsBesideTheProgramWithoutOrAsTheRegisteredFolder) {
    struct Case {
        const char* name;
        std::string value; // "-": no key at all
    };
    const Case cases[] = {
        {"no key", "-"},
        {"an empty value", ""},
        {"the program's folder", Test_HostDir()},
        {"the program's folder in other case, with a backslash",
         [] {
             std::string dir = Test_HostDir() + "\\";
             CharUpperA(&dir[0]);
             return dir;
         }()},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        Registry_Reset();
        if (c.value == "-") {
            Test_DeletePluginKey();
        } else {
            Test_SetPluginPath(c.value);
        }
        ASSERT_TRUE(Test_CopyFixture("all.spi", Host("a.spi")));
        EXPECT_EQ(Search().name, "a.spi");
        EXPECT_EQ(Listed(), "a.spi ");
    }
}

TEST_F(Registry, VersionTextDecidesLoadingAndKind) {
    struct Case {
        const char* fixture;
        const char* tag; // a head the fixture accepts
        bool asked;
        PluginKind kind;
    };
    const Case cases[] = {
        {"img.spi", "FXPC", true, PLUGIN_KIND_IMAGE},
        {"arc.spi", "FXAR", true, PLUGIN_KIND_ARCHIVE},
        {"lower.spi", "HEAD", false, PLUGIN_KIND_NONE},
        {"lowam.spi", "HEAD", false, PLUGIN_KIND_NONE},
        {"other.spi", "HEAD", false, PLUGIN_KIND_NONE},
        {"noinfo.spi", "HEAD", false, PLUGIN_KIND_NONE},
        {"longer.spi", "HEAD", false, PLUGIN_KIND_NONE},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.fixture);
        Registry_Reset();
        Test_RemoveDir(reg);
        reg = Test_FreshDir("registry");
        ASSERT_TRUE(Test_CopyFixture(c.fixture, reg + "\\" + c.fixture));
        EXPECT_EQ(Search(c.tag).name, c.asked ? c.fixture : "");
        EXPECT_EQ(Test_ReadLog(),
                  c.asked ? std::string(c.fixture) + " IsSupported " + c.tag + "\n" : "");
        if (c.asked) {
            EXPECT_EQ(g_search.kind, c.kind);
        }
        Plugin_Release(&g_search);
        EXPECT_EQ(GetModuleHandleA((reg + "\\" + c.fixture).c_str()), nullptr);
    }
}

// Every plug-in is asked about the head before any is asked 128 bytes on.
TEST_F(Registry, HeadMatchesWinOverMatchesFurtherOn) {
    struct Case {
        const char* first;
        const char* second;
        const char* answer;
        int pass;
        const char* log;
    };
    // Each is asked about both while loaded; an answer about the bytes 128
    // on is taken, without asking again, once no plug-in took the head.
    const Case cases[] = {
        {"skip.spi", "all.spi", "r.spi", 0,
         "p.spi IsSupported HEAD\np.spi IsSupported SKIP\nr.spi IsSupported HEAD\n"},
        {"all.spi", "skip.spi", "p.spi", 0, "p.spi IsSupported HEAD\n"},
        {"nosupp.spi", "all.spi", "r.spi", 0, "r.spi IsSupported HEAD\n"},
        {"skip.spi", "none.spi", "p.spi", 1,
         "p.spi IsSupported HEAD\np.spi IsSupported SKIP\nr.spi IsSupported HEAD\n"
         "r.spi IsSupported SKIP\n"},
        {"none.spi", "skip.spi", "r.spi", 1,
         "p.spi IsSupported HEAD\np.spi IsSupported SKIP\nr.spi IsSupported HEAD\n"
         "r.spi IsSupported SKIP\n"},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.first);
        Registry_Reset();
        ASSERT_TRUE(Test_CopyFixture(c.first, Host("p.spi")));
        ASSERT_TRUE(Test_CopyFixture(c.second, reg + "\\r.spi"));
        Found found = Search();
        EXPECT_EQ(found.name, c.answer);
        EXPECT_EQ(found.pass, c.pass);
        EXPECT_EQ(Plugin_Offset(&g_search), c.pass == 1 ? HEAD_SKIP : 0);
        EXPECT_EQ(Test_ReadLog(), c.log);
    }
}

TEST_F(Registry, EmptyFilesAndFoldersNamedLikePluginsAreNotListed) {
    ASSERT_TRUE(Test_WriteFile(reg + "\\empty.spi", ""));
    ASSERT_TRUE(CreateDirectoryA((reg + "\\folder.spi").c_str(), nullptr));
    ASSERT_TRUE(Test_CopyFixture("all.spi", reg + "\\real.spi"));
    EXPECT_EQ(Search().name, "real.spi");
    EXPECT_EQ(Listed(), "real.spi ");
    Plugin_Release(&g_search);
    RemoveDirectoryA((reg + "\\folder.spi").c_str());
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
    EXPECT_EQ(Search().name, "");
    EXPECT_EQ(g_registry->count, 0u);

    // A folder text that fits, with one file whose full path is 260
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
    EXPECT_EQ(Search().name, "a.spi");
    EXPECT_EQ(Listed(), "a.spi ");
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
        const char* found;
    };
    const Case cases[] = {
        {"plugs", ""}, {".\\plugs", ""}, {"plugs\\", ""}, {".", ""},
        {"\\\\", ""},  {"\\\\x", ""},    {reg, "a.spi"},  {reg + "\\", "a.spi"},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.value);
        Registry_Reset();
        Test_SetPluginPath(c.value);
        CurrentFolder current(cwd);
        EXPECT_EQ(Search().name, c.found);
        EXPECT_EQ(Test_ReadLog(true).find("attach") != std::string::npos, *c.found != '\0');
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
        const char* found;
    };
    const Case cases[] = {{"qxdep.dll in the current folder", false, ""},
                          {"qxdep.dll beside the plug-in", true, "needdep.spi"}};
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
        EXPECT_EQ(Search().name, c.found);
        Registry_Reset();
        DeleteFileA(dep.c_str());
        Test_RemoveDir(dir);
    }
    Test_RemoveDir(cwd);
}

} // namespace
