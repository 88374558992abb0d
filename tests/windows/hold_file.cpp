// hold_file PATH MILLISECONDS PATTERN
//
// Holds PATH open for reading, sharing reading and writing but not deletion,
// as a virus scanner or indexer does: Windows then refuses to rename another
// file over it. Prints "held" once it has the file, waits until a file
// matching PATTERN appears (the replacement is about to be renamed over
// PATH), then keeps holding for MILLISECONDS.
#include <windows.h>

#include <cstdio>
#include <cstdlib>

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
    HANDLE h = CreateFileA(argv[1], GENERIC_READ, FILE_SHARE_READ | FILE_SHARE_WRITE, nullptr,
                           OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL, nullptr);
    if (h == INVALID_HANDLE_VALUE) return 1;
    std::printf("held\n");
    std::fflush(stdout);
    for (int waited = 0; waited < 60000 && !exists(argv[3]); ++waited) Sleep(1);
    Sleep(static_cast<DWORD>(std::atoi(argv[2])));
    CloseHandle(h);
    return 0;
}
