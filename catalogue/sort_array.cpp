#include "catalogue/sort_array.h"

#include <algorithm>
#include <array>
#include <bit>
#include <cstddef>
#include <utility>

namespace {

struct Range {
    std::ptrdiff_t low, high;
    int depthLeft;  // partitions this range may still take before it is heap-sorted
};

// Moves the median of the first, middle and last element to list[high], so sorted, reversed
// and organ-pipe inputs split evenly.
template <typename Before>
void MedianOfThreeToEnd(std::vector<std::string>& list, std::ptrdiff_t low, std::ptrdiff_t high, Before before) {
    auto at = [&](std::ptrdiff_t k) -> std::string& { return list[static_cast<std::size_t>(k)]; };
    const std::ptrdiff_t mid = low + (high - low) / 2;
    if (before(at(mid), at(low))) std::swap(at(mid), at(low));
    if (before(at(high), at(low))) std::swap(at(high), at(low));
    if (before(at(mid), at(high))) std::swap(at(mid), at(high));  // list[high] is now the median
}

// Heap sort of list[low..high]: the fallback for a range whose partitions keep coming out
// uneven, so that no input, however it was built, makes the sort quadratic.
template <typename Before>
void HeapSort(std::vector<std::string>& list, std::ptrdiff_t low, std::ptrdiff_t high, Before before) {
    const auto first = list.begin() + low;
    const auto last = list.begin() + high + 1;
    std::make_heap(first, last, before);
    std::sort_heap(first, last, before);
}

// Partitions list[low..high] around list[high]; returns the pivot's final place.
template <typename Before>
std::ptrdiff_t Partition(std::vector<std::string>& list, std::ptrdiff_t low, std::ptrdiff_t high, Before before) {
    const std::string& pivot = list[static_cast<std::size_t>(high)];
    std::ptrdiff_t i = low;
    std::ptrdiff_t j = high - 1;
    auto at = [&](std::ptrdiff_t k) -> std::string& { return list[static_cast<std::size_t>(k)]; };
    for (;;) {
        while (i < high && before(at(i), pivot)) ++i;  // stops at an element not before the pivot
        while (j > low && before(pivot, at(j))) --j;   // stops at an element not after it
        if (i >= j) break;
        std::swap(at(i), at(j));
        ++i;
        --j;
    }
    if (i != high) std::swap(at(i), at(high));
    return i;
}

template <typename Before>
void QuickSort(std::vector<std::string>& list, std::ptrdiff_t low, std::ptrdiff_t high, Before before) {
    std::array<Range, 32> stack{};
    std::size_t pending = 0;
    // Twice log2(n) partitions along any path, as introsort allows, then heap sort.
    int depthLeft = 2 * static_cast<int>(std::bit_width(static_cast<std::size_t>(high - low + 1)));
    for (;;) {
        while (low < high) {
            if (depthLeft-- <= 0) {
                HeapSort(list, low, high, before);
                break;
            }
            if (high - low >= 2) MedianOfThreeToEnd(list, low, high, before);
            const std::ptrdiff_t p = Partition(list, low, high, before);
            Range left{low, p - 1, depthLeft};
            Range right{p + 1, high, depthLeft};
            // Go on with the smaller part and keep the larger one for later: at most
            // log2(n) ranges are ever pending.
            if (left.high - left.low > right.high - right.low) std::swap(left, right);
            if (right.low < right.high) stack[pending++] = right;
            low = left.low;
            high = left.high;
        }
        if (pending == 0) return;
        const Range next = stack[--pending];
        low = next.low;
        high = next.high;
        depthLeft = next.depthLeft;
    }
}

}  // namespace

void SortArray(std::vector<std::string>& list, std::optional<int> upperIndex, bool descending) {
    if (list.empty()) return;
    std::ptrdiff_t high = static_cast<std::ptrdiff_t>(list.size()) - 1;
    if (upperIndex && *upperIndex < high) high = *upperIndex;
    if (high <= 0) return;
    if (descending)
        QuickSort(list, 0, high, [](const std::string& a, const std::string& b) { return b < a; });
    else
        QuickSort(list, 0, high, [](const std::string& a, const std::string& b) { return a < b; });
}
