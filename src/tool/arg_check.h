// The argument stage: checks the MAC text and the programming count, decodes
// them and echoes what was understood (the rules are in mac_text.h).
#ifndef TOLP_ARG_CHECK_H
#define TOLP_ARG_CHECK_H

#include "run_context.h"

// Checks p and p_times, fills burn_times and mac_buf and echoes them. On
// refusal prints the reason and stops with status -2.
void check_arguments(RunContext& ctx);

#endif
