// Memory and program names on the device's display: seven signs have codes
// of their own there, so names are translated on the way out and back.
#pragma once

namespace kvcom {

// PC character to the device's code: blanks and NULs as 0x40, the seven
// signs to their codes, letters and digits unchanged, anything else 0x40.
unsigned char NameCharToDevice(char c);

// Device code to PC character as a program image carries it: the seven
// codes back to their signs, 0x40 to a blank, every other code unchanged.
char NameCharFromImage(unsigned char code);

// Device code to PC character as memory lists carry it: like
// NameCharFromImage, and NUL also becomes a blank.
char NameCharFromList(unsigned char code);

}  // namespace kvcom
