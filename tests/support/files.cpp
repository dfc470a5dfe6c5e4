#include "support/files.h"

#include <cstdio>
#include <cstdlib>
#include <fstream>
#include <random>
#include <sstream>
#include <stdexcept>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

TempDir::TempDir() {
    char pattern[] = "/tmp/tidewane-test-XXXXXX";
    if (!mkdtemp(pattern)) throw std::runtime_error("mkdtemp failed");
    m_path = pattern;
}

TempDir::~TempDir() {
    std::string command = "rm -rf '" + m_path + "'";
    if (std::system(command.c_str()) != 0) std::perror("rm");
}

ScopedChdir::ScopedChdir(const std::string& path) {
    char buffer[4096];
    if (!getcwd(buffer, sizeof(buffer))) throw std::runtime_error("getcwd failed");
    m_previous = buffer;
    if (chdir(path.c_str()) != 0) throw std::runtime_error("chdir failed: " + path);
}

ScopedChdir::~ScopedChdir() {
    if (chdir(m_previous.c_str()) != 0) std::perror("chdir");
}

std::string readFile(const std::string& path) {
    std::ifstream in(path, std::ios::binary);
    if (!in) throw std::runtime_error("cannot read " + path);
    std::ostringstream s;
    s << in.rdbuf();
    return s.str();
}

void writeFile(const std::string& path, const std::string& bytes) {
    for (size_t pos = path.find('/', 1); pos != std::string::npos; pos = path.find('/', pos + 1))
        mkdir(path.substr(0, pos).c_str(), 0777);
    std::ofstream out(path, std::ios::binary | std::ios::trunc);
    if (!out) throw std::runtime_error("cannot write " + path);
    out.write(bytes.data(), std::streamsize(bytes.size()));
}

std::string randomBytes(size_t n, unsigned seed) {
    std::mt19937 rng(seed);
    std::string s(n, '\0');
    for (char& c : s) c = char(rng() & 0xFF);
    return s;
}

bool fileExists(const std::string& path) {
    struct stat st;
    return stat(path.c_str(), &st) == 0;
}

CommandResult runCommand(const std::string& command) {
    TempDir capture;
    std::string full = "( " + command + " ) >'" + (capture / "out") + "' 2>'" +
                       (capture / "err") + "' </dev/null";
    int status = std::system(full.c_str());
    CommandResult result;
    if (WIFEXITED(status)) {
        result.exitStatus = WEXITSTATUS(status);
    } else if (WIFSIGNALED(status)) {
        result.exitStatus = 128 + WTERMSIG(status);
    }
    result.out = readFile(capture / "out");
    result.err = readFile(capture / "err");
    return result;
}

std::string builtProgram(const std::string& name) {
    return std::string(TIDEWANE_BINARY_DIR) + "/" + name;
}

ScopedEnv::ScopedEnv(const char* name, const std::string& value) : m_name(name) {
    const char* old = std::getenv(name);
    m_had = old != nullptr;
    if (old) m_old = old;
    setenv(name, value.c_str(), 1);
}

ScopedEnv::~ScopedEnv() {
    if (m_had) setenv(m_name.c_str(), m_old.c_str(), 1);
    else unsetenv(m_name.c_str());
}
