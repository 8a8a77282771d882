// The plug-in registry: finds the plug-in files (*.spi, and on x64 also the
// 64-bit *.sph) in the program's directory and the registered plug-in
// directory, keeps those that declare an image-input
// or archive interface, picks the one that supports a file, classifies it,
// and unloads them all at the end. One process-wide record, g_plugins.
#pragma once

#include <windows.h>

constexpr int PLUGIN_PATH_SIZE = 260;
constexpr int HEAD_SKIP = 128;

enum PluginKind { PLUGIN_KIND_NONE = 0, PLUGIN_KIND_IMAGE = 1, PLUGIN_KIND_ARCHIVE = 2 };

enum {
    PLUGIN_DIR_REGISTRY = 1,
    PLUGIN_DIR_PROGRAM = 2,
    PLUGIN_DIR_WINDOWS = 4,
    PLUGIN_DIR_ALL = 255,
};

struct PluginRegistry {
    int initialised;
    int count;
    HMODULE* table; // fixed global block of `capacity` entries, or null
    int capacity;
    char registeredDir[PLUGIN_PATH_SIZE];
    char programDir[PLUGIN_PATH_SIZE];
};

extern PluginRegistry g_plugins;

// 1 when the registered directory was read from the per-user registry.
int Plugin_Init();
// Counts the plug-in files of the selected directories, then loads and
// validates those of the program and registered directories. 1 when the
// load pass ran.
int Plugin_Load(int selector);
// Number of non-empty files below 4 GiB matching a wildcard pattern.
int Plugin_CountFiles(const char* pattern);
// Unloads the current set and allocates an empty table of `capacity` entries.
int Plugin_AllocTable(int capacity);
// Unloads every plug-in and frees the table; safe to call again.
void Plugin_Free();
// 0 when not initialised, else Plugin_Free and 1.
int Plugin_Release();
// The first plug-in in load order whose IsSupported accepts the head; when
// none does, the first that accepts the head HEAD_SKIP bytes further on, and
// then *skipOut is 1 (0 otherwise). `skipOut` may be null.
HMODULE Plugin_Find(const char* path, const void* head, int* skipOut);
PluginKind Plugin_Kind(HMODULE module);
