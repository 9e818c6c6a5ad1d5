#include <windows.h>
#include <psapi.h>

#include "platform/process_identity.h"

namespace vornmt::platform {

std::string ExecutableBaseName() {
    // A null module names the executable; 260 is MAX_PATH, so the name with
    // its NUL always fits and is at most 259 characters.
    char name[MAX_PATH];
    DWORD length = ::GetModuleBaseNameA(::GetCurrentProcess(), nullptr, name, MAX_PATH);
    return std::string(name, length);
}

std::uint32_t CurrentProcessId() { return static_cast<std::uint32_t>(::GetCurrentProcessId()); }

}  // namespace vornmt::platform
