// Expected console transcripts, composed from the tool's texts (whose bytes
// are checked on their own) the way the tool prints them.
#ifndef TOLP_E2E_SUPPORT_H
#define TOLP_E2E_SUPPORT_H

#include <string>
#include <vector>

#include "console_texts.h"
#include "test_support.h"

// printf into a byte string.
Bytes fmt(const char* format, ...);

// The count line and the three echo lines of a call with `args`.
Bytes echo_transcript(const std::vector<std::string>& args);

#endif
