#include "shadertext.h"

#include <algorithm>
#include <cctype>
#include <fstream>
#include <sstream>

namespace {

// Blocks nest at most this deep, which also stops an include cycle early.
const int kMaxDepth = 16;

bool readWhole(const std::string& path, std::string& text) {
    std::ifstream in(path, std::ios::binary);
    if (!in) return false;
    std::ostringstream out;
    out << in.rdbuf();
    text = out.str();
    return !in.bad();
}

std::string folderOf(const std::string& path) {
    const size_t slash = path.rfind('/');
    return slash == std::string::npos ? std::string() : path.substr(0, slash + 1);
}

// The file named by an include line, or empty when `line` is not one.
// `malformed` is set for a line that starts like an include but is not a
// well-formed one.
std::string includedName(const std::string& line, bool& malformed) {
    malformed = false;
    size_t i = line.find_first_not_of(" \t");
    if (i == std::string::npos || line.compare(i, 8, "#include") != 0) return std::string();
    i = line.find_first_not_of(" \t", i + 8);
    const size_t close = i == std::string::npos ? i : line.find('"', i + 1);
    std::string end = close == std::string::npos ? "x" : line.substr(close + 1);
    end.erase(std::remove(end.begin(), end.end(), '\r'), end.end());
    if (i == std::string::npos || line[i] != '"' || close == std::string::npos || close == i + 1 ||
        end.find_first_not_of(" \t") != std::string::npos) {
        malformed = true;
        return std::string();
    }
    return line.substr(i + 1, close - i - 1);
}

bool expand(const std::string& path, int depth, std::vector<std::string>& chain,
            ShaderText& result, const std::string& from) {
    std::string source;
    if (!readWhole(path, source)) {
        result.error = (from.empty() ? path : from) + ": cannot read " + path;
        return false;
    }
    result.files.push_back(path);
    chain.push_back(path);
    size_t start = 0;
    int lineNumber = 0;
    while (start < source.size()) {
        size_t end = source.find('\n', start);
        const size_t next = end == std::string::npos ? source.size() : end + 1;
        const std::string line = source.substr(start, (end == std::string::npos ? source.size() : end) - start);
        ++lineNumber;
        const std::string where = path + ":" + std::to_string(lineNumber);
        bool malformed = false;
        const std::string name = includedName(line, malformed);
        if (malformed) {
            result.error = where + ": an include is written #include \"FILE\" alone on its line";
            return false;
        }
        if (name.empty()) {
            result.text.append(source, start, next - start);
            result.lineOrigins.push_back(where);
        } else {
            const std::string block = folderOf(path) + name;
            if (std::find(chain.begin(), chain.end(), block) != chain.end() || depth >= kMaxDepth) {
                result.error = where + ": " + name + " includes itself";
                return false;
            }
            if (!expand(block, depth + 1, chain, result, where)) return false;
        }
        start = next;
    }
    chain.pop_back();
    return true;
}

bool identifierStart(char c) { return std::isalpha(static_cast<unsigned char>(c)) || c == '_'; }
bool identifierChar(char c) { return std::isalnum(static_cast<unsigned char>(c)) || c == '_'; }

// gl_ names that GLSL ES 3.00 has too, which stay as they are.
bool esBuiltIn(const std::string& name) {
    static const char* const names[] = {"gl_Position",  "gl_PointSize",   "gl_VertexID",   "gl_InstanceID",
                                        "gl_FragCoord", "gl_FrontFacing", "gl_PointCoord", "gl_FragDepth",
                                        "gl_DepthRange"};
    for (const char* n : names)
        if (name == n) return true;
    return name.compare(0, 6, "gl_Max") == 0 || name.compare(0, 6, "gl_Min") == 0;
}

} // namespace

ShaderText toGlslEs300(const ShaderText& program) {
    if (!program.ok) return program;
    ShaderText result;
    result.files = program.files;
    const std::string& in = program.text;
    const size_t n = in.size();
    size_t line = 0; // of `in`, from 0
    auto fail = [&](const std::string& what) {
        const std::string where = line < program.lineOrigins.size() ? program.lineOrigins[line]
                                                                    : "line " + std::to_string(line + 1);
        result.error = where + ": " + what;
        return result;
    };

    bool position = false, vertexIn = false, texCoordIn = false, texCoord = false, fragColor = false;
    std::string body;
    body.reserve(n);
    size_t i = 0;
    while (i < n) {
        const char c = in[i];
        const char next = i + 1 < n ? in[i + 1] : '\0';
        if (c == '/' && (next == '/' || next == '*')) {
            size_t end = next == '/' ? in.find('\n', i) : in.find("*/", i + 2);
            end = end == std::string::npos ? n : (next == '/' ? end : end + 2);
            line += size_t(std::count(in.begin() + long(i), in.begin() + long(end), '\n'));
            body.append(in, i, end - i);
            i = end;
        } else if (std::isdigit(static_cast<unsigned char>(c)) ||
                   (c == '.' && std::isdigit(static_cast<unsigned char>(next)))) {
            // A number, suffixes and exponents included: no name starts in it.
            const size_t start = i;
            while (i < n && (identifierChar(in[i]) || in[i] == '.')) ++i;
            body.append(in, start, i - start);
        } else if (c == '#') {
            size_t j = in.find_first_not_of(" \t", i + 1);
            if (j != std::string::npos && in.compare(j, 7, "version") == 0 &&
                (j + 7 == n || !identifierChar(in[j + 7])))
                return fail("already has a #version line");
            body += c;
            ++i;
        } else if (identifierStart(c)) {
            const size_t start = i;
            while (i < n && identifierChar(in[i])) ++i;
            const std::string name = in.substr(start, i - start);
            if (name == "texture2D") {
                body += "texture";
            } else if (name == "gl_FragColor") {
                fragColor = true;
                body += "tw_FragColor";
            } else if (name == "gl_Vertex") {
                vertexIn = true;
                body += "tw_Vertex";
            } else if (name == "gl_MultiTexCoord0") {
                texCoordIn = true;
                body += "tw_MultiTexCoord0";
            } else if (name == "gl_TexCoord") {
                // Only set 0, written gl_TexCoord[0] (blanks allowed).
                size_t j = in.find_first_not_of(" \t", i);
                bool ok = j != std::string::npos && in[j] == '[';
                if (ok) j = in.find_first_not_of(" \t", j + 1);
                ok = ok && j != std::string::npos && in[j] == '0' && j + 1 < n && !identifierChar(in[j + 1]);
                if (ok) j = in.find_first_not_of(" \t", j + 1);
                if (!ok || j == std::string::npos || in[j] != ']')
                    return fail("only gl_TexCoord[0] of the texture coordinate sets has a GLSL ES 3.00 form");
                texCoord = true;
                body += "tw_TexCoord0";
                i = j + 1;
            } else {
                if (name == "gl_Position") position = true;
                if (name.compare(0, 3, "gl_") == 0 && !esBuiltIn(name))
                    return fail(name + " has no GLSL ES 3.00 form");
                body += name;
            }
        } else {
            if (c == '\n') ++line;
            body += c;
            ++i;
        }
    }

    const bool vertex = position || vertexIn || texCoordIn;
    if (vertex && fragColor) {
        line = 0;
        return fail("uses vertex shader names and gl_FragColor together");
    }
    std::vector<std::string> header = {"#version 300 es", "precision highp float;"};
    if (vertex) {
        if (vertexIn) header.push_back("layout(location = 0) in vec4 tw_Vertex;");
        if (texCoordIn) header.push_back("layout(location = 1) in vec4 tw_MultiTexCoord0;");
        if (texCoord) header.push_back("out vec4 tw_TexCoord0;");
    } else {
        if (texCoord) header.push_back("in vec4 tw_TexCoord0;");
        if (fragColor) header.push_back("out vec4 tw_FragColor;");
    }
    for (size_t k = 0; k < header.size(); ++k) {
        result.text += header[k] + "\n";
        result.lineOrigins.push_back("GLSL ES header:" + std::to_string(k + 1));
    }
    result.text += body;
    result.lineOrigins.insert(result.lineOrigins.end(), program.lineOrigins.begin(), program.lineOrigins.end());
    result.ok = true;
    return result;
}

ShaderText readShaderText(const std::string& path) {
    ShaderText result;
    std::vector<std::string> chain;
    result.ok = expand(path, 0, chain, result, std::string());
    if (!result.ok) {
        result.text.clear();
        result.lineOrigins.clear();
    }
    return result;
}
