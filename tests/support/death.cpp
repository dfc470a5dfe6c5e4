#include "support/death.h"

#include <csignal>
#include <cstdio>
#include <cstdlib>
#include <iostream>
#include <sys/wait.h>
#include <unistd.h>

DeathResult runInChild(const std::function<void()>& body) {
    std::cout.flush();
    std::fflush(nullptr);
    int fds[2];
    DeathResult result;
    if (pipe(fds) != 0) return result;
    pid_t pid = fork();
    if (pid == 0) {
        close(fds[0]);
        dup2(fds[1], STDOUT_FILENO);
        close(fds[1]);
        body();
        std::cout.flush();
        std::fflush(nullptr);
        _exit(0);
    }
    close(fds[1]);
    char buffer[4096];
    ssize_t n;
    while ((n = read(fds[0], buffer, sizeof(buffer))) > 0) result.out.append(buffer, size_t(n));
    close(fds[0]);
    int status = 0;
    waitpid(pid, &status, 0);
    result.aborted = WIFSIGNALED(status) && WTERMSIG(status) == SIGABRT;
    if (WIFEXITED(status)) result.exitStatus = WEXITSTATUS(status);
    return result;
}

std::string assertionBlock(const std::string& condition, const std::string& file, int line,
                           const std::string& message) {
    return "ASSERTION \"" + condition + "\" FAILED\n" + "   * at:      " + file + ":" +
           std::to_string(line) + "\n" + "   * message: " + message + "\n";
}

#include <fstream>

int sourceLineOf(const std::string& path, const std::string& text) {
    std::ifstream in(std::string(TIDEWANE_SOURCE_DIR) + "/" + path);
    std::string line;
    for (int n = 1; std::getline(in, line); ++n)
        if (line.find(text) != std::string::npos) return n;
    return 0;
}
