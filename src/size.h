#pragma once
// Picture sizes on command lines, "WIDTHxHEIGHT", read the same way by the
// show and every tool.

#include <string>

// Largest width or height accepted; a driver may allow less.
constexpr int kMaxSide = 16384;

// "1280x720": two whole decimal numbers from 1 to kMaxSide joined by a
// lower-case x, with no sign, space or anything after. False otherwise.
bool parseSize(const std::string& text, int& width, int& height);

// The one-line complaint about a bad size given to `option`.
std::string sizeError(const std::string& option, const std::string& text);
