// The stop convention: every refused input and failed file operation prints
// its message and then ends the run through `stop`.
#ifndef TOLP_CONSOLE_H
#define TOLP_CONSOLE_H

// The message has been printed. Removes a pending temporary, makes all output
// visible, waits for one character from standard input (the operator's
// Enter; at end of input it goes on at once) and ends the process with
// `status`.
[[noreturn]] void stop(int status);

#endif
