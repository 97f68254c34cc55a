// SPDX-License-Identifier: GPL-3.0-or-later
// Holds a file open the way the game holds the MP3 it plays: open for
// reading, sharing reads only, so while it runs the file can be read but not
// deleted, renamed or replaced. Prints "held" once the file is open and
// keeps it until its standard input ends (or `seconds` have passed).
//
//   hold_open <file> [seconds]
#include <cstdio>
#include <cstdlib>
#include <windows.h>

int main(int argc, char *argv[])
{
    if (argc < 2) {
        std::fputs("usage: hold_open <file> [seconds]\n", stderr);
        return 2;
    }
    const HANDLE file = CreateFileA(argv[1], GENERIC_READ, FILE_SHARE_READ, nullptr, OPEN_EXISTING,
                                    FILE_ATTRIBUTE_NORMAL, nullptr);
    if (file == INVALID_HANDLE_VALUE) {
        std::fprintf(stderr, "hold_open: %s cannot be opened (error %lu)\n", argv[1],
                     GetLastError());
        return 1;
    }
    std::puts("held");
    std::fflush(stdout);
    if (argc > 2) {
        Sleep(DWORD(std::atoi(argv[2])) * 1000);
    } else {
        while (std::fgetc(stdin) != EOF) {
        }
    }
    CloseHandle(file);
    return 0;
}
