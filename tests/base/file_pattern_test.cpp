#include <gtest/gtest.h>

#include "base/file_pattern.h"

TEST(FilePattern, MatchesAnyPatternOfTheListIgnoringCase) {
    const char* pattern = "*.asf;*.mp3;*.dvr-ms;*.qt";
    EXPECT_TRUE(file_pattern::Matches("song.mp3", pattern));
    EXPECT_TRUE(file_pattern::Matches("SONG.MP3", pattern));
    EXPECT_TRUE(file_pattern::Matches("show.dvr-ms", pattern));
    EXPECT_TRUE(file_pattern::Matches(".qt", pattern));
    EXPECT_FALSE(file_pattern::Matches("notes.txt", pattern));
    EXPECT_FALSE(file_pattern::Matches("song.mp3.txt", pattern));
    EXPECT_FALSE(file_pattern::Matches("song.mp", pattern));
    EXPECT_TRUE(file_pattern::Matches("a.b", "?.?"));
    EXPECT_FALSE(file_pattern::Matches("a.b", ""));
}
