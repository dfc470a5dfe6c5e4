#include "locate.h"

#include <climits>
#include <sys/stat.h>
#include <unistd.h>

#ifndef TIDEWANE_DATA_DIR
#define TIDEWANE_DATA_DIR "/usr/local/share/tidewane"
#endif

std::vector<std::string> archiveCandidates(const std::string& name,
                                           const std::vector<std::string>& folders) {
    std::vector<std::string> candidates = {name};
    for (const std::string& folder : folders)
        if (!folder.empty()) candidates.push_back(folder + "/" + name);
    return candidates;
}

std::string firstReadable(const std::vector<std::string>& candidates, const std::string& name) {
    for (const std::string& path : candidates) {
        struct stat st;
        if (stat(path.c_str(), &st) == 0 && S_ISREG(st.st_mode) && access(path.c_str(), R_OK) == 0)
            return path;
    }
    return name;
}

std::string executableFolder() {
    char path[PATH_MAX];
    const ssize_t n = readlink("/proc/self/exe", path, sizeof path - 1);
    if (n <= 0) return std::string();
    const std::string exe(path, size_t(n));
    const size_t slash = exe.rfind('/');
    return slash == std::string::npos ? std::string() : exe.substr(0, slash);
}

std::vector<std::string> dataFolders() {
    const std::string here = executableFolder();
    std::vector<std::string> folders;
    if (!here.empty()) {
        folders.push_back(here);
        folders.push_back(here + "/../share/tidewane");
    }
    folders.push_back(TIDEWANE_DATA_DIR);
    return folders;
}

std::string locateArchive(const std::string& name) {
    return firstReadable(archiveCandidates(name, dataFolders()), name);
}
