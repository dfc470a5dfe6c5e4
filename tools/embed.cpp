// tidewane-embed: writes the C++ source that holds the GLSL programs as
// string constants of the namespace Shaders, with their shared blocks in
// place (see readShaderText). Run by the build:
//
//     tidewane-embed [--es] OUTPUT.cpp SOURCE_DIR NAME=FILE...
//
// Each NAME=FILE makes Shaders::NAME from SOURCE_DIR/FILE. With --es the
// constants hold the GLSL ES 3.00 text made from the same files (see
// toGlslEs300), for WebGL 2; without it, the files' text as it is.

#include "scenes.h"
#include "shadertext.h"

#include <set>

#include <cstdio>
#include <cstring>
#include <fstream>
#include <string>

int main(int argc, char** argv) {
    const char* usage = "usage: tidewane-embed [--es] OUTPUT.cpp SOURCE_DIR NAME=FILE...\n";
    if (argc == 2 && (std::strcmp(argv[1], "--help") == 0 || std::strcmp(argv[1], "-h") == 0)) {
        std::printf("%s"
                    "Writes OUTPUT.cpp, which defines Shaders::NAME as the text of SOURCE_DIR/FILE\n"
                    "with its #include lines resolved; with --es, as GLSL ES 3.00 made from it.\n",
                    usage);
        return 0;
    }
    const bool es = argc > 1 && std::strcmp(argv[1], "--es") == 0;
    if (es) {
        --argc;
        ++argv;
    }
    if (argc < 4 || argv[1][0] == '-') {
        std::fprintf(stderr, "%s", usage);
        return 2;
    }
    std::string out = "// Generated from the GLSL sources at build time; edits here are lost.\n"
                      "#include \"shaders.h\"\n\nnamespace Shaders {\n";
    // The build's list of files must be the scene table's: every program and
    // the vertex shader, each under its name in the table.
    std::set<std::string> listed, expected = {std::string(kVertexShader.symbol) + "=" + kVertexShader.file};
    for (const ProgramInfo& p : kPrograms) expected.insert(std::string(p.symbol) + "=" + p.file);
    for (int i = 3; i < argc; ++i) listed.insert(argv[i]);
    if (listed != expected) {
        std::fprintf(stderr, "tidewane-embed: the GLSL files listed differ from the scene table "
                             "(src/scenes.cpp); list every program as NAME=FILE from it\n");
        return 2;
    }
    for (int i = 3; i < argc; ++i) {
        const std::string pair = argv[i];
        const size_t eq = pair.find('=');
        if (eq == std::string::npos || eq == 0) {
            std::fprintf(stderr, "tidewane-embed: '%s' is not NAME=FILE\n", argv[i]);
            return 2;
        }
        ShaderText program = readShaderText(std::string(argv[2]) + "/" + pair.substr(eq + 1));
        if (es) program = toGlslEs300(program);
        if (!program.ok) {
            std::fprintf(stderr, "tidewane-embed: %s\n", program.error.c_str());
            return 1;
        }
        // One C string literal per source line, newlines kept.
        std::string literal;
        for (char c : program.text) {
            if (c == '\\' || c == '"') literal += '\\';
            if (c == '\n')
                literal += "\\n\"\n    \"";
            else
                literal += c;
        }
        out += "\nconst char* const " + pair.substr(0, eq) + " =\n    \"" + literal + "\";\n";
    }
    out += "\n} // namespace Shaders\n";
    const std::string target = argv[1];
    const std::string partial = target + ".part";
    {
        std::ofstream file(partial, std::ios::binary);
        file << out;
        if (!file.flush()) {
            std::fprintf(stderr, "tidewane-embed: cannot write %s\n", partial.c_str());
            return 1;
        }
    }
    if (std::rename(partial.c_str(), target.c_str()) != 0) {
        std::fprintf(stderr, "tidewane-embed: cannot write %s\n", target.c_str());
        return 1;
    }
    return 0;
}
