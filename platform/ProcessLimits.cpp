#include "ProcessLimits.h"

#ifdef _WIN32
#include <windows.h>
// psapi.h after windows.h
#include <psapi.h>
#else
#include <cerrno>
#include <cstdio>
#include <cstring>
#include <sys/resource.h>
#include <unistd.h>
#endif

namespace orvelle::platform {

#ifdef _WIN32

std::uint64_t CountedMemory() {
    PROCESS_MEMORY_COUNTERS counters{};
    if (!GetProcessMemoryInfo(GetCurrentProcess(), &counters, sizeof counters)) {
        return 0;
    }
    return counters.PagefileUsage; // committed private memory
}

bool CapMemoryGrowth(std::uint64_t bytes, std::string& problem) {
    // The job is never closed: it lasts as long as the process, which it then ends with.
    HANDLE job = CreateJobObjectW(nullptr, nullptr);
    if (!job) {
        problem = "CreateJobObject failed: " + std::to_string(GetLastError());
        return false;
    }
    JOBOBJECT_EXTENDED_LIMIT_INFORMATION limits{};
    limits.BasicLimitInformation.LimitFlags = JOB_OBJECT_LIMIT_PROCESS_MEMORY;
    limits.ProcessMemoryLimit = static_cast<SIZE_T>(CountedMemory() + bytes);
    if (!SetInformationJobObject(job, JobObjectExtendedLimitInformation, &limits, sizeof limits) ||
        !AssignProcessToJobObject(job, GetCurrentProcess())) {
        problem =
            "the job object's memory limit could not be set: " + std::to_string(GetLastError());
        CloseHandle(job);
        return false;
    }
    return true;
}

void LowerOwnPriority() {
    SetPriorityClass(GetCurrentProcess(), BELOW_NORMAL_PRIORITY_CLASS);
}

#else

std::uint64_t CountedMemory() {
    // The first figure of statm: the address space, in pages.
    std::FILE* statm = std::fopen("/proc/self/statm", "r");
    if (!statm) {
        return 0;
    }
    unsigned long long pages = 0;
    const bool read = std::fscanf(statm, "%llu", &pages) == 1;
    std::fclose(statm);
    return read ? pages * static_cast<std::uint64_t>(sysconf(_SC_PAGESIZE)) : 0;
}

bool CapMemoryGrowth(std::uint64_t bytes, std::string& problem) {
    const std::uint64_t now = CountedMemory();
    if (now == 0) {
        problem = "the process's address space could not be read";
        return false;
    }
    const rlimit limit{static_cast<rlim_t>(now + bytes), static_cast<rlim_t>(now + bytes)};
    if (setrlimit(RLIMIT_AS, &limit) != 0) {
        problem = std::string("setrlimit: ") + std::strerror(errno);
        return false;
    }
    return true;
}

void LowerOwnPriority() {
    errno = 0;
    [[maybe_unused]] const int niceness = nice(10);
}

#endif

} // namespace orvelle::platform
