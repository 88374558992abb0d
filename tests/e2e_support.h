// Expected console transcripts, composed from the tool's texts (whose bytes
// are checked on their own) the way the tool prints them.
#ifndef TOLP_E2E_SUPPORT_H
#define TOLP_E2E_SUPPORT_H

#include <cstdint>
#include <map>
#include <string>
#include <vector>

#include "console_texts.h"
#include "formatted.h"
#include "test_support.h"

// The count line and the three echo lines of a call with `args`; in the
// texts' UTF-8 twins, as a terminal that reads UTF-8 gets them.
Bytes echo_transcript(const std::vector<std::string>& args, bool utf8 = false);

// The three input images of a run.
struct Images {
    Bytes offline;
    Bytes ramboot;
    Bytes download;
};
void put_images(const TempDir& dir, const Images& images);

// The usual call, and what it decodes to.
inline const std::vector<std::string> usual_args = {"11-22-33-44-55-66", "500"};
inline constexpr std::uint8_t usual_mac[6] = {0x11, 0x22, 0x33, 0x44, 0x55, 0x66};
// Its first byte is odd: every run that gets past the argument checks warns
// of a multicast base on standard error first.
extern const Bytes usual_warning;

// What the tool must print, stage by stage, computed from the definitions
// (the checksum from the bitwise reference loop).
Bytes arguments_transcript(const std::string& mac, int count, const Bytes& decoded_line);
Bytes loading_transcript(const Bytes& download);
Bytes stamping_transcript(std::size_t download_size);
// A whole successful run with the MAC text and count given.
Bytes run_transcript(const std::string& mac, int count, const Bytes& decoded_line,
                     const Bytes& download);
Bytes usual_run_transcript(const Bytes& download);  // the whole run with usual_args

// What the tool must leave on disk.
std::uint32_t reference_checksum(const Bytes& download);
Bytes stamped(const Bytes& download, const std::uint8_t mac[6], std::uint32_t count);
Bytes merged(const Bytes& offline, const Bytes& ramboot, const Bytes& stamped_download);
std::string merged_name(const std::string& mac, std::uint32_t checksum, int count);
// The folder after a successful run with usual_args.
std::map<std::string, Bytes> usual_result(const Images& images);

#endif
