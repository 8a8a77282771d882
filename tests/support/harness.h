// What the tests share: the build tree's layout, scratch folders, the
// plug-in registry value, the fixtures' call log, running the program as its
// own process, and reading the clipboard back.
#pragma once

#include <windows.h>

#include <stdint.h>
#include <string>
#include <vector>

// A path inside the build tree, e.g. Test_BuildPath("fixtures\\img.spi").
std::string Test_BuildPath(const char* relative);
// The folder of the running test program: the registry's program directory.
std::string Test_HostDir();

bool Test_WriteFile(const std::string& path, const void* bytes, size_t length);
bool Test_WriteFile(const std::string& path, const std::string& bytes);
bool Test_WriteFileW(const std::wstring& path, const std::string& bytes);
std::string Test_ReadFile(const std::string& path);
// Copies a fixture plug-in from the build tree's fixtures folder.
bool Test_CopyFixture(const char* fixture, const std::string& to);
// A copy of a file whose PE header says `machine`.
bool Test_CopyAsMachine(const std::string& from, const std::string& to, uint16_t machine);
// Removes every file in a folder (not its sub-folders) and then the folder.
void Test_RemoveDir(const std::string& dir);
void Test_RemoveDirW(const std::wstring& dir);
// A new, empty folder below the build tree's scratch folder.
std::string Test_FreshDir(const char* name);

// The per-user plug-in directory value, and the key removed.
void Test_SetPluginPath(const std::string& dir);
void Test_SetPluginPathW(const std::wstring& dir);
void Test_DeletePluginKey();

// The fixtures' call log: cleared, and read back without "attach"/"detach"
// lines unless asked for.
void Test_ClearLog();
std::string Test_ReadLog(bool withLoading = false);

// Starts a program with the given raw command line; false when it could not.
bool Test_Start(const std::string& exe, const std::string& commandLine,
                PROCESS_INFORMATION* process);
// Waits for a started program and closes its handles; its exit code, or -1
// when it did not end in time (it is then ended).
long Test_Finish(PROCESS_INFORMATION* process);
// Test_Start and Test_Finish; -1 when the program could not be started.
long Test_Run(const std::string& exe, const std::string& commandLine);
// Test_Run with a UTF-16 command line, for names no code page spells.
long Test_RunWide(const std::wstring& exe, const std::wstring& commandLine);
// Runs the program with a command tail: "<exe>" <tail>.
long Test_RunTail(const std::string& exe, const std::string& tail);

// Puts a known text on the clipboard, so that a run that leaves it alone can
// be told from one that does not.
void Test_SetClipboardSentinel();
extern const char TEST_SENTINEL[];
// The clipboard's content in one format, or an empty vector and false.
bool Test_ReadClipboard(UINT format, std::vector<uint8_t>* bytes);
// The clipboard's CF_TEXT up to its first zero byte, or "<none>".
std::string Test_ClipboardText();
// The clipboard's CF_UNICODETEXT up to its first zero unit, or L"<none>".
std::wstring Test_ClipboardUnicode();

// Text conversions: ASCII widened unit by unit, between UTF-16 and UTF-8,
// and between UTF-16 and the ANSI code page as the system converts them.
std::wstring Test_Wide(const std::string& ascii);
std::string Test_Utf8(const std::wstring& text);
std::string Test_ToAnsi(const std::wstring& text);
std::wstring Test_FromAnsi(const std::string& text);
std::wstring Test_FromUtf8(const std::string& text);
// What a pasting program reads: the clipboard's CF_BITMAP (which the system
// makes from CF_DIB) as 0xRRGGBB colours, top row first; false when there is
// none.
bool Test_ReadPastedColours(int* width, int* height, std::vector<uint32_t>* colours);

// A run's world: the program copied alone into its own folder, and a
// registered plug-in folder holding the named fixtures. Making one also
// clears the fixture log and puts the sentinel on the clipboard.
struct Sandbox {
    std::string prog; // the program's folder
    std::string reg;  // the registered plug-in folder
    std::string exe;  // the program
};
Sandbox Test_MakeSandbox(std::initializer_list<const char*> fixtures);
// The shipped plug-ins' file suffix: ".sph" on x64, ".spi" on x86.
extern const char TEST_SHIPPED_SUFFIX[];
// Copies a shipped plug-in, named without its suffix ("qxbmp"), into a
// folder: *.sph on x64, *.spi on x86.
bool Test_CopyShipped(const char* plugin, const std::string& dir);
// A sandbox whose registered folder holds one of the shipped plug-ins.
bool Test_MakeShippedSandbox(const char* plugin, Sandbox* box);
void Test_RemoveSandbox(const Sandbox& box);

// Listens to the debug output of every process of the session, as
// DebugView does (the DBWIN_BUFFER mapping and its two events), from now
// until Test_StopListening, which returns the lines heard that begin with
// `prefix`, each ended by a line feed.
bool Test_Listen();
std::string Test_StopListening(const char* prefix);
