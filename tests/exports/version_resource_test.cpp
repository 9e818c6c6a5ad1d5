// Reads a DLL's version resource with the Windows API, as Explorer and
// installers do, and checks the version numbers and names:
//   version_resource DLL MAJOR.MINOR.PATCH
#include <windows.h>

#include <cstdio>
#include <cstring>
#include <string>
#include <vector>

namespace {

std::string StringValue(const std::vector<char>& block, const char* name) {
    std::string path = std::string("\\StringFileInfo\\040904B0\\") + name;
    char* text = nullptr;
    UINT length = 0;
    if (!VerQueryValueA(block.data(), path.c_str(), reinterpret_cast<void**>(&text), &length) || text == nullptr)
        return "";
    return std::string(text);
}

}  // namespace

int main(int argc, char** argv) {
    if (argc != 3) {
        std::fprintf(stderr, "usage: version_resource DLL MAJOR.MINOR.PATCH\n");
        return 2;
    }
    DWORD ignored = 0;
    DWORD size = GetFileVersionInfoSizeA(argv[1], &ignored);
    std::vector<char> block(size);
    if (size == 0 || !GetFileVersionInfoA(argv[1], 0, size, block.data())) {
        std::fprintf(stderr, "%s: no version resource (error %lu)\n", argv[1],
                     static_cast<unsigned long>(GetLastError()));
        return 1;
    }
    VS_FIXEDFILEINFO* fixed = nullptr;
    UINT length = 0;
    if (!VerQueryValueA(block.data(), "\\", reinterpret_cast<void**>(&fixed), &length) || fixed == nullptr) {
        std::fprintf(stderr, "no fixed file information\n");
        return 1;
    }
    char numbers[64];
    std::snprintf(numbers, sizeof numbers, "%u.%u.%u", static_cast<unsigned>(HIWORD(fixed->dwFileVersionMS)),
                  static_cast<unsigned>(LOWORD(fixed->dwFileVersionMS)),
                  static_cast<unsigned>(HIWORD(fixed->dwFileVersionLS)));
    int failures = 0;
    auto expect = [&failures](const std::string& what, const std::string& got, const std::string& want) {
        std::printf("%-16s %s\n", what.c_str(), got.c_str());
        if (got != want) {
            std::fprintf(stderr, "%s is '%s', expected '%s'\n", what.c_str(), got.c_str(), want.c_str());
            ++failures;
        }
    };
    expect("file version", numbers, argv[2]);
    expect("FileVersion", StringValue(block, "FileVersion"), argv[2]);
    expect("ProductVersion", StringValue(block, "ProductVersion"), argv[2]);
    expect("ProductName", StringValue(block, "ProductName"), "VornMTClient");
    expect("OriginalFilename", StringValue(block, "OriginalFilename"), "VornMTClient.dll");
    if (StringValue(block, "FileDescription").empty()) {
        std::fprintf(stderr, "FileDescription is empty\n");
        ++failures;
    }
    if (fixed->dwFileType != VFT_DLL) {
        std::fprintf(stderr, "file type %lu is not VFT_DLL\n", static_cast<unsigned long>(fixed->dwFileType));
        ++failures;
    }
    return failures == 0 ? 0 : 1;
}
