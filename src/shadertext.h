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

// The same program as GLSL ES 3.00 (WebGL 2). The sources are desktop GLSL
// 1.10 without a #version line; the rewriting is mechanical and the rest of
// the text stays as it is, line for line:
//  - a header first: `#version 300 es`, `precision highp float;` and the
//    declarations that stand in for the fixed-function names the program
//    uses;
//  - texture2D becomes texture;
//  - gl_FragColor becomes the output tw_FragColor;
//  - gl_TexCoord[0] becomes tw_TexCoord0, an output of the vertex shader and
//    an input of the fragment shader;
//  - gl_Vertex and gl_MultiTexCoord0 become the vertex inputs tw_Vertex
//    (location 0) and tw_MultiTexCoord0 (location 1).
// A program that uses gl_Position, gl_Vertex or gl_MultiTexCoord0 is a
// vertex shader, any other a fragment shader. Comments are left alone.
// Another fixed-function name (gl_Color, gl_TexCoord[1], ...) or a #version
// line already there is an error naming the file and line. `lineOrigins`
// gains one entry a header line, "GLSL ES header:N".
ShaderText toGlslEs300(const ShaderText& program);
