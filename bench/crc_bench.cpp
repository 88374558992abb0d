// Throughput of the page checksum over a full-size download image: the
// shipped table-driven crc32 against the defining bitwise loop.
#include <cstdint>
#include <random>
#include <vector>

#include <benchmark/benchmark.h>

#include "../tests/crc_reference.h"
#include "page_checksum.h"

namespace {

std::vector<std::uint8_t> full_image() {
    std::vector<std::uint8_t> image(204800);
    std::mt19937 rng(7);
    for (auto& b : image) b = static_cast<std::uint8_t>(rng());
    return image;
}

void BM_crc32_shipped(benchmark::State& state) {
    const auto image = full_image();
    for (auto _ : state) {
        benchmark::DoNotOptimize(crc32(0, image.data(), image.size()));
    }
    state.SetBytesProcessed(static_cast<std::int64_t>(state.iterations() * image.size()));
}

void BM_crc32_bitwise(benchmark::State& state) {
    const auto image = full_image();
    for (auto _ : state) {
        benchmark::DoNotOptimize(crc32_bitwise(0, image.data(), image.size()));
    }
    state.SetBytesProcessed(static_cast<std::int64_t>(state.iterations() * image.size()));
}

}  // namespace

BENCHMARK(BM_crc32_shipped);
BENCHMARK(BM_crc32_bitwise);
BENCHMARK_MAIN();
