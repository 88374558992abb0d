#include <cstring>

#include "piece_holds.h"

bool piece_holds(const std::uint8_t* piece, std::size_t n, std::size_t at,
                 const std::uint8_t* contents, bool (*may_differ)(std::size_t)) {
    for (std::size_t k = 0; k < n; ++k) {
        if (std::memcmp(piece + k, contents + at + k, n - k) == 0) return true;
        while (piece[k] == contents[at + k]) ++k;
        if (!may_differ(at + k)) return false;
    }
    return true;
}
