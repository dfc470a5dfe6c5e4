#include "size.h"

#include <cctype>
#include <cstdlib>

namespace {

bool parseSide(const std::string& text, int& value) {
    if (text.empty() || text.size() > 5) return false;
    for (char c : text)
        if (!std::isdigit(static_cast<unsigned char>(c))) return false;
    const long v = std::strtol(text.c_str(), nullptr, 10);
    if (v < 1 || v > kMaxSide) return false;
    value = int(v);
    return true;
}

} // namespace

bool parseSize(const std::string& text, int& width, int& height) {
    const size_t x = text.find('x');
    int w = 0, h = 0;
    if (x == std::string::npos || !parseSide(text.substr(0, x), w) ||
        !parseSide(text.substr(x + 1), h))
        return false;
    width = w;
    height = h;
    return true;
}

std::string sizeError(const std::string& option, const std::string& text) {
    return option + " wants WIDTHxHEIGHT, each 1 to " + std::to_string(kMaxSide) + " (got '" +
           text + "')";
}
