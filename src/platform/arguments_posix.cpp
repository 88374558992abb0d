#include "arguments.h"

std::vector<std::string> arguments_in_utf8(int argc, char* argv[]) {
    return std::vector<std::string>(argv, argv + argc);
}
