#include "console.h"

#include <cstdio>
#include <cstdlib>

#include "interrupts.h"

void stop(int status) {
    remove_pending_temporary();
    // Standard output is fully buffered when it is not a terminal: flush so
    // that a script sees the message while the tool waits.
    std::fflush(stdout);
    std::getchar();
    std::exit(status);
}
