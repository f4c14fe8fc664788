#include "PageProcess.h"

#include <windows.h>

#include <psapi.h>

namespace orvelle::viewer::pageprocess {

qint64 ResidentBytes(qint64 pid) {
    if (pid <= 0) {
        return -1;
    }
    HANDLE process = OpenProcess(PROCESS_QUERY_LIMITED_INFORMATION, FALSE, static_cast<DWORD>(pid));
    if (!process) {
        return -1;
    }
    PROCESS_MEMORY_COUNTERS counters{};
    counters.cb = sizeof counters;
    const BOOL ok = GetProcessMemoryInfo(process, &counters, sizeof counters);
    CloseHandle(process);
    return ok ? static_cast<qint64>(counters.WorkingSetSize) : -1;
}

bool End(qint64 pid) {
    if (pid <= 0) {
        return false;
    }
    HANDLE process = OpenProcess(PROCESS_TERMINATE, FALSE, static_cast<DWORD>(pid));
    if (!process) {
        return false;
    }
    const BOOL ok = TerminateProcess(process, 1);
    CloseHandle(process);
    return ok != FALSE;
}

} // namespace orvelle::viewer::pageprocess
