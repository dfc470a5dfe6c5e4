#include "shadertext.h"

#include <algorithm>
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

} // namespace

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
