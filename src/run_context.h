// The values one run carries from stage to stage.
#ifndef TOLP_RUN_CONTEXT_H
#define TOLP_RUN_CONTEXT_H

#include <cstddef>
#include <cstdint>

// Capacity of the working copy of the download image: 800 pages.
inline constexpr std::size_t download_capacity = 204800;
inline constexpr std::size_t page_size = 256;
// Room for the merged image's name, terminating zero included.
inline constexpr std::size_t file_name_size = 40;

struct RunContext {
    const char* p = nullptr;                  // MAC text, exactly as typed
    const char* p_times = nullptr;            // programming-count text, as typed
    std::uint32_t burn_times = 0;             // count limit, stored bit for bit
    std::uint8_t mac_buf[6] = {};             // MAC bytes in written order
    std::uint8_t buf[download_capacity];      // working copy of the download image
    std::uint32_t bin_size = 0;               // download image size in bytes
    std::uint32_t file_sumcheck = 0;          // page checksum of the download image
    std::uint32_t check_sum = 0;              // sum of the six MAC bytes
    char new_file_name[file_name_size] = {};  // merged image's file name
};

#endif
