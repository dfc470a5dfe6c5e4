#pragma once
// Runs code that is expected to stop the process, in a child process, and
// reports what it wrote on standard output and how it ended. The fatal
// assertion writes to standard output, which gtest's death tests do not see.

#include <functional>
#include <string>

struct DeathResult {
    bool aborted = false;  // ended by SIGABRT
    int exitStatus = -1;   // exit status when it exited normally
    std::string out;       // everything written on standard output
};

DeathResult runInChild(const std::function<void()>& body);

// The three lines that the fatal assertion prints.
std::string assertionBlock(const std::string& condition, const std::string& file, int line,
                           const std::string& message);

// Line number (from 1) of the first line of the source file `path` (relative
// to the source tree) that contains `text`; 0 when none does.
int sourceLineOf(const std::string& path, const std::string& text);
