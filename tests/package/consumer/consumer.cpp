// Uses the installed library: a refused connection must come back as 10061.
#include <VornMTClient.h>

#include <cstdio>

int main() {
    Vorn_SDK_MultiTouch::TouchGesture gesture{};
    gesture.code = 32;
    int32_t status = ConnectServer("127.0.0.1", 1);
    std::printf("%s %d\n", GetGestureName(&gesture), status);
    return status == 10061 ? 0 : 1;
}
