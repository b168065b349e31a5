#include "names.h"

namespace kvcom {

unsigned char NameCharToDevice(char c) {
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

char NameCharFromImage(unsigned char code) {
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

char NameCharFromList(unsigned char code) { return code == 0x00 ? ' ' : NameCharFromImage(code); }

}  // namespace kvcom
