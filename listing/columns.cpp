// The listing's column arithmetic: ratios, decimal numbers and the centred
// type field.
#include "listing/listing.h"

void Listing_Ratio(uint64_t packed, uint64_t original, ListingWide* whole, unsigned* tenths) {
    if (original == 0) {
        *whole = 0;
        *tenths = 0;
        return;
    }
    // Long division one decimal digit at a time: two digits of percent, the
    // tenths and one for rounding. No step holds more than ten times the
    // original size, which fits ListingWide: on x64 it is 128 bits, and on
    // x86 a sum of 32-bit sizes over the records of one block stays below 2^56.
    ListingWide rest = packed % original;
    unsigned digits[4];
    for (unsigned& digit : digits) {
        rest *= 10;
        digit = static_cast<unsigned>(rest / original);
        rest %= original;
    }
    ListingWide percent = ListingWide{packed / original} * 100 + digits[0] * 10 + digits[1];
    unsigned tenth = digits[2] + (digits[3] >= 5 ? 1 : 0);
    *whole = tenth == 10 ? percent + 1 : percent;
    *tenths = tenth == 10 ? 0 : tenth;
}

void Listing_AddToTotals(ListingTotals* totals, uint64_t original, uint64_t packed) {
    totals->original += original;
    totals->packed += packed;
    totals->files += 1;
}

int Listing_Decimal(char* out, ListingWide value, int width) {
    char digits[48];
    int n = 0;
    do {
        digits[n++] = static_cast<char>('0' + static_cast<int>(value % 10));
        value /= 10;
    } while (value != 0);
    int written = 0;
    for (int pad = n; pad < width; ++pad) {
        out[written++] = ' ';
    }
    while (n > 0) {
        out[written++] = digits[--n];
    }
    return written;
}

char Listing_Shown(char c) {
    return static_cast<unsigned char>(c) < 0x20 ? '?' : c;
}

wchar_t Listing_ShownWide(wchar_t c) {
    return c < 0x20 ? L'?' : c;
}

void Listing_TypeField(char* out, const char method[8]) {
    int length = 0;
    while (length < 8 && method[length] != '\0') {
        ++length;
    }
    int before = (8 - length) / 2;
    for (int i = 0; i < 8; ++i) {
        out[i] = ' ';
    }
    for (int i = 0; i < length; ++i) {
        out[before + i] = Listing_Shown(method[i]);
    }
}
