// The shipped archive plug-in: lists the entries of a ZIP file from its
// central directory (ZIP64 included): method name, packed and original size,
// modification time in seconds since 1970 UTC, directory part and file name
// split at the last slash, and CRC. Names come in the ANSI code page: from
// UTF-8 when the entry says so, from the OEM code page when it was written
// on MS-DOS or Windows (as archivers there store names), else as they are.
// The wide-character entry points open a file named in UTF-16 and hand back
// wide records, whose names keep every character.
#include "format_plugins/common/spi_file.h"

#include <string.h>
#include <time.h>

constexpr uint32_t ZIP_LOCAL = 0x04034B50;
constexpr uint32_t ZIP_CENTRAL = 0x02014B50;
constexpr uint32_t ZIP_END = 0x06054B50;
constexpr uint32_t ZIP64_LOCATOR = 0x07064B50;
constexpr uint32_t ZIP64_END = 0x06064B50;
constexpr uint32_t ZIP_END_SIZE = 22;
constexpr uint32_t ZIP_CENTRAL_SIZE = 46;
constexpr uint32_t ZIP_COMMENT_MAX = 0xFFFF;
constexpr uint64_t ZIP_DIRECTORY_MAX = 256u << 20;
constexpr uint64_t FILETIME_1970 = 116444736000000000;
constexpr uint64_t FILETIME_SECOND = 10000000;
constexpr uint16_t ZIP_UTF8_NAME = 0x800;
constexpr uint32_t ZIP_SIGNATURE = 0x05054B50;
constexpr uint32_t ZIP_FIELD = 200;
// Bytes of a UTF-8 or OEM name that are converted: more than can fill a field.
constexpr uint32_t ZIP_NAME_BYTES = 4 * ZIP_FIELD;

static void* Zip_Alloc(uint64_t length) {
    return HeapAlloc(GetProcessHeap(), 0, static_cast<SIZE_T>(length) + 1);
}

static void Zip_Free(void* block) {
    if (block != nullptr) {
        HeapFree(GetProcessHeap(), 0, block);
    }
}

struct ZipDirectory {
    uint64_t offset;
    uint64_t size;
};

// An end record whose comment reaches exactly the end of the file: a record
// inside a comment does not.
static int Zip_IsEnd(const uint8_t* bytes, uint64_t at, uint64_t tail) {
    return Spi_U32(bytes + at) == ZIP_END && at + ZIP_END_SIZE + Spi_U16(bytes + at + 20) == tail;
}

// Finds the central directory through the end record (and the ZIP64 end
// record when the end record's fields overflow).
static int Zip_FindDirectory(const SpiSource* source, ZipDirectory* directory) {
    uint64_t tail = source->size < ZIP_END_SIZE + ZIP_COMMENT_MAX ? source->size
                                                                  : ZIP_END_SIZE + ZIP_COMMENT_MAX;
    if (tail < ZIP_END_SIZE) {
        return 0;
    }
    auto* bytes = static_cast<uint8_t*>(Zip_Alloc(tail));
    if (bytes == nullptr) {
        return 0;
    }
    uint64_t tailAt = source->size - tail;
    int found = 0;
    if (SpiSource_Read(source, tailAt, bytes, tail)) {
        // From the last offset an end record fits at, down to 0 inclusive.
        for (uint64_t i = tail - ZIP_END_SIZE + 1; i-- > 0;) {
            if (Zip_IsEnd(bytes, i, tail)) {
                directory->size = Spi_U32(bytes + i + 12);
                directory->offset = Spi_U32(bytes + i + 16);
                found = 1;
                uint8_t locator[20];
                uint8_t end64[56];
                uint64_t endAt = tailAt + i;
                if ((directory->offset == 0xFFFFFFFF || directory->size == 0xFFFFFFFF) &&
                    endAt >= 20 && SpiSource_Read(source, endAt - 20, locator, 20) &&
                    Spi_U32(locator) == ZIP64_LOCATOR &&
                    SpiSource_Read(source, Spi_U64(locator + 8), end64, 56) &&
                    Spi_U32(end64) == ZIP64_END) {
                    directory->size = Spi_U64(end64 + 40);
                    directory->offset = Spi_U64(end64 + 48);
                }
                break;
            }
        }
    }
    Zip_Free(bytes);
    // The directory lies inside the file: nothing is allocated for more.
    return found && directory->size <= ZIP_DIRECTORY_MAX && directory->offset <= source->size &&
           directory->size <= source->size - directory->offset;
}

static void Zip_Method(char out[8], uint16_t method) {
    static const struct {
        uint16_t id;
        const char* name;
    } names[] = {{0, "Stored"},   {1, "Shrunk"}, {6, "Implode"}, {8, "Deflate"},
                 {9, "Deflat64"}, {12, "BZip2"}, {14, "LZMA"},   {93, "Zstd"},
                 {95, "XZ"},      {98, "PPMd"},  {99, "AES"}};
    for (const auto& n : names) {
        if (n.id == method) {
            memcpy(out, n.name, strlen(n.name));
            return;
        }
    }
    char text[16];
    int length = wsprintfA(text, "M%u", method);
    memcpy(out, text, static_cast<size_t>(length) < 8 ? length : 8);
}

// Seconds in the record's width: on x86 a time past January 2038 (or before
// December 1901) shows as the latest (earliest) the field holds, never as
// its low 32 bits.
static SpiTime Zip_Seconds(int64_t seconds) {
    if (sizeof(SpiTime) < sizeof seconds) {
        if (seconds > INT32_MAX) {
            return INT32_MAX;
        }
        if (seconds < INT32_MIN) {
            return INT32_MIN;
        }
    }
    return static_cast<SpiTime>(seconds);
}

// The entry's time: the UTC time of an extended-timestamp or NTFS extra
// field when there is one, else the DOS time taken as local time.
static SpiTime Zip_Time(uint16_t dosTime, uint16_t dosDate, const uint8_t* extra,
                        uint32_t extraLength) {
    for (uint32_t at = 0; at + 4 <= extraLength;) {
        uint16_t tag = Spi_U16(extra + at);
        uint32_t size = Spi_U16(extra + at + 2);
        const uint8_t* data = extra + at + 4;
        if (at + 4 + size > extraLength) {
            break;
        }
        if (tag == 0x5455 && size >= 5 && (data[0] & 1)) {
            return static_cast<int32_t>(Spi_U32(data + 1));
        }
        if (tag == 0x000A && size >= 32 && Spi_U16(data + 4) == 1 && Spi_U16(data + 6) >= 24) {
            // Unsigned, so that no time near either end of the range overflows.
            uint64_t ticks = Spi_U64(data + 8);
            int64_t seconds =
                ticks >= FILETIME_1970
                    ? static_cast<int64_t>((ticks - FILETIME_1970) / FILETIME_SECOND)
                    : -static_cast<int64_t>((FILETIME_1970 - ticks) / FILETIME_SECOND);
            return Zip_Seconds(seconds);
        }
        at += 4 + size;
    }
    struct tm local = {};
    local.tm_year = (dosDate >> 9) + 80;
    local.tm_mon = ((dosDate >> 5) & 15) - 1;
    local.tm_mday = dosDate & 31;
    local.tm_hour = dosTime >> 11;
    local.tm_min = (dosTime >> 5) & 63;
    local.tm_sec = (dosTime & 31) * 2;
    local.tm_isdst = -1;
    return Zip_Seconds(mktime(&local));
}

// Sizes and offset that overflow 32 bits live in the ZIP64 extra field.
static void Zip_Wide(const uint8_t* extra, uint32_t extraLength, uint64_t* original,
                     uint64_t* packed, uint64_t* position) {
    for (uint32_t at = 0; at + 4 <= extraLength;) {
        uint32_t size = Spi_U16(extra + at + 2);
        if (at + 4 + size > extraLength) {
            return;
        }
        if (Spi_U16(extra + at) == 0x0001) {
            const uint8_t* p = extra + at + 4;
            const uint8_t* end = p + size;
            uint64_t* fields[] = {original, packed, position};
            for (uint64_t* field : fields) {
                if (*field == 0xFFFFFFFF && p + 8 <= end) {
                    *field = Spi_U64(p);
                    p += 8;
                }
            }
            return;
        }
        at += 4 + size;
    }
}

// Bytes of the character at text[at] in a code page (CP_ACP, CP_OEMCP or
// CP_UTF8), never past `length`.
static uint32_t Zip_CharLength(const uint8_t* text, uint32_t at, uint32_t length, UINT codePage) {
    uint32_t n = 1;
    if (codePage == CP_UTF8 || (codePage == CP_ACP && GetACP() == CP_UTF8)) {
        while (at + n < length && (text[at + n] & 0xC0) == 0x80) {
            ++n;
        }
    } else if (IsDBCSLeadByteEx(codePage, text[at]) && at + 1 < length) {
        n = 2;
    }
    return n;
}

// Copies whole characters of an ANSI text into a 200-byte field, as many as
// fit with the terminator.
static void Zip_CopyWhole(char* field, const uint8_t* text, uint32_t length) {
    uint32_t n = 0;
    while (n < length) {
        uint32_t step = Zip_CharLength(text, n, length, CP_ACP);
        if (n + step > ZIP_FIELD - 1) {
            break;
        }
        n += step;
    }
    memcpy(field, text, n);
    field[n] = '\0';
}

// Copies a name into a NUL-terminated 200-byte field, in the ANSI code page.
// A name in UTF-8 or the OEM code page is converted (only as much of it as
// can fill the field, cut between characters); a name in the ANSI code
// page, or one that does not convert, is taken as it is.
// Bytes of whole characters at a name's start that are converted: at most
// ZIP_NAME_BYTES, more than can fill a field.
static uint32_t Zip_WholeBytes(const uint8_t* name, uint32_t length, UINT codePage) {
    uint32_t take = 0;
    while (take < length && take < ZIP_NAME_BYTES) {
        uint32_t step = Zip_CharLength(name, take, length, codePage);
        if (take + step > ZIP_NAME_BYTES) {
            break;
        }
        take += step;
    }
    return take;
}

static void Zip_Name(char* field, const uint8_t* name, uint32_t length, UINT codePage) {
    if (codePage != CP_ACP) {
        uint32_t take = Zip_WholeBytes(name, length, codePage);
        wchar_t wide[ZIP_NAME_BYTES];
        int wideLength = MultiByteToWideChar(codePage, 0, reinterpret_cast<const char*>(name),
                                             static_cast<int>(take), wide, ZIP_NAME_BYTES);
        uint8_t ansi[2 * ZIP_NAME_BYTES];
        int n = wideLength > 0 ? WideCharToMultiByte(CP_ACP, 0, wide, wideLength,
                                                     reinterpret_cast<char*>(ansi), sizeof ansi,
                                                     nullptr, nullptr)
                               : 0;
        if (n > 0) {
            Zip_CopyWhole(field, ansi, static_cast<uint32_t>(n));
            return;
        }
    }
    Zip_CopyWhole(field, name, length);
}

// Where a name's file name starts: after its last slash or backslash,
// stepping by characters of its code page (in a double-byte code page a
// backslash byte may be the second half of one). Both record forms split a
// name here, before either part is converted or shortened.
static uint32_t Zip_Cut(const uint8_t* name, uint32_t length, UINT codePage) {
    uint32_t cut = 0;
    for (uint32_t i = 0; i < length; i += Zip_CharLength(name, i, length, codePage)) {
        if (name[i] == '/' || name[i] == '\\') {
            cut = i + 1;
        }
    }
    return cut;
}

static void Zip_Split(ArchiveEntryInfo* entry, const uint8_t* name, uint32_t length,
                      UINT codePage) {
    uint32_t cut = Zip_Cut(name, length, codePage);
    Zip_Name(entry->path, name, cut, codePage);
    for (char* p = entry->path; *p != '\0'; p = CharNextA(p)) {
        *p = *p == '/' ? '\\' : *p;
    }
    Zip_Name(entry->filename, name + cut, length - cut, codePage);
}

// Copies UTF-16 text into a 200-unit field, as much as fits with the
// terminator and never half a surrogate pair; in a path, slashes become
// backslashes.
static void Zip_CopyWide(wchar_t* field, const wchar_t* text, int length, int isPath) {
    int n = length < static_cast<int>(ZIP_FIELD) - 1 ? length : ZIP_FIELD - 1;
    if (n > 0 && n < length && text[n - 1] >= 0xD800 && text[n - 1] <= 0xDBFF) {
        --n;
    }
    for (int i = 0; i < n; ++i) {
        field[i] = isPath && text[i] == L'/' ? L'\\' : text[i];
    }
    field[n] = L'\0';
}

// One part of a name in a wide field: converted to UTF-16 from its code
// page, every character kept that fits.
static void Zip_WideName(wchar_t* field, const uint8_t* text, uint32_t length, UINT codePage,
                         int isPath) {
    wchar_t wide[ZIP_NAME_BYTES];
    int n = MultiByteToWideChar(codePage, 0, reinterpret_cast<const char*>(text),
                                static_cast<int>(Zip_WholeBytes(text, length, codePage)), wide,
                                ZIP_NAME_BYTES);
    Zip_CopyWide(field, wide, n > 0 ? n : 0, isPath);
}

static void Zip_Split(ArchiveEntryInfoW* entry, const uint8_t* name, uint32_t length,
                      UINT codePage) {
    uint32_t cut = Zip_Cut(name, length, codePage);
    Zip_WideName(entry->path, name, cut, codePage, 1);
    Zip_WideName(entry->filename, name + cut, length - cut, codePage, 0);
}

// The code page of an entry's name: UTF-8 when its flag says so; the OEM
// code page when the "version made by" host is one whose archivers store
// names that way; else the ANSI code page, as the name is taken. Host
// numbers follow Info-ZIP's list, which Info-ZIP and 7-Zip write: MS-DOS
// and FAT (0), OS/2 HPFS (6), NTFS (11), VFAT (14). PKWARE's note gives
// NTFS 10 (and 11 to MVS), and archivers that follow it write 10: it is
// NTFS too (TOPS-20 in Info-ZIP's list, whose archives hold no such names).
static UINT Zip_NameCodePage(const uint8_t* header) {
    if (Spi_U16(header + 8) & ZIP_UTF8_NAME) {
        return CP_UTF8;
    }
    switch (header[5]) {
    case 0:
    case 6:
    case 10:
    case 11:
    case 14:
        return CP_OEMCP;
    default:
        return CP_ACP;
    }
}

// A size in the record's width: on x86 a size past 4 GiB shows as the
// largest the field holds, never as its low 32 bits.
static SpiSize Zip_Size(uint64_t size) {
    const SpiSize largest = ~SpiSize{0};
    return size > largest ? largest : static_cast<SpiSize>(size);
}

// One record from its central directory header: an ANSI or a wide one.
template <typename Record>
static void Zip_Fill(Record* e, const uint8_t* h, uint32_t nameLength, uint32_t extraLength) {
    const uint8_t* name = h + ZIP_CENTRAL_SIZE;
    const uint8_t* extra = name + nameLength;
    uint64_t original = Spi_U32(h + 24);
    uint64_t packed = Spi_U32(h + 20);
    uint64_t position = Spi_U32(h + 42);
    Zip_Wide(extra, extraLength, &original, &packed, &position);
    Zip_Method(e->method, Spi_U16(h + 10));
    e->position = Zip_Size(position);
    e->compsize = Zip_Size(packed);
    e->filesize = Zip_Size(original);
    e->timestamp = Zip_Time(Spi_U16(h + 12), Spi_U16(h + 14), extra, extraLength);
    Zip_Split(e, name, nameLength, Zip_NameCodePage(h));
    e->crc = Spi_U32(h + 16);
}

// Walks the central directory into ANSI or (with `wide`) wide records; with
// `records` null it only counts. 0 when the directory is damaged: a record
// that is not a directory header, or one that runs past the directory's end.
static int Zip_Walk(const uint8_t* directory, uint64_t size, void* records, int wide,
                    uint32_t* countOut) {
    uint32_t count = 0;
    uint64_t at = 0;
    while (at < size) {
        const uint8_t* h = directory + at;
        // A digital signature record may close the directory.
        if (size - at >= 4 && Spi_U32(h) == ZIP_SIGNATURE) {
            break;
        }
        if (size - at < ZIP_CENTRAL_SIZE || Spi_U32(h) != ZIP_CENTRAL) {
            return 0;
        }
        uint32_t nameLength = Spi_U16(h + 28);
        uint32_t extraLength = Spi_U16(h + 30);
        uint64_t next = at + ZIP_CENTRAL_SIZE + nameLength + extraLength + Spi_U16(h + 32);
        if (next > size) {
            return 0;
        }
        if (records != nullptr && wide) {
            Zip_Fill(static_cast<ArchiveEntryInfoW*>(records) + count, h, nameLength, extraLength);
        } else if (records != nullptr) {
            Zip_Fill(static_cast<ArchiveEntryInfo*>(records) + count, h, nameLength, extraLength);
        }
        ++count;
        at = next;
    }
    *countOut = count;
    return 1;
}

static int Zip_List(const SpiSource* source, HLOCAL* entriesOut, int wide) {
    ZipDirectory directory;
    if (!Zip_FindDirectory(source, &directory)) {
        return SPI_UNKNOWN_FORMAT;
    }
    auto* bytes = static_cast<uint8_t*>(Zip_Alloc(directory.size));
    if (bytes == nullptr) {
        return SPI_NO_MEMORY;
    }
    int result = SPI_BROKEN_DATA;
    uint32_t count = 0;
    // A damaged directory lists nothing rather than a part that looks whole.
    if (SpiSource_Read(source, directory.offset, bytes, directory.size) &&
        Zip_Walk(bytes, directory.size, nullptr, wide, &count)) {
        // One more record, left zero, closes the array.
        uint64_t recordSize = wide ? sizeof(ArchiveEntryInfoW) : sizeof(ArchiveEntryInfo);
        HLOCAL block = Spi_LocalCopy(nullptr, static_cast<SIZE_T>((count + 1ull) * recordSize));
        void* entries = block != nullptr ? LocalLock(block) : nullptr;
        if (entries == nullptr) {
            result = SPI_NO_MEMORY;
            if (block != nullptr) {
                LocalFree(block);
            }
        } else {
            Zip_Walk(bytes, directory.size, entries, wide, &count);
            LocalUnlock(block);
            // The block goes to the caller, who frees it.
            *entriesOut = block;
            result = SPI_OK;
        }
    }
    Zip_Free(bytes);
    return result;
}

SPI_EXPORT int WINAPI GetPluginInfo(int infoNumber, LPSTR buffer, int bufferLength) {
    static const char* const info[4] = {SPI_VERSION_ARCHIVE, "Quorlex ZIP plug-in 1.0", "*.zip",
                                        "ZIP archive"};
    return Spi_PluginInfo(info, infoNumber, buffer, bufferLength);
}

SPI_EXPORT int WINAPI IsSupported(LPCSTR, void* head) {
    uint8_t buffer[4];
    const uint8_t* bytes = Spi_HeadBytes(head, buffer, sizeof buffer);
    if (bytes == nullptr) {
        return 0;
    }
    uint32_t signature = Spi_U32(bytes);
    return signature == ZIP_LOCAL || signature == ZIP_END;
}

// The support test looks at the head only: the name's form does not matter.
SPI_EXPORT int WINAPI IsSupportedW(LPCWSTR, void* head) {
    return IsSupported(nullptr, head);
}

// GetArchiveInfo and its wide twin: a file named in UTF-16 gets records
// whose names are UTF-16 with every character kept.
static int Zip_GetArchiveInfo(const void* source, int wide, SpiWord offset, unsigned flag,
                              HLOCAL* entries) {
    SpiSource input;
    int result = SpiSource_Open(source, wide, offset, flag, &input);
    if (result == SPI_OK) {
        result = Zip_List(&input, entries, wide);
        SpiSource_Close(&input);
    }
    return result;
}

SPI_EXPORT int WINAPI GetArchiveInfo(LPCSTR source, SpiWord offset, unsigned flag,
                                     HLOCAL* entries) {
    return Zip_GetArchiveInfo(source, 0, offset, flag, entries);
}

SPI_EXPORT int WINAPI GetArchiveInfoW(LPCWSTR source, SpiWord offset, unsigned flag,
                                      HLOCAL* entries) {
    return Zip_GetArchiveInfo(source, 1, offset, flag, entries);
}
