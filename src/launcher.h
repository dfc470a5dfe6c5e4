#pragma once
// The launcher's record and the launcher itself: the user picks a display
// resolution and window or full screen before anything else happens.
//
// The rules of the launcher (which sizes are listed, which one is selected
// first, what confirming writes) live in `LauncherState`, which knows no
// toolkit and no windowing library; the dialog that shows it, and runLauncher
// which puts the two together, are in dialog.h.

#include <cstddef>
#include <cstdint>
#include <string>
#include <vector>

struct LaunchSettings {
    int32_t width;
    int32_t height;
    int32_t bitsPerPixel;
    int32_t windowed;
    int32_t optionA;
    int32_t optionB;
    int32_t windowedOption;
    void* instance;
};

// The record as the entry point fills it before the launcher sees it.
LaunchSettings defaultLaunchSettings();


// One display mode as the display reports it.
struct DisplayMode {
    int32_t width;
    int32_t height;
    int32_t bitsPerPixel;
};

// Colour depth of a mode with the given bits per channel: 8 bits in each of
// red, green and blue is reported as 32 bits per pixel (the padding byte
// counts), any other mode as the sum of its channel bits.
int32_t bitsPerPixelOf(int redBits, int greenBits, int blueBits);


struct ScreenSize {
    int32_t width;
    int32_t height;
};

// What the launcher dialog shows and what the user has chosen in it so far.
class LauncherState {
public:
    // Most sizes the list offers; further modes are not listed.
    static constexpr size_t kMaxSizes = 4096;

    // Lists the sizes of `modes` that have the record's colour depth, in the
    // given order, skipping a mode whose size equals the last listed one;
    // selects the last listed size equal to the record's (none when no size
    // matches); the full-screen box starts checked exactly when the record
    // is not windowed.
    LauncherState(const LaunchSettings& settings, const std::vector<DisplayMode>& modes);

    const std::vector<ScreenSize>& sizes() const { return m_sizes; }
    // Text of list item `index`, for example "1024 * 768".
    std::string itemText(size_t index) const;

    // Index of the selected item, -1 when none is selected.
    int selected() const { return m_selected; }
    // Selects item `index`; -1, or an index outside the list, selects none.
    void select(int index);

    bool fullscreen() const { return m_fullscreen; }
    void setFullscreen(bool fullscreen) { m_fullscreen = fullscreen; }

    // Writes the user's choice into `settings`: the selected size (width and
    // height stay as they are when no item is selected), `windowed` 1 for a
    // clear full-screen box and 0 for a checked one, and the three option
    // flags, which have no controls, 0. A cancel writes nothing.
    void confirm(LaunchSettings* settings) const;

private:
    std::vector<ScreenSize> m_sizes;
    int m_selected;
    bool m_fullscreen;
};
