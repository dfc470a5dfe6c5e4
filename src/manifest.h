#pragma once
// The asset manifest: every archive entry the show reads, in the order it
// loads them, the order the archive packs them, and how the images fall into
// batches. The loader, the asset generator, the capture tool's archive
// check, the benchmarks and the tests read it from here.

#include <string>
#include <vector>

namespace Manifest {

extern const char* const kMusic;   // "music.mp3", read first, before any image
extern const char* const kPreload; // "preload.png", shown while the intro's images load
extern const char* const kBlue;    // "blue.png", loaded on its own after the frame buffer

// The first batch, the intro's images: the walking figure, then the "us"
// sequence, then the logo sequence.
constexpr int kWalkImages = 8; // "queltwalk/01.png" to "08.png"
constexpr int kUsImages = 7;   // "us/01.png" to "07.png"
constexpr int kLogoImages = 7; // "logo/01.png" to "07.png"
std::vector<std::string> introImages();

// The second batch, loaded behind the intro's last frame: the lyrics, then
// the credit.
constexpr int kLyricImages = 18; // "lyrics/00.png" to "17.png"
extern const char* const kCredit; // "credit.png"
std::vector<std::string> timelineImages();

// Every entry in load order: the music, the preload picture, the first
// batch, the second batch, "blue.png".
std::vector<std::string> loadOrder();

// Every entry in the order the archive packs them, the order in which the
// show first draws or plays them: the preload picture, the first batch, the
// second batch, "blue.png", the music last. A reader that has the archive
// only in part (the browser's page as it streams in) can show the pictures
// before the largest entry arrives.
std::vector<std::string> packOrder();

} // namespace Manifest
