// Test-only: linked with the very objects of a shipped program, it makes a
// copy of it whose Win32 calls (and C runtime stream calls) can fail, with
// the error codes Windows gives there. It takes each call's import slot
// (__imp_NAME; the C runtime's functions themselves), counts the calls and
// hands them on to the real function, but for the one to fail. Relinked
// without it, the objects give the shipped executable byte for byte.
//
// Set in the environment:
//   TOLP_FAULTS=NAME:N:CODE[,...]  the Nth call of NAME fails, with
//                                  GetLastError() CODE ("N+": every call
//                                  from the Nth on); CODE 0: it does
//                                  nothing and sets no error (a write
//                                  succeeds having taken nothing)
//   TOLP_FAULT_LOG=FILE            each call of the table, by name, a line
//   TOLP_FAULT_TABLE=1             prints the table instead of running: a
//                                  line "NAME CODE WORDS" for each code,
//                                  WORDS being the system's own
#include <windows.h>

#include <cerrno>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <tuple>

namespace {

struct Call {
    const char* name;
    const char* dll;
    long long failed;           // what the call returns when it fails
    unsigned long codes[5];     // the errors Windows gives there, 0 ended
    bool does_nothing = false;  // also fails with code 0
    void* real = nullptr;
    long count = 0;
    unsigned long failing = 0;
};

// Every call of a run that can fail, and how.
Call calls[] = {
    {"CreateFileW",
     "kernel32",
     -1,
     {ERROR_ACCESS_DENIED, ERROR_SHARING_VIOLATION, ERROR_NOT_ENOUGH_MEMORY, ERROR_FILE_EXISTS}},
    {"GetFileAttributesW", "kernel32", -1, {ERROR_ACCESS_DENIED, ERROR_FILE_NOT_FOUND}},
    {"GetFileInformationByHandle", "kernel32", 0, {ERROR_NOT_ENOUGH_MEMORY, ERROR_UNEXP_NET_ERR}},
    {"GetFileType", "kernel32", 0, {ERROR_INVALID_HANDLE}},
    {"ReadFile",
     "kernel32",
     0,
     {ERROR_LOCK_VIOLATION, ERROR_HANDLE_EOF, ERROR_CRC, ERROR_NOT_ENOUGH_MEMORY}},
    {"WriteFile", "kernel32", 0, {ERROR_DISK_FULL, ERROR_LOCK_VIOLATION}, true},
    {"FlushFileBuffers", "kernel32", 0, {ERROR_DISK_FULL, ERROR_IO_DEVICE}},
    {"CloseHandle", "kernel32", 0, {ERROR_UNEXP_NET_ERR}},
    {"LockFileEx", "kernel32", 0, {ERROR_LOCK_VIOLATION, ERROR_NOT_SUPPORTED}},
    {"UnlockFileEx", "kernel32", 0, {ERROR_NOT_LOCKED}},
    {"MoveFileExW", "kernel32", 0, {ERROR_NOT_SAME_DEVICE, ERROR_ACCESS_DENIED}},
    {"DeleteFileW", "kernel32", 0, {ERROR_ACCESS_DENIED}},
    {"GetStdHandle", "kernel32", -1, {ERROR_INVALID_HANDLE}},
    {"GetConsoleMode", "kernel32", 0, {ERROR_INVALID_HANDLE}},
    {"WriteConsoleW", "kernel32", 0, {ERROR_NOT_ENOUGH_MEMORY}, true},
    {"MultiByteToWideChar", "kernel32", 0, {ERROR_NO_UNICODE_TRANSLATION}},
    {"WideCharToMultiByte", "kernel32", 0, {ERROR_INSUFFICIENT_BUFFER}},
    {"FormatMessageW", "kernel32", 0, {ERROR_MR_MID_NOT_FOUND}},
    {"fwrite", "msvcrt", 0, {ERROR_DISK_FULL}, true},
    {"fflush", "msvcrt", EOF, {ERROR_DISK_FULL}, true},
    {"__wgetmainargs", "msvcrt", -1, {ERROR_NOT_ENOUGH_MEMORY}},
};

struct Fault {
    int call = -1;
    long from = 0;
    bool onwards = false;
    unsigned long code = 0;
};
Fault faults[4];
HANDLE log_file = INVALID_HANDLE_VALUE;

void* real(const Call& c) {
    return reinterpret_cast<void*>(GetProcAddress(GetModuleHandleA(c.dll), c.name));
}

// Code 0's words: a write fault's, as the program says of a write that took nothing.
void print_row(const char* name, unsigned long code) {
    char words[512] = "";
    FormatMessageA(FORMAT_MESSAGE_FROM_SYSTEM | FORMAT_MESSAGE_IGNORE_INSERTS, nullptr,
                   code != 0 ? code : ERROR_WRITE_FAULT, 0, words, sizeof words, nullptr);
    std::printf("%s %lu %s\n", name, code, std::strtok(words, "\r\n"));
}

void print_table() {
    for (const Call& c : calls) {
        for (const unsigned long* code = c.codes; *code != 0; ++code) print_row(c.name, *code);
        if (c.does_nothing) print_row(c.name, 0);
    }
    std::fflush(stdout);
    ExitProcess(0);
}

// TOLP_FAULTS, TOLP_FAULT_LOG and TOLP_FAULT_TABLE, read at the first call.
void read_settings() {
    static bool read = false;
    if (read) return;
    read = true;
    for (Call& c : calls) c.real = real(c);
    char text[512];
    if (GetEnvironmentVariableA("TOLP_FAULT_LOG", text, sizeof text) != 0) {
        log_file = CreateFileA(text, FILE_APPEND_DATA, FILE_SHARE_READ | FILE_SHARE_WRITE, nullptr,
                               OPEN_ALWAYS, FILE_ATTRIBUTE_NORMAL, nullptr);
    }
    if (GetEnvironmentVariableA("TOLP_FAULTS", text, sizeof text) == 0) return;
    int k = 0;
    for (char* item = std::strtok(text, ","); item != nullptr && k < 4;
         item = std::strtok(nullptr, ",")) {
        char name[64];
        char onwards = 0;
        Fault f;
        if (std::sscanf(item, "%63[^:]:%ld%c", name, &f.from, &onwards) < 2) continue;
        f.onwards = onwards == '+';
        f.code = std::strtoul(std::strrchr(item, ':') + 1, nullptr, 10);
        for (int n = 0; n < static_cast<int>(sizeof calls / sizeof calls[0]); ++n) {
            if (std::strcmp(calls[n].name, name) == 0) f.call = n;
        }
        faults[k++] = f;
    }
}

// Counts the call; whether it is to fail, with its error set.
bool fails(int n) {
    read_settings();
    Call& c = calls[n];
    const long count = ++c.count;
    if (log_file != INVALID_HANDLE_VALUE) {
        char line[80];
        const int size = std::snprintf(line, sizeof line, "%s\n", c.name);
        using Write = BOOL(WINAPI*)(HANDLE, LPCVOID, DWORD, LPDWORD, LPOVERLAPPED);
        DWORD written = 0;
        reinterpret_cast<Write>(calls[5].real)(log_file, line, static_cast<DWORD>(size), &written,
                                               nullptr);
    }
    for (const Fault& f : faults) {
        if (f.call == n && (count == f.from || (f.onwards && count > f.from))) {
            c.failing = f.code;
            return true;
        }
    }
    return false;
}

// A call's type without its declaration's attributes (dllimport, nothrow),
// which a template argument does not carry.
#pragma GCC diagnostic ignored "-Wignored-attributes"
template <int N, typename F>
struct Wrap;
template <int N, typename R, typename... A>
struct Wrap<N, R (*)(A...)> {
    static R WINAPI call(A... a) {
        const bool failing = fails(N);  // the real functions are found at the first call
        const auto real = reinterpret_cast<R(WINAPI*)(A...)>(calls[N].real);
        if (!failing) return real(a...);
        // A handle is closed even where the close reports an error (a
        // network file system's late write error).
        if (N == 7) real(a...);
        if (calls[N].failing == 0) {
            if constexpr (N == 5 || N == 14) {  // WriteFile, WriteConsoleW: 0 written
                *std::get<3>(std::tie(a...)) = 0;
                return TRUE;
            }
            return (R)(calls[N].failed);  // fwrite, fflush: no error said
        }
        if (calls[N].dll[0] == 'm') errno = ENOSPC;
        SetLastError(calls[N].failing);
        return (R)(calls[N].failed);
    }
};

// TOLP_FAULT_TABLE asks before anything runs.
struct AskedForTheTable {
    AskedForTheTable() {
        char yes[4];
        if (GetEnvironmentVariableA("TOLP_FAULT_TABLE", yes, sizeof yes) != 0) {
            read_settings();
            print_table();
        }
    }
} asked;

}  // namespace

#define SLOT(n, name)                                     \
    extern "C" void* slot_##name __asm__("__imp_" #name); \
    void* slot_##name = reinterpret_cast<void*>(&Wrap<n, decltype(&name)>::call);

SLOT(0, CreateFileW)
SLOT(1, GetFileAttributesW)
SLOT(2, GetFileInformationByHandle)
SLOT(3, GetFileType)
SLOT(4, ReadFile)
SLOT(5, WriteFile)
SLOT(6, FlushFileBuffers)
SLOT(7, CloseHandle)
SLOT(8, LockFileEx)
SLOT(9, UnlockFileEx)
SLOT(10, MoveFileExW)
SLOT(11, DeleteFileW)
SLOT(12, GetStdHandle)
SLOT(13, GetConsoleMode)
SLOT(14, WriteConsoleW)
SLOT(15, MultiByteToWideChar)
SLOT(16, WideCharToMultiByte)
SLOT(17, FormatMessageW)

// The C runtime's calls are linked by name, not through a slot, and count
// only on the program's own streams (a coverage build writes its files too).
static bool own(FILE* stream) {
    read_settings();  // finds the real functions
    return stream == nullptr || stream == stdout || stream == stderr;
}
extern "C" size_t fwrite(const void* bytes, size_t size, size_t count, FILE* stream) {
    using F = decltype(&fwrite);
    const F real = own(stream) ? Wrap<18, F>::call : reinterpret_cast<F>(calls[18].real);
    return real(bytes, size, count, stream);
}
extern "C" int fflush(FILE* stream) {
    using F = decltype(&fflush);
    return (own(stream) ? Wrap<19, F>::call : reinterpret_cast<F>(calls[19].real))(stream);
}
extern "C" int __wgetmainargs(int* argc, wchar_t*** argv, wchar_t*** environment,
                              int expand_wildcards, void* startup_info) {
    return Wrap<20, decltype(&__wgetmainargs)>::call(argc, argv, environment, expand_wildcards,
                                                     startup_info);
}
