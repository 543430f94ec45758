#include "util/Random.h"

#include <chrono>
#include <numeric>

namespace kvalor {

namespace {

std::mt19937* installed = nullptr;

std::mt19937& processGenerator() {
    static std::mt19937 generator = [] {
        std::random_device device;
        const auto clock = static_cast<std::uint32_t>(
            std::chrono::high_resolution_clock::now().time_since_epoch().count());
        std::seed_seq seed{device(), device(), clock};
        return std::mt19937(seed);
    }();
    return generator;
}

}  // namespace

std::mt19937& randomGenerator() {
    return installed ? *installed : processGenerator();
}

void setRandomGenerator(std::mt19937* generator) {
    installed = generator;
}

int randomBelow(int bound) {
    std::uniform_int_distribution<int> dist(0, bound - 1);
    return dist(randomGenerator());
}

std::vector<int> RandomSelection(int n, int k) {
    if (n <= 0) {
        return {};
    }
    const int count = (k < 0 || k > n) ? n : k;
    // A partial Fisher-Yates shuffle yields the same distribution as drawing again while
    // an index is taken, without the unbounded retries.
    std::vector<int> pool(static_cast<std::size_t>(n));
    std::iota(pool.begin(), pool.end(), 0);
    for (int i = 0; i < count; ++i) {
        const int j = i + randomBelow(n - i);
        std::swap(pool[static_cast<std::size_t>(i)], pool[static_cast<std::size_t>(j)]);
    }
    pool.resize(static_cast<std::size_t>(count));
    return pool;
}

}  // namespace kvalor
