// The platform's side of the pending temporary (interrupts.h): the one
// registry both interrupt guards read, and each platform's way to delete.
#ifndef TOLP_PENDING_TEMPORARY_H
#define TOLP_PENDING_TEMPORARY_H

#include <filesystem>

using PathChar = std::filesystem::path::value_type;

// The pending temporary's name; empty when there is none. Written only with
// interrupts held, so an interrupt handler reads it whole.
const PathChar* pending_temporary();

// Deletes the file `name` (unlink, DeleteFileW); safe in a signal handler.
// 0, or the system's error code.
long delete_temporary(const PathChar* name);

#endif
