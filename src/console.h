// The stop convention: a rejected input or failed file operation prints its
// message, waits for one character from standard input (the operator's
// Enter), and then ends with its status.
#ifndef TOLP_CONSOLE_H
#define TOLP_CONSOLE_H

// Makes everything printed so far visible, then reads and discards one
// character. At end of input it returns at once.
void wait_for_key();

// Waits for a key, then returns `status` for the caller to end the run with.
int stop_run(int status);

// Waits for a key, then ends the process with `status` (buffered output is
// flushed and open streams are closed by exit).
[[noreturn]] void stop_process(int status);

#endif
