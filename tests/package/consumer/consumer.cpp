// Uses the installed library: a refused connection must come back as 10061,
// named by the library, and the header's version must be the package's.
#include <VornMTClient.h>

#include <cstdio>
#include <cstring>

#define VORNMT_TEXT(x) #x
#define VORNMT_VERSION_OF(a, b, c) VORNMT_TEXT(a) "." VORNMT_TEXT(b) "." VORNMT_TEXT(c)

int main() {
    const char* header_version = VORNMT_VERSION_OF(VORNMT_VERSION_MAJOR, VORNMT_VERSION_MINOR, VORNMT_VERSION_PATCH);
    if (std::strcmp(header_version, PACKAGE_VERSION_TEXT) != 0) {
        std::printf("header version %s, package version %s\n", header_version, PACKAGE_VERSION_TEXT);
        return 1;
    }
    Vorn_SDK_MultiTouch::TouchGesture gesture{};
    gesture.code = Vorn_SDK_MultiTouch::TG_SPLIT_START;
    int32_t status = ConnectServer("127.0.0.1", 1);
    std::printf("%s %d %s\n", GetGestureName(&gesture), status, GetStatusText(status));
    return status == 10061 && std::strcmp(GetStatusText(status), "connection refused") == 0 ? 0 : 1;
}
