// A stand-in for the MPI launcher on Windows: records its working folder and then its arguments a line
// in "<its own path>.record" (renamed into place, so a reader sees all of it), and ends with exit code 3.
#include <windows.h>
// shellapi.h needs what windows.h defines.
#include <shellapi.h>

#include <cstdio>
#include <string>

namespace {

std::string Utf8(const wchar_t* text) {
    const int size = WideCharToMultiByte(CP_UTF8, 0, text, -1, nullptr, 0, nullptr, nullptr);
    if (size <= 0) return std::string();
    std::string out(static_cast<size_t>(size), '\0');
    WideCharToMultiByte(CP_UTF8, 0, text, -1, &out[0], size, nullptr, nullptr);
    out.resize(static_cast<size_t>(size) - 1);
    return out;
}

}  // namespace

int main() {
    wchar_t self[MAX_PATH] = {0};
    wchar_t folder[MAX_PATH] = {0};
    const DWORD selfLength = GetModuleFileNameW(nullptr, self, MAX_PATH);
    const DWORD folderLength = GetCurrentDirectoryW(MAX_PATH, folder);
    int count = 0;
    wchar_t** arguments = CommandLineToArgvW(GetCommandLineW(), &count);
    if (selfLength == 0 || selfLength >= MAX_PATH || folderLength == 0 || folderLength >= MAX_PATH ||
        arguments == nullptr) {
        return 1;
    }
    std::string record = Utf8(folder) + "\n";
    for (int i = 1; i < count; ++i) record += Utf8(arguments[i]) + "\n";
    LocalFree(arguments);

    const std::wstring path = std::wstring(self) + L".record";
    const std::wstring partial = path + L".partial";
    FILE* file = _wfopen(partial.c_str(), L"wb");
    if (file == nullptr) return 1;
    const bool written = std::fwrite(record.data(), 1, record.size(), file) == record.size();
    if (std::fclose(file) != 0 || !written) return 1;

    std::printf("launcher: %d arguments\n", count - 1);
    std::fflush(stdout);
    if (!MoveFileExW(partial.c_str(), path.c_str(), MOVEFILE_REPLACE_EXISTING)) return 1;
    return 3;
}
