#include <gtest/gtest.h>

#include <algorithm>
#include <cstdio>
#include <random>
#include <string>
#include <vector>

#include "catalogue/sort_array.h"

TEST(SortArray, AscendingByCharacterCodesUpperCaseFirst) {
    std::vector<std::string> v{"beta", "Alpha", "alpha", "Beta", "", "Zulu"};
    SortArray(v);
    EXPECT_EQ(v, (std::vector<std::string>{"", "Alpha", "Beta", "Zulu", "alpha", "beta"}));
}

TEST(SortArray, BytesAbove127SortAfterAscii) {
    std::vector<std::string> v{"\xC9mile", "Zed", "Emile"};
    SortArray(v);
    EXPECT_EQ(v, (std::vector<std::string>{"Emile", "Zed", "\xC9mile"}));
}

TEST(SortArray, Descending) {
    std::vector<std::string> v{"b", "c", "a"};
    SortArray(v, std::nullopt, true);
    EXPECT_EQ(v, (std::vector<std::string>{"c", "b", "a"}));
}

TEST(SortArray, UpperIndexLimitsTheRange) {
    std::vector<std::string> v{"d", "c", "b", "a"};
    SortArray(v, 1);
    EXPECT_EQ(v, (std::vector<std::string>{"c", "d", "b", "a"}));
    SortArray(v, 99);  // past the end: the whole list
    EXPECT_EQ(v, (std::vector<std::string>{"a", "b", "c", "d"}));
}

TEST(SortArray, EmptyAndSingleLists) {
    std::vector<std::string> empty;
    SortArray(empty);
    EXPECT_TRUE(empty.empty());
    std::vector<std::string> one{"x"};
    SortArray(one);
    EXPECT_EQ(one, std::vector<std::string>{"x"});
}

TEST(SortArray, MatchesStdSortOnLargeInputsWithDuplicatesAndSortedRuns) {
    std::mt19937 rng(42);
    for (int round = 0; round < 20; ++round) {
        std::vector<std::string> v;
        const int n = 1 + static_cast<int>(rng() % 5000);
        for (int i = 0; i < n; ++i) v.push_back(std::to_string(rng() % 50));  // many equal texts
        if (round % 4 == 1) std::sort(v.begin(), v.end());                    // already sorted
        if (round % 4 == 2) std::sort(v.rbegin(), v.rend());                  // reversed
        if (round % 4 == 3) std::fill(v.begin(), v.end(), "same");            // all equal
        std::vector<std::string> expected = v;
        std::sort(expected.begin(), expected.end());
        SortArray(v);
        ASSERT_EQ(v, expected) << "round " << round;
        std::reverse(expected.begin(), expected.end());
        SortArray(v, std::nullopt, true);
        ASSERT_EQ(v, expected) << "round " << round << " descending";
    }
}

// Orders that drive a last-element pivot quadratic. At this size a quadratic sort takes hours
// (past the test's time limit); an n log n one a fraction of a second.
TEST(SortArray, OrdersThatDefeatASimplePivotStaySortable) {
    const int n = 200000;
    auto text = [](int i) {
        char buffer[16];
        std::snprintf(buffer, sizeof buffer, "%08d", i);
        return std::string(buffer);
    };
    std::vector<std::vector<std::string>> inputs(4);
    for (int i = 0; i < n; ++i) {
        inputs[0].push_back(text(i));                      // sorted
        inputs[1].push_back(text(n - i));                  // reversed
        inputs[2].push_back(text(i < n / 2 ? i : n - i));  // organ pipe
        inputs[3].push_back(text(i % 2 ? i : n + i));      // interleaved runs
    }
    for (std::size_t k = 0; k < inputs.size(); ++k) {
        std::vector<std::string> expected = inputs[k];
        std::sort(expected.begin(), expected.end());
        SortArray(inputs[k]);
        ASSERT_EQ(inputs[k], expected) << "input " << k;
    }
}
