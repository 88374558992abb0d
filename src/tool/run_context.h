// The values one run carries from stage to stage.
#ifndef TOLP_RUN_CONTEXT_H
#define TOLP_RUN_CONTEXT_H

#include <cstdint>

#include "image_format.h"

struct RunContext {
    const char* p = nullptr;                  // MAC text, exactly as typed
    const char* p_times = nullptr;            // programming-count text, as typed
    std::uint32_t burn_times = 0;             // count limit, stored bit for bit
    std::uint8_t mac_buf[mac_size] = {};      // MAC bytes in written order
    std::uint8_t buf[download_capacity];      // working copy of the download image
    std::uint32_t bin_size = 0;               // download image size in bytes
    std::uint32_t file_sumcheck = 0;          // page checksum of the download image
    std::uint32_t check_sum = 0;              // sum of the six MAC bytes
    char new_file_name[file_name_size] = {};  // merged image's file name
};

#endif
