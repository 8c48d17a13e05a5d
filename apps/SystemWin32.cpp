// The operating-system parts of zep3dtool on Windows: the console mode for the password prompt, a job
// object that the launched processes join, so that the command can wait for them.
#include <io.h>
#include <windows.h>

#include <algorithm>
#include <cstdio>
#include <iostream>
#include <vector>

#include "System.h"
#include "platform/Platform.h"

namespace zep {
namespace apps {

bool StderrIsTerminal() { return _isatty(_fileno(stderr)) != 0; }
bool StdinIsTerminal() { return _isatty(_fileno(stdin)) != 0; }

bool ReadPasswordNoEcho(const std::string& prompt, std::string* password) {
    HANDLE input = GetStdHandle(STD_INPUT_HANDLE);
    DWORD mode = 0;
    if (input == INVALID_HANDLE_VALUE || !GetConsoleMode(input, &mode)) return false;
    std::fprintf(stderr, "%s", prompt.c_str());
    std::fflush(stderr);
    // The console gives the echo back by itself when the process ends on Ctrl+C.
    bool ok = SetConsoleMode(input, mode & ~static_cast<DWORD>(ENABLE_ECHO_INPUT)) != 0;
    if (ok) ok = static_cast<bool>(std::getline(std::cin, *password));
    SetConsoleMode(input, mode);
    std::fprintf(stderr, "\n");
    if (ok && !password->empty() && password->back() == '\r') password->pop_back();
    return ok;
}

bool CreatePrivateFile(const std::string& path, const std::string& content, std::string* error) {
    HANDLE file =
        CreateFileA(path.c_str(), GENERIC_WRITE, 0, nullptr, CREATE_NEW, FILE_ATTRIBUTE_NORMAL, nullptr);
    if (file == INVALID_HANDLE_VALUE) {
        *error = platform::SystemErrorText(static_cast<int>(GetLastError()));
        return false;
    }
    size_t done = 0;
    bool ok = true;
    while (ok && done < content.size()) {
        DWORD written = 0;
        const DWORD chunk = static_cast<DWORD>(std::min<size_t>(content.size() - done, 1u << 20));
        ok = WriteFile(file, content.data() + done, chunk, &written, nullptr) != 0 && written > 0;
        done += written;
    }
    if (!ok) *error = platform::SystemErrorText(static_cast<int>(GetLastError()));
    if (!CloseHandle(file) && ok) {
        *error = platform::SystemErrorText(static_cast<int>(GetLastError()));
        ok = false;
    }
    if (!ok) DeleteFileA(path.c_str());
    return ok;
}

long ProcessId() { return static_cast<long>(GetCurrentProcessId()); }

LaunchedProcesses::LaunchedProcesses() {}

LaunchedProcesses::~LaunchedProcesses() {
    if (job_ != nullptr) CloseHandle(static_cast<HANDLE>(job_));
}

// Processes started by a process in a job join the job: put this process in a new one.
void LaunchedProcesses::Watch() {
    if (job_ != nullptr) return;
    HANDLE job = CreateJobObjectA(nullptr, nullptr);
    if (job == nullptr) return;
    if (!AssignProcessToJobObject(job, GetCurrentProcess())) {
        CloseHandle(job);
        return;
    }
    job_ = job;
}

LaunchedProcesses::Result LaunchedProcesses::WaitForAll() {
    Result result;
    if (job_ == nullptr) return result;
    HANDLE job = static_cast<HANDLE>(job_);
    DWORD self = GetCurrentProcessId();
    std::vector<HANDLE> seen;
    std::vector<DWORD> ids;
    for (;;) {
        // Every process of the job but this one, opened while it runs so that its exit code can be read.
        std::vector<char> buffer(sizeof(JOBOBJECT_BASIC_PROCESS_ID_LIST) + 1024 * sizeof(ULONG_PTR));
        auto* list = reinterpret_cast<JOBOBJECT_BASIC_PROCESS_ID_LIST*>(buffer.data());
        if (!QueryInformationJobObject(job, JobObjectBasicProcessIdList, list,
                                       static_cast<DWORD>(buffer.size()), nullptr))
            break;
        bool others = false;
        for (DWORD i = 0; i < list->NumberOfProcessIdsInList; ++i) {
            DWORD id = static_cast<DWORD>(list->ProcessIdList[i]);
            if (id == self) continue;
            others = true;
            bool known = false;
            for (DWORD k : ids) known = known || k == id;
            if (known) continue;
            HANDLE process = OpenProcess(SYNCHRONIZE | PROCESS_QUERY_LIMITED_INFORMATION, FALSE, id);
            if (process == nullptr) continue;
            ids.push_back(id);
            seen.push_back(process);
        }
        if (!others) break;
        Sleep(100);
    }
    for (HANDLE process : seen) {
        WaitForSingleObject(process, INFINITE);
        DWORD code = 0;
        GetExitCodeProcess(process, &code);
        ++result.processes;
        if (code != 0 && result.failed++ == 0) result.firstFailure = static_cast<int>(code);
        CloseHandle(process);
    }
    return result;
}

}  // namespace apps
}  // namespace zep
