// Test support: files, folders, registry, the fixture log, child processes
// and the clipboard, written with the Win32 calls the tests run under.
#include "tests/support/harness.h"
#include "clipboard/clipboard.h"

#include <gtest/gtest.h>

#include <stdio.h>
#include <string.h>

// Through a pipe, stdout is fully buffered: a test program that dies would
// take its findings with it. Unbuffered, every line reaches the log first.
static const int g_unbufferedOutput = setvbuf(stdout, nullptr, _IONBF, 0);

const char TEST_SENTINEL[] = "clipboard sentinel";
static const char KEY[] = "Software\\Morvenko\\Susie\\Plug-in";

namespace {

// The per-user plug-in key as it was before a test program ran, put back
// when it ends, however its tests went: the tests change and delete it,
// and the prefix is shared with other programs of the build.
class KeepsThePluginKey : public ::testing::Environment {
  public:
    void SetUp() override {
        HKEY key;
        existed_ = RegOpenKeyExW(HKEY_CURRENT_USER, Test_Wide(KEY).c_str(), 0, KEY_QUERY_VALUE,
                                 &key) == ERROR_SUCCESS;
        if (existed_) {
            DWORD size = sizeof path_;
            DWORD type = 0;
            hadPath_ = RegQueryValueExW(key, L"Path", nullptr, &type,
                                        reinterpret_cast<BYTE*>(path_), &size) == ERROR_SUCCESS;
            type_ = type;
            size_ = size;
            RegCloseKey(key);
        }
    }
    void TearDown() override {
        Test_DeletePluginKey();
        HKEY key;
        if (existed_ && RegCreateKeyExW(HKEY_CURRENT_USER, Test_Wide(KEY).c_str(), 0, nullptr, 0,
                                        KEY_SET_VALUE, nullptr, &key, nullptr) == ERROR_SUCCESS) {
            if (hadPath_) {
                RegSetValueExW(key, L"Path", 0, type_, reinterpret_cast<const BYTE*>(path_), size_);
            }
            RegCloseKey(key);
        }
    }

  private:
    bool existed_ = false;
    bool hadPath_ = false;
    DWORD type_ = REG_SZ;
    DWORD size_ = 0;
    wchar_t path_[1024] = {};
};

::testing::Environment* const g_keepsThePluginKey =
    ::testing::AddGlobalTestEnvironment(new KeepsThePluginKey);

} // namespace

std::string Test_HostDir() {
    char self[MAX_PATH];
    DWORD n = GetModuleFileNameA(nullptr, self, MAX_PATH);
    std::string path(self, n);
    return path.substr(0, path.rfind('\\'));
}

std::string Test_BuildPath(const char* relative) {
    std::string host = Test_HostDir();
    return host.substr(0, host.rfind('\\') + 1) + relative;
}

bool Test_WriteFileW(const std::wstring& path, const std::string& bytes) {
    HANDLE file = CreateFileW(path.c_str(), GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS,
                              FILE_ATTRIBUTE_NORMAL, nullptr);
    if (file == INVALID_HANDLE_VALUE) {
        return false;
    }
    DWORD written = 0;
    BOOL ok = WriteFile(file, bytes.data(), static_cast<DWORD>(bytes.size()), &written, nullptr);
    CloseHandle(file);
    return ok && written == bytes.size();
}

bool Test_WriteFile(const std::string& path, const void* bytes, size_t length) {
    HANDLE file = CreateFileA(path.c_str(), GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS,
                              FILE_ATTRIBUTE_NORMAL, nullptr);
    if (file == INVALID_HANDLE_VALUE) {
        return false;
    }
    DWORD written = 0;
    BOOL ok = WriteFile(file, bytes, static_cast<DWORD>(length), &written, nullptr);
    CloseHandle(file);
    return ok && written == length;
}

bool Test_WriteFile(const std::string& path, const std::string& bytes) {
    return Test_WriteFile(path, bytes.data(), bytes.size());
}

std::string Test_ReadFile(const std::string& path) {
    HANDLE file = CreateFileA(path.c_str(), GENERIC_READ, FILE_SHARE_READ | FILE_SHARE_WRITE,
                              nullptr, OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL, nullptr);
    if (file == INVALID_HANDLE_VALUE) {
        return "";
    }
    std::string bytes(GetFileSize(file, nullptr), '\0');
    DWORD read = 0;
    if (!bytes.empty()) {
        ReadFile(file, &bytes[0], static_cast<DWORD>(bytes.size()), &read, nullptr);
    }
    CloseHandle(file);
    bytes.resize(read);
    return bytes;
}

bool Test_CopyFixture(const char* fixture, const std::string& to) {
    std::string from = Test_BuildPath("fixtures\\") + fixture;
    return CopyFileA(from.c_str(), to.c_str(), FALSE) != 0;
}

// Wide calls: a name the ANSI code page cannot spell is removed too.
void Test_RemoveDir(const std::string& dir) {
    Test_RemoveDirW(std::wstring(dir.begin(), dir.end()));
}

void Test_RemoveDirW(const std::wstring& wide) {
    WIN32_FIND_DATAW found;
    HANDLE search = FindFirstFileW((wide + L"\\*").c_str(), &found);
    if (search != INVALID_HANDLE_VALUE) {
        do {
            if (!(found.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY)) {
                DeleteFileW((wide + L"\\" + found.cFileName).c_str());
            }
        } while (FindNextFileW(search, &found));
        FindClose(search);
    }
    RemoveDirectoryW(wide.c_str());
}

std::string Test_FreshDir(const char* name) {
    std::string scratch = Test_BuildPath("scratch");
    CreateDirectoryA(scratch.c_str(), nullptr);
    std::string dir = scratch + "\\" + name;
    Test_RemoveDir(dir);
    CreateDirectoryA(dir.c_str(), nullptr);
    return dir;
}

void Test_SetPluginPath(const std::string& dir) {
    HKEY key;
    if (RegCreateKeyExA(HKEY_CURRENT_USER, KEY, 0, nullptr, 0, KEY_SET_VALUE, nullptr, &key,
                        nullptr) == ERROR_SUCCESS) {
        RegSetValueExA(key, "Path", 0, REG_SZ, reinterpret_cast<const BYTE*>(dir.c_str()),
                       static_cast<DWORD>(dir.size() + 1));
        RegCloseKey(key);
    }
}

void Test_SetPluginPathW(const std::wstring& dir) {
    HKEY key;
    if (RegCreateKeyExW(HKEY_CURRENT_USER, Test_Wide(KEY).c_str(), 0, nullptr, 0, KEY_SET_VALUE,
                        nullptr, &key, nullptr) == ERROR_SUCCESS) {
        RegSetValueExW(key, L"Path", 0, REG_SZ, reinterpret_cast<const BYTE*>(dir.c_str()),
                       static_cast<DWORD>((dir.size() + 1) * sizeof(wchar_t)));
        RegCloseKey(key);
    }
}

void Test_DeletePluginKey() {
    RegDeleteKeyA(HKEY_CURRENT_USER, KEY);
}

static std::string Test_LogPath() {
    return Test_BuildPath("scratch\\fixture.log");
}

void Test_ClearLog() {
    CreateDirectoryA(Test_BuildPath("scratch").c_str(), nullptr);
    DeleteFileA(Test_LogPath().c_str());
    SetEnvironmentVariableA("QX_FIXTURE_LOG", Test_LogPath().c_str());
}

std::string Test_ReadLog(bool withLoading) {
    std::string all = Test_ReadFile(Test_LogPath());
    if (withLoading) {
        return all;
    }
    std::string kept;
    size_t start = 0;
    while (start < all.size()) {
        size_t end = all.find('\n', start);
        end = end == std::string::npos ? all.size() : end + 1;
        std::string line = all.substr(start, end - start);
        if (line.find(" attach") == std::string::npos &&
            line.find(" detach") == std::string::npos) {
            kept += line;
        }
        start = end;
    }
    return kept;
}

// Wine now and then fails to start a process on a loaded machine ("failed
// to map the shared user data"): the start is tried again.
constexpr int START_TRIES = 3;

bool Test_Start(const std::string& exe, const std::string& commandLine,
                PROCESS_INFORMATION* process) {
    for (int i = 0; i < START_TRIES; ++i) {
        STARTUPINFOA startup = {};
        startup.cb = sizeof startup;
        std::vector<char> line(commandLine.begin(), commandLine.end());
        line.push_back('\0');
        if (CreateProcessA(exe.c_str(), line.data(), nullptr, nullptr, FALSE, 0, nullptr, nullptr,
                           &startup, process)) {
            return true;
        }
        Sleep(200);
    }
    return false;
}

long Test_Finish(PROCESS_INFORMATION* process) {
    DWORD code = static_cast<DWORD>(-1);
    if (WaitForSingleObject(process->hProcess, 20000) == WAIT_OBJECT_0) {
        GetExitCodeProcess(process->hProcess, &code);
    } else {
        TerminateProcess(process->hProcess, 99);
    }
    CloseHandle(process->hThread);
    CloseHandle(process->hProcess);
    return static_cast<long>(code);
}

long Test_Run(const std::string& exe, const std::string& commandLine) {
    PROCESS_INFORMATION process = {};
    if (!Test_Start(exe, commandLine, &process)) {
        return -1;
    }
    return Test_Finish(&process);
}

long Test_RunWide(const std::wstring& exe, const std::wstring& commandLine) {
    for (int i = 0; i < START_TRIES; ++i) {
        STARTUPINFOW startup = {};
        startup.cb = sizeof startup;
        std::vector<wchar_t> line(commandLine.begin(), commandLine.end());
        line.push_back(L'\0');
        PROCESS_INFORMATION process = {};
        if (CreateProcessW(exe.c_str(), line.data(), nullptr, nullptr, FALSE, 0, nullptr, nullptr,
                           &startup, &process)) {
            return Test_Finish(&process);
        }
        Sleep(200);
    }
    return -1;
}

long Test_RunTail(const std::string& exe, const std::string& tail) {
    return Test_Run(exe, "\"" + exe + "\" " + tail);
}

static void Test_PlaceSentinel() {
    if (!Clipboard_Open(nullptr)) {
        return;
    }
    EmptyClipboard();
    HGLOBAL block = GlobalAlloc(GMEM_MOVEABLE, sizeof TEST_SENTINEL);
    if (block != nullptr) {
        memcpy(GlobalLock(block), TEST_SENTINEL, sizeof TEST_SENTINEL);
        GlobalUnlock(block);
        if (SetClipboardData(CF_TEXT, block) == nullptr) {
            GlobalFree(block);
        }
    }
    CloseClipboard();
}

// Placed and read back: on a loaded machine the clipboard may be busy, or
// emptied by Wine as its desktop process starts, just then.
void Test_SetClipboardSentinel() {
    for (int i = 0; i < 5; ++i) {
        Test_PlaceSentinel();
        if (Test_ClipboardText() == TEST_SENTINEL) {
            return;
        }
        Sleep(200);
    }
}

bool Test_ReadClipboard(UINT format, std::vector<uint8_t>* bytes) {
    bytes->clear();
    if (!Clipboard_Open(nullptr)) {
        return false;
    }
    bool found = false;
    HANDLE data = GetClipboardData(format);
    if (data != nullptr) {
        const uint8_t* p = static_cast<const uint8_t*>(GlobalLock(data));
        if (p != nullptr) {
            bytes->assign(p, p + GlobalSize(data));
            GlobalUnlock(data);
            found = true;
        }
    }
    CloseClipboard();
    return found;
}

bool Test_ReadPastedColours(int* width, int* height, std::vector<uint32_t>* colours) {
    colours->clear();
    if (!Clipboard_Open(nullptr)) {
        return false;
    }
    bool read = false;
    HBITMAP bitmap = static_cast<HBITMAP>(GetClipboardData(CF_BITMAP));
    BITMAP shape = {};
    if (bitmap != nullptr && GetObjectA(bitmap, sizeof shape, &shape) == sizeof shape) {
        *width = shape.bmWidth;
        *height = shape.bmHeight;
        BITMAPINFO info = {};
        info.bmiHeader.biSize = sizeof info.bmiHeader;
        info.bmiHeader.biWidth = shape.bmWidth;
        info.bmiHeader.biHeight = -shape.bmHeight;
        info.bmiHeader.biPlanes = 1;
        info.bmiHeader.biBitCount = 32;
        info.bmiHeader.biCompression = BI_RGB;
        colours->resize(static_cast<size_t>(shape.bmWidth) * shape.bmHeight);
        HDC screen = GetDC(nullptr);
        read = GetDIBits(screen, bitmap, 0, shape.bmHeight, colours->data(), &info,
                         DIB_RGB_COLORS) == shape.bmHeight;
        ReleaseDC(nullptr, screen);
        for (uint32_t& c : *colours) {
            c &= 0xFFFFFF;
        }
    }
    CloseClipboard();
    return read;
}

std::string Test_ClipboardText() {
    std::vector<uint8_t> bytes;
    if (!Test_ReadClipboard(CF_TEXT, &bytes)) {
        return "<none>";
    }
    std::string text(bytes.begin(), bytes.end());
    return text.substr(0, text.find('\0'));
}

std::wstring Test_ClipboardUnicode() {
    std::vector<uint8_t> bytes;
    if (!Test_ReadClipboard(CF_UNICODETEXT, &bytes)) {
        return L"<none>";
    }
    std::wstring text(reinterpret_cast<const wchar_t*>(bytes.data()), bytes.size() / 2);
    return text.substr(0, text.find(L'\0'));
}

std::wstring Test_Wide(const std::string& ascii) {
    return std::wstring(ascii.begin(), ascii.end());
}

std::string Test_Utf8(const std::wstring& text) {
    std::string out(text.size() * 4 + 1, '\0');
    int n = WideCharToMultiByte(CP_UTF8, 0, text.data(), static_cast<int>(text.size()), &out[0],
                                static_cast<int>(out.size()), nullptr, nullptr);
    out.resize(n > 0 ? n : 0);
    return out;
}

std::string Test_ToAnsi(const std::wstring& text) {
    std::string out(text.size() * 2 + 1, '\0');
    int n = WideCharToMultiByte(CP_ACP, 0, text.data(), static_cast<int>(text.size()), &out[0],
                                static_cast<int>(out.size()), nullptr, nullptr);
    out.resize(n > 0 ? n : 0);
    return out;
}

static std::wstring Test_FromCodePage(UINT codePage, const std::string& text) {
    std::wstring out(text.size() + 1, L'\0');
    int n = MultiByteToWideChar(codePage, 0, text.data(), static_cast<int>(text.size()), &out[0],
                                static_cast<int>(out.size()));
    out.resize(n > 0 ? n : 0);
    return out;
}

std::wstring Test_FromAnsi(const std::string& text) {
    return Test_FromCodePage(CP_ACP, text);
}

std::wstring Test_FromUtf8(const std::string& text) {
    return Test_FromCodePage(CP_UTF8, text);
}

Sandbox Test_MakeSandbox(std::initializer_list<const char*> fixtures) {
    Sandbox box;
    box.prog = Test_FreshDir("prog");
    box.reg = Test_FreshDir("reg");
    box.exe = box.prog + "\\quorlex.exe";
    CopyFileA(Test_BuildPath("bin\\quorlex.exe").c_str(), box.exe.c_str(), FALSE);
    for (const char* fixture : fixtures) {
        Test_CopyFixture(fixture, box.reg + "\\" + fixture);
    }
    Test_SetPluginPath(box.reg);
    Test_ClearLog();
    Test_SetClipboardSentinel();
    return box;
}

#ifdef _WIN64
const char TEST_SHIPPED_SUFFIX[] = ".sph";
#else
const char TEST_SHIPPED_SUFFIX[] = ".spi";
#endif

bool Test_CopyShipped(const char* plugin, const std::string& dir) {
    std::string name = std::string(plugin) + TEST_SHIPPED_SUFFIX;
    std::string from = Test_BuildPath("bin\\plugins\\") + name;
    return CopyFileA(from.c_str(), (dir + "\\" + name).c_str(), FALSE) != 0;
}

bool Test_MakeShippedSandbox(const char* plugin, Sandbox* box) {
    *box = Test_MakeSandbox({});
    return Test_CopyShipped(plugin, box->reg);
}

void Test_RemoveSandbox(const Sandbox& box) {
    Test_RemoveDir(box.prog);
    Test_RemoveDir(box.reg);
}

// A copy of a file whose PE header says `machine`.
bool Test_CopyAsMachine(const std::string& from, const std::string& to, uint16_t machine) {
    std::string bytes = Test_ReadFile(from);
    if (bytes.size() < 64) {
        return false;
    }
    uint32_t at;
    memcpy(&at, &bytes[0x3C], 4);
    if (at + 6 > bytes.size()) {
        return false;
    }
    memcpy(&bytes[at + 4], &machine, 2);
    return Test_WriteFile(to, bytes);
}

// The listener: one at a time, on a thread of its own.
namespace {
struct Listener {
    HANDLE mapping;
    HANDLE bufferReady;
    HANDLE dataReady;
    HANDLE thread;
    const char* view;
    volatile LONG stop;
    std::string heard;
};
Listener g_listener;

DWORD WINAPI Test_ListenThread(void*) {
    while (!g_listener.stop) {
        SetEvent(g_listener.bufferReady);
        if (WaitForSingleObject(g_listener.dataReady, 100) == WAIT_OBJECT_0) {
            // The writer's process id, then its text.
            const char* text = g_listener.view + sizeof(DWORD);
            g_listener.heard.append(text, strnlen(text, 4096 - sizeof(DWORD)));
            g_listener.heard += '\n';
        }
    }
    return 0;
}
} // namespace

bool Test_Listen() {
    g_listener.heard.clear();
    g_listener.stop = 0;
    g_listener.mapping =
        CreateFileMappingA(INVALID_HANDLE_VALUE, nullptr, PAGE_READWRITE, 0, 4096, "DBWIN_BUFFER");
    g_listener.bufferReady = CreateEventA(nullptr, FALSE, FALSE, "DBWIN_BUFFER_READY");
    g_listener.dataReady = CreateEventA(nullptr, FALSE, FALSE, "DBWIN_DATA_READY");
    g_listener.view =
        g_listener.mapping != nullptr
            ? static_cast<const char*>(MapViewOfFile(g_listener.mapping, FILE_MAP_READ, 0, 0, 4096))
            : nullptr;
    if (g_listener.view == nullptr || g_listener.bufferReady == nullptr ||
        g_listener.dataReady == nullptr) {
        return false;
    }
    g_listener.thread = CreateThread(nullptr, 0, Test_ListenThread, nullptr, 0, nullptr);
    return g_listener.thread != nullptr;
}

std::string Test_StopListening(const char* prefix) {
    g_listener.stop = 1;
    if (g_listener.thread != nullptr) {
        WaitForSingleObject(g_listener.thread, 5000);
        CloseHandle(g_listener.thread);
    }
    if (g_listener.view != nullptr) {
        UnmapViewOfFile(g_listener.view);
    }
    for (HANDLE handle : {g_listener.mapping, g_listener.bufferReady, g_listener.dataReady}) {
        if (handle != nullptr) {
            CloseHandle(handle);
        }
    }
    std::string kept;
    size_t start = 0;
    const std::string& heard = g_listener.heard;
    size_t length = strlen(prefix);
    while (start < heard.size()) {
        size_t end = heard.find('\n', start) + 1;
        if (heard.compare(start, length, prefix) == 0) {
            kept += heard.substr(start, end - start);
        }
        start = end;
    }
    g_listener = Listener{};
    return kept;
}
