// The program's arguments as UTF-8 text. On Windows they are taken as UTF-16
// from the C runtime (as wmain would get them), so that a path opens
// whatever the system's code page; elsewhere they are the bytes as given.
#ifndef TOLP_ARGUMENTS_H
#define TOLP_ARGUMENTS_H

#include <string>
#include <vector>

std::vector<std::string> arguments_in_utf8(int argc, char* argv[]);

#endif
