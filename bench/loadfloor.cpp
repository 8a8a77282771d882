// The floor of the plug-in folder rows: a plain program that loads, asks
// and frees each plug-in file of a folder once, in the order the folder
// lists them, and stops at the first that accepts the file's head. What is
// left between it and the program is the program's own work.
// Usage: loadfloor FOLDER FILE
#include <windows.h>

#include <string>

typedef int(WINAPI* GetPluginInfoProc)(int, LPSTR, int);
typedef int(WINAPI* IsSupportedProc)(LPCSTR, void*);

int main(int argc, char** argv) {
    if (argc != 3) {
        return 2;
    }
    static char head[3073];
    HANDLE file = CreateFileA(argv[2], GENERIC_READ, FILE_SHARE_READ, nullptr, OPEN_EXISTING,
                              FILE_ATTRIBUTE_NORMAL, nullptr);
    DWORD read = 0;
    if (file == INVALID_HANDLE_VALUE || !ReadFile(file, head, 3072, &read, nullptr)) {
        return 2;
    }
    CloseHandle(file);
    std::string folder = argv[1];
    WIN32_FIND_DATAA found;
    HANDLE listing = FindFirstFileA((folder + "\\*.sp?").c_str(), &found);
    if (listing == INVALID_HANDLE_VALUE) {
        return 2;
    }
    int accepted = 0;
    do {
        HMODULE module = LoadLibraryA((folder + "\\" + found.cFileName).c_str());
        if (module == nullptr) {
            continue;
        }
        char version[256] = {};
        auto info = reinterpret_cast<GetPluginInfoProc>(
            reinterpret_cast<void*>(GetProcAddress(module, "GetPluginInfo")));
        auto isSupported = reinterpret_cast<IsSupportedProc>(
            reinterpret_cast<void*>(GetProcAddress(module, "IsSupported")));
        if (info != nullptr && isSupported != nullptr) {
            info(0, version, 255);
            accepted = isSupported(argv[2], head);
        }
        FreeLibrary(module);
    } while (!accepted && FindNextFileA(listing, &found));
    FindClose(listing);
    return accepted ? 0 : 1;
}
