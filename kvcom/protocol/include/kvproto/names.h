// Memory and program names on the device's display: seven signs have codes
// of their own there, so names are translated on the way out and back.
// Header-only, so that code outside the library (the bank-file codec of the
// program) shares the one table without the library exporting it.
#pragma once

namespace kvcom {

// PC character to the device's code: blanks and NULs as 0x40, the seven
// signs to their codes, letters and digits unchanged, anything else 0x40.
inline unsigned char NameCharToDevice(char c) {
    switch (c) {
    case '!': return 0x3A;
    case '#': return 0x3B;
    case '&': return 0x3E;
    case '-': return 0x3D;
    case '=': return 0x3F;
    case '~': return 0x3C;
    default: break;
    }
    if ((c >= 'A' && c <= 'Z') || (c >= 'a' && c <= 'z') || (c >= '0' && c <= '9'))
        return static_cast<unsigned char>(c);
    return 0x40;  // blank, NUL and every sign the display cannot show
}

// Device code to PC character as a program image carries it: the seven
// codes back to their signs, 0x40 to a blank, every other code unchanged.
inline char NameCharFromImage(unsigned char code) {
    switch (code) {
    case 0x3A: return '!';
    case 0x3B: return '#';
    case 0x3C: return '~';
    case 0x3D: return '-';
    case 0x3E: return '&';
    case 0x3F: return '=';
    case 0x40: return ' ';
    default: return static_cast<char>(code);
    }
}

// Device code to PC character as memory lists carry it: like
// NameCharFromImage, and NUL also becomes a blank.
inline char NameCharFromList(unsigned char code) { return code == 0x00 ? ' ' : NameCharFromImage(code); }

}  // namespace kvcom
