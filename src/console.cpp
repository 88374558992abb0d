#include "console.h"

#include <cstdio>
#include <cstdlib>

void wait_for_key() {
    // Standard output is fully buffered when it is not a terminal: flush so
    // that a script sees the message while the tool waits.
    std::fflush(stdout);
    std::getchar();
}

int stop_run(int status) {
    wait_for_key();
    return status;
}

void stop_process(int status) {
    wait_for_key();
    std::exit(status);
}
