#pragma once
// The production's pictures, drawn with cairo and pango: the preload card,
// the walking figure, the "presents" card, the logo, the lyrics, the credits
// and the water texture.

#include <string>

namespace Images {

// The lyric lines, one per image "lyrics/01.png" to "lyrics/17.png".
extern const char* const kLyrics[17];

// Draws every image into `dir` under its archive name ("queltwalk/01.png"
// and so on; the sub-folders must exist). Returns false with the reason in
// `error` when a file cannot be written.
bool writeAll(const std::string& dir, std::string& error);

// The program's icon, `size` pixels square, as a PNG file at `path`.
bool writeIcon(const std::string& path, int size, std::string& error);

} // namespace Images
