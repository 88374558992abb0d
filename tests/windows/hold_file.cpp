// hold_file PATH MILLISECONDS PATTERN
// hold_file PATH MILLISECONDS --exclusive
//
// Holds PATH open as a virus scanner or indexer does, prints "held" once it
// has the file, and lets go after MILLISECONDS.
// With PATTERN it shares reading and writing but not deletion, so Windows
// refuses to rename another file over PATH; it waits until a file matching
// PATTERN appears (the replacement is about to be renamed over PATH) before
// it starts counting.
// With --exclusive it shares nothing, so no other program can even open
// PATH, and counts from the start.
#include <windows.h>

#include <cstdio>
#include <cstdlib>
#include <cstring>

namespace {

bool exists(const char* pattern) {
    WIN32_FIND_DATAA found;
    HANDLE h = FindFirstFileA(pattern, &found);
    if (h == INVALID_HANDLE_VALUE) return false;
    FindClose(h);
    return true;
}

}  // namespace

int main(int argc, char* argv[]) {
    if (argc != 4) return 2;
    const bool exclusive = std::strcmp(argv[3], "--exclusive") == 0;
    const DWORD share = exclusive ? 0 : FILE_SHARE_READ | FILE_SHARE_WRITE;
    HANDLE h = CreateFileA(argv[1], GENERIC_READ, share, nullptr, OPEN_EXISTING,
                           FILE_ATTRIBUTE_NORMAL, nullptr);
    if (h == INVALID_HANDLE_VALUE) return 1;
    std::printf("held\n");
    std::fflush(stdout);
    for (int waited = 0; !exclusive && waited < 60000 && !exists(argv[3]); ++waited) Sleep(1);
    Sleep(static_cast<DWORD>(std::atoi(argv[2])));
    CloseHandle(h);
    return 0;
}
