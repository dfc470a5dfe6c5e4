#pragma once
// GLSL sources put together from shared blocks. A line that holds only
// `#include "FILE"` (blanks before it allowed) stands for the whole text of
// FILE, looked up in the folder of the file that names it; a block may
// include others. The build embeds the programs through this, and tools that
// read the sources at run time use the same function, so both see the same
// text.

#include <string>
#include <vector>

struct ShaderText {
    bool ok = false;
    std::string text;               // the program with every block in place
    std::string error;              // "FILE:LINE: what", when not ok
    std::vector<std::string> files; // every file read, the program first
    // Where each line of `text` comes from, as "FILE:LINE", line 1 first:
    // a compiler's line number maps back to the file that holds it.
    std::vector<std::string> lineOrigins;
};

ShaderText readShaderText(const std::string& path);
