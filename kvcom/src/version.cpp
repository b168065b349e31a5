// The library's version, set by the build from the project's version.
#include "kvcom/kvcom.h"

const char* KvcomVersion() { return KVCOM_VERSION_TEXT; }
