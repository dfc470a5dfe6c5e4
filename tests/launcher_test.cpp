// The launcher's rules on lists of display modes, without any window.

#include "dialog.h"
#include "launcher.h"
#include "support/death.h"

#include <gtest/gtest.h>

#include <cstdlib>
#include <iostream>
#include <unistd.h>

namespace {

DisplayMode mode(int width, int height, int bitsPerPixel = 32) {
    return {width, height, bitsPerPixel};
}

std::vector<std::string> itemsOf(const LauncherState& state) {
    std::vector<std::string> items;
    for (size_t i = 0; i < state.sizes().size(); ++i) items.push_back(state.itemText(i));
    return items;
}

LaunchSettings withSize(int width, int height) {
    LaunchSettings s = defaultLaunchSettings();
    s.width = width;
    s.height = height;
    return s;
}

using Items = std::vector<std::string>;

} // namespace

TEST(LauncherList, SkipsOnlyASizeRepeatedRightAfterItself) {
    const LaunchSettings s = defaultLaunchSettings();
    // Two refresh rates of one size give one item.
    EXPECT_EQ(itemsOf(LauncherState(s, {mode(1024, 768), mode(1024, 768)})), Items{"1024 * 768"});
    // A size that comes back after another is listed again, in the order given.
    EXPECT_EQ(itemsOf(LauncherState(s, {mode(800, 600), mode(1024, 768), mode(800, 600)})),
              (Items{"800 * 600", "1024 * 768", "800 * 600"}));
    // Same width or same height alone is a different size.
    EXPECT_EQ(itemsOf(LauncherState(s, {mode(800, 600), mode(800, 480), mode(640, 480)})),
              (Items{"800 * 600", "800 * 480", "640 * 480"}));
    EXPECT_TRUE(LauncherState(s, {}).sizes().empty());
}

TEST(LauncherList, ListsOnlyModesOfTheWantedDepth) {
    LaunchSettings s = defaultLaunchSettings();
    const std::vector<DisplayMode> modes = {mode(640, 480, 16), mode(800, 600, 32),
                                            mode(800, 600, 16), mode(800, 600, 32),
                                            mode(1024, 768, 24), mode(1280, 1024, 32)};
    // The 16-bit mode between two 32-bit ones of one size is skipped before
    // the comparison, so that size is listed once.
    EXPECT_EQ(itemsOf(LauncherState(s, modes)), (Items{"800 * 600", "1280 * 1024"}));
    s.bitsPerPixel = 16;
    EXPECT_EQ(itemsOf(LauncherState(s, modes)), (Items{"640 * 480", "800 * 600"}));
    s.bitsPerPixel = 8;
    EXPECT_TRUE(LauncherState(s, modes).sizes().empty());

    // Depth of a mode from its channels: 8 bits each counts as 32 bits per
    // pixel, anything else as the sum.
    EXPECT_EQ(bitsPerPixelOf(8, 8, 8), 32);
    EXPECT_EQ(bitsPerPixelOf(5, 6, 5), 16);
    EXPECT_EQ(bitsPerPixelOf(10, 10, 10), 30);
    EXPECT_EQ(bitsPerPixelOf(8, 8, 0), 16);
}

TEST(LauncherList, HoldsAtMost4096SizesTheFirstOnes) {
    // Each size twice and a 16-bit mode between sizes: only listed entries
    // count towards the limit.
    std::vector<DisplayMode> modes;
    for (int i = 0; i < 5000; ++i) {
        modes.push_back(mode(100 + i, 100));
        modes.push_back(mode(100 + i, 100));
        modes.push_back(mode(1, 1, 16));
    }
    LauncherState state(withSize(100 + 4095, 100), modes);
    ASSERT_EQ(state.sizes().size(), LauncherState::kMaxSizes);
    ASSERT_EQ(LauncherState::kMaxSizes, 4096u);
    EXPECT_EQ(state.sizes().front().width, 100);
    EXPECT_EQ(state.sizes().back().width, 100 + 4095);
    EXPECT_EQ(state.selected(), 4095);
    // A size past the limit is not offered, so it cannot be preselected.
    EXPECT_EQ(LauncherState(withSize(100 + 4096, 100), modes).selected(), -1);
}

TEST(LauncherPreselection, PicksTheLastEntryOfTheRecordsSize) {
    const std::vector<DisplayMode> modes = {mode(800, 600), mode(1024, 768), mode(800, 600)};
    EXPECT_EQ(LauncherState(withSize(800, 600), modes).selected(), 2);
    EXPECT_EQ(LauncherState(withSize(1024, 768), modes).selected(), 1);
    EXPECT_EQ(LauncherState(withSize(768, 1024), modes).selected(), -1);
    // The defaults are preselected only when the display offers 640 by 400
    // at 32 bits per pixel.
    EXPECT_EQ(LauncherState(defaultLaunchSettings(), modes).selected(), -1);
    EXPECT_EQ(LauncherState(defaultLaunchSettings(), {mode(640, 400, 16)}).selected(), -1);
    EXPECT_EQ(LauncherState(defaultLaunchSettings(), {mode(800, 600), mode(640, 400)}).selected(),
              1);
}

TEST(LauncherPreselection, FullScreenBoxStartsCheckedOnlyForAZeroWindowedFlag) {
    LaunchSettings s = defaultLaunchSettings();
    EXPECT_FALSE(LauncherState(s, {}).fullscreen());
    s.windowed = 0;
    EXPECT_TRUE(LauncherState(s, {}).fullscreen());
    s.windowed = 7;
    EXPECT_FALSE(LauncherState(s, {}).fullscreen());
}

TEST(LauncherConfirm, WritesTheSelectedSizeTheBoxAndClearsTheOptions) {
    LaunchSettings s = withSize(800, 600);
    s.optionA = 1;
    s.optionB = 1;
    s.windowedOption = 1;
    LauncherState state(s, {mode(800, 600), mode(1024, 768), mode(1280, 1024)});
    state.select(1);
    state.setFullscreen(true);
    state.confirm(&s);
    EXPECT_EQ(s.width, 1024);
    EXPECT_EQ(s.height, 768);
    EXPECT_EQ(s.windowed, 0);
    EXPECT_EQ(s.optionA, 0);
    EXPECT_EQ(s.optionB, 0);
    EXPECT_EQ(s.windowedOption, 0);
    EXPECT_EQ(s.bitsPerPixel, 32);

    // Clearing the box again gives a window.
    state.setFullscreen(false);
    state.confirm(&s);
    EXPECT_EQ(s.windowed, 1);

    // The preselected entry is confirmed as it stands.
    LaunchSettings full = withSize(1280, 1024);
    full.windowed = 0;
    LauncherState(full, {mode(800, 600), mode(1280, 1024)}).confirm(&full);
    EXPECT_EQ(full.width, 1280);
    EXPECT_EQ(full.height, 1024);
    EXPECT_EQ(full.windowed, 0);
}

TEST(LauncherConfirm, WithoutASelectionTheSizeStaysAsItWas) {
    // The defaults match no listed size and nothing is picked.
    LaunchSettings s = defaultLaunchSettings();
    LauncherState(s, {mode(800, 600), mode(1024, 768)}).confirm(&s);
    EXPECT_EQ(s.width, 640);
    EXPECT_EQ(s.height, 400);
    EXPECT_EQ(s.windowed, 1);
    EXPECT_EQ(s.optionA, 0);

    // An empty list.
    LaunchSettings empty = withSize(320, 200);
    LauncherState(empty, {}).confirm(&empty);
    EXPECT_EQ(empty.width, 320);
    EXPECT_EQ(empty.height, 200);

    // A selection that is cleared again, or one outside the list, selects
    // nothing rather than an entry that does not exist.
    LaunchSettings picked = defaultLaunchSettings();
    LauncherState state(picked, {mode(800, 600)});
    state.select(0);
    state.select(-1);
    EXPECT_EQ(state.selected(), -1);
    state.select(1);
    EXPECT_EQ(state.selected(), -1);
    state.select(0);
    state.select(99);
    state.confirm(&picked);
    EXPECT_EQ(picked.width, 640);
    EXPECT_EQ(picked.height, 400);
}

TEST(LauncherNoDisplay, ReportsFailureAndLeavesTheRecordUntouched) {
    DeathResult r = runInChild([] {
        alarm(60);  // a dialog that did show would wait for a user
        unsetenv("DISPLAY");
        unsetenv("WAYLAND_DISPLAY");
        std::cout << primaryDisplayModes().size() << "\n";
        LaunchSettings s = withSize(123, 45);
        s.windowed = 0;
        s.optionB = 1;
        const int result = runLauncher(&s);
        std::cout << result << " " << s.width << " " << s.height << " " << s.bitsPerPixel << " "
                  << s.windowed << " " << s.optionA << " " << s.optionB << " "
                  << s.windowedOption << "\n";
    });
    EXPECT_EQ(r.exitStatus, 0);
    EXPECT_EQ(r.out, "0\n-1 123 45 32 0 1 1 0\n");
}
