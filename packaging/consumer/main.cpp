// A program built against the installed KVCOM, as any user of the library
// would build it: prints the library's version and the device of COM1.
#include <kvcom/kvcom.h>

#include <cstdio>

int main() {
    char path[256];
    PortDevicePath(1, path, sizeof path);
    std::printf("KVCOM %s\nCOM1 %s\n", KvcomVersion(), path);
}
