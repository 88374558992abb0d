// The merge stage: the offline image, the RAM boot image and the stamped
// download image in one image (merged_layout.h), written under its name.
#ifndef TOLP_MERGE_IMAGE_H
#define TOLP_MERGE_IMAGE_H

#include <cstdint>

// Builds the merged image from the offline and RAM boot images on disk and
// the run's own stamped download image (`download`, `bin_size` bytes: exactly
// what was written back), and writes it as `file_name`. Another run or a copy
// that replaces ./download.bin meanwhile cannot change it. Stops the process
// on an image too long for the merged image (-1), on lack of memory (-3) and
// on the file helpers' failures.
void merge_file(const char* file_name, const std::uint8_t* download, std::uint32_t bin_size);

#endif
