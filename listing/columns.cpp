// The listing's column arithmetic: ratios, decimal numbers and the centred
// type field.
#include "listing/listing.h"

void Listing_Ratio(SpiSize packed, SpiSize original, ListingWide* whole, unsigned* tenths) {
    if (original == 0) {
        *whole = 0;
        *tenths = 0;
        return;
    }
    ListingWide t = (static_cast<ListingWide>(packed) * 10000 / original + 5) / 10;
    *whole = t / 10;
    *tenths = static_cast<unsigned>(t % 10);
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
        out[before + i] = method[i];
    }
}
