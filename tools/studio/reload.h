#pragma once
// The show's programs built from a folder of GLSL sources instead of the
// embedded ones, and built again when a source changes on disk. A program
// that fails to compile or link keeps the last good one; its error, with the
// file and line it points at, is kept until the file is fixed.

#include <map>
#include <string>
#include <sys/types.h>
#include <vector>

struct Programs;

class ShaderReloader {
public:
    // Reads every program from `folder` (the file names of src/shaders) and
    // builds the ones that work, replacing the programs in `programs`.
    ShaderReloader(const std::string& folder, Programs& programs);

    // Checks the files' modification times and rebuilds the programs whose
    // files changed. True when something was rebuilt or tried.
    bool poll();

    // One line a broken program, "FILE:LINE: message" (or "FILE: message"
    // when no line is known); empty when every program builds.
    std::string errors() const;
    // Milliseconds the last rebuild took (reading, compiling, linking).
    double lastRebuildMs() const { return m_lastMs; }

private:
    struct Source {
        const char* fragment; // file name in the folder
        std::vector<std::string> files;
        std::string error;
    };
    void rebuild(size_t index);
    bool changed(const std::string& path);

    std::string m_folder;
    Programs& m_programs;
    std::vector<Source> m_sources; // the five scenes, then the post pass
    std::map<std::string, std::pair<long long, off_t>> m_stamps; // mtime (ns), size
    double m_lastMs = 0;
};

// The first line number a compiler's log points at (Mesa's "0:12(5): ...",
// NVIDIA's "0(12) : ..."); 0 when it names none.
int logLine(const std::string& log);
