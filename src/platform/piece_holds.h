// The platform's side of update_in_place.h: the comparison both platforms
// make of what the file holds with what the caller read.
#ifndef TOLP_PIECE_HOLDS_H
#define TOLP_PIECE_HOLDS_H

#include <cstddef>
#include <cstdint>

// Whether `piece` (`n` bytes of the file from offset `at`) holds `contents`
// there but where `may_differ` holds; compared a run of equal bytes at a
// time.
bool piece_holds(const std::uint8_t* piece, std::size_t n, std::size_t at,
                 const std::uint8_t* contents, bool (*may_differ)(std::size_t));

#endif
