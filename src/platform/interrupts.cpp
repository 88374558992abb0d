#include <algorithm>

#include "interrupts.h"
#include "pending_temporary.h"

namespace {

PathChar pending[4096];

}  // namespace

const PathChar* pending_temporary() {
    return pending;
}

void set_pending_temporary(const std::filesystem::path& temp) {
    const auto& name = temp.native();
    const bool fits = name.size() < sizeof pending / sizeof pending[0];
    std::copy(name.begin(), fits ? name.end() : name.begin(), pending);
    pending[fits ? name.size() : 0] = 0;
}

void clear_pending_temporary() {
    pending[0] = 0;
}

long remove_pending_temporary() {
    hold_interrupts();
    const long error = pending[0] != 0 ? delete_temporary(pending) : 0;
    pending[0] = 0;
    release_interrupts();
    return error;
}
