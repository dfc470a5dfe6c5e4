#pragma once
// File and process helpers for the tests.

#include <string>

// A fresh folder under /tmp, removed with everything in it on destruction.
class TempDir {
public:
    TempDir();
    ~TempDir();
    TempDir(const TempDir&) = delete;
    TempDir& operator=(const TempDir&) = delete;

    const std::string& path() const { return m_path; }
    // Absolute path of `name` inside the folder.
    std::string operator/(const std::string& name) const { return m_path + "/" + name; }

private:
    std::string m_path;
};

// Makes `path` the working directory until destruction.
class ScopedChdir {
public:
    explicit ScopedChdir(const std::string& path);
    ~ScopedChdir();
    ScopedChdir(const ScopedChdir&) = delete;
    ScopedChdir& operator=(const ScopedChdir&) = delete;

private:
    std::string m_previous;
};

std::string readFile(const std::string& path);
// Writes `bytes` to `path`, creating the folders on the way.
void writeFile(const std::string& path, const std::string& bytes);
// `n` bytes of noise, the same for the same seed.
std::string randomBytes(size_t n, unsigned seed);
bool fileExists(const std::string& path);

// Sets an environment variable until destruction, then restores it.
class ScopedEnv {
public:
    ScopedEnv(const char* name, const std::string& value);
    ~ScopedEnv();
    ScopedEnv(const ScopedEnv&) = delete;
    ScopedEnv& operator=(const ScopedEnv&) = delete;

private:
    std::string m_name, m_old;
    bool m_had = false;
};

struct CommandResult {
    int exitStatus = -1;   // the exit status, or 128 + signal
    std::string out;       // standard output
    std::string err;       // standard error
};

// Runs a shell command line, capturing its output streams.
CommandResult runCommand(const std::string& command);

// Path of a program built beside the tests (for example "velkpack").
std::string builtProgram(const std::string& name);
