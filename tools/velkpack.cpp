// velkpack: writes, lists and unpacks Tidewane data archives.

#include "bx/archive.h"
#include "commandline.h"

#include <cerrno>
#include <cstdio>
#include <cstring>
#include <iostream>
#include <string>
#include <sys/stat.h>
#include <unistd.h>

// The build names the version; velkpack does not link the show's code, so it
// writes the two lines of versionText() itself from the shared licence line.
#ifndef TIDEWANE_VERSION
#define TIDEWANE_VERSION "unknown"
#endif

namespace {

const char* kUsage =
    "usage: velkpack pack LIST ARCHIVE     write ARCHIVE from the packing list LIST\n"
    "       velkpack list ARCHIVE          print each entry's name and size\n"
    "       velkpack extract ARCHIVE DIR   write every entry under DIR\n"
    "       velkpack --help                show this text\n"
    "       velkpack --version             show the version and the licence\n"
    "\n"
    "A packing list is a text file: the number of files on its first line, then\n"
    "one path a line. Each path is stored as the entry's name.\n";

int fail(const std::string& message) {
    std::cerr << "velkpack: " << message << std::endl;
    return 1;
}

// Reads every entry of an archive, reporting an unreadable or malformed one.
bool loadArchive(const char* path, Bx::ArchiveContents& contents) {
    FILE* f = fopen(path, "rb");
    struct stat st;
    if (!f || fstat(fileno(f), &st) != 0 || !S_ISREG(st.st_mode)) {
        if (f) fclose(f);
        fail(std::string("cannot open archive \"") + path + "\"");
        return false;
    }
    contents = Bx::readArchiveEntries(f, uint64_t(st.st_size));
    fclose(f);
    if (!contents.error.empty()) {
        fail(std::string("archive \"") + path + "\" is truncated or malformed: " + contents.error);
        return false;
    }
    return true;
}

struct Entries {
    Bx::ArchiveContents contents;
    ~Entries() { Bx::releaseArchiveFiles(contents.files); }
};

int commandPack(const char* listPath, const char* archivePath) {
    Bx::PackingList list;
    std::string error;
    if (!Bx::readPackingList(listPath, list, error)) return fail(error);
    for (const std::string& path : list.paths) {
        FILE* f = fopen(path.c_str(), "rb");
        if (!f) return fail("Cannot find file \"" + path + "\" to add to archive.");
        fclose(f);
    }
    if (!Bx::Archive::pack(listPath, archivePath, &error)) return fail(error);
    std::cerr << "velkpack: packed " << list.paths.size() << " files into " << archivePath
              << std::endl;
    return 0;
}

int commandList(const char* archivePath) {
    Entries entries;
    if (!loadArchive(archivePath, entries.contents)) return 1;
    for (const Bx::ArchiveFile* file : entries.contents.files)
        std::cout << file->name << '\t' << file->size << '\n';
    return 0;
}

// Entry names are relative paths; one that is absolute or climbs out of the
// target folder is refused rather than written somewhere unexpected.
std::string unsafeNameReason(const std::string& name) {
    if (name.empty()) return "it is empty";
    if (name[0] == '/') return "it is an absolute path";
    size_t start = 0;
    while (start <= name.size()) {
        size_t end = name.find('/', start);
        if (end == std::string::npos) end = name.size();
        std::string part = name.substr(start, end - start);
        if (part == "..") return "it climbs out of the target folder with \"..\"";
        if (part.empty() && end == name.size()) return "it names a folder, not a file";
        start = end + 1;
    }
    return "";
}

bool makeParentFolders(const std::string& path) {
    for (size_t pos = path.find('/', 1); pos != std::string::npos; pos = path.find('/', pos + 1)) {
        std::string folder = path.substr(0, pos);
        if (mkdir(folder.c_str(), 0777) != 0 && errno != EEXIST) return false;
    }
    return true;
}

int commandExtract(const char* archivePath, const char* dir) {
    Entries entries;
    if (!loadArchive(archivePath, entries.contents)) return 1;
    const std::vector<Bx::ArchiveFile*>& files = entries.contents.files;
    for (const Bx::ArchiveFile* file : files) {
        std::string reason = unsafeNameReason(file->name);
        if (!reason.empty())
            return fail(std::string("refusing entry \"") + file->name + "\": " + reason);
    }
    std::string root(dir);
    if (mkdir(root.c_str(), 0777) != 0 && errno != EEXIST)
        return fail("cannot create \"" + root + "\": " + std::strerror(errno));
    size_t n = files.size();
    for (size_t i = 0; i < n; ++i) {
        const Bx::ArchiveFile* file = files[i];
        std::string path = root + "/" + file->name;
        if (!makeParentFolders(path))
            return fail("cannot create the folders for \"" + path + "\": " + std::strerror(errno));
        FILE* out = fopen(path.c_str(), "wb");
        if (!out) return fail("cannot write \"" + path + "\": " + std::strerror(errno));
        bool ok = file->size == 0 || fwrite(file->data, 1, file->size, out) == file->size;
        ok = (fclose(out) == 0) && ok;
        if (!ok) return fail("cannot write \"" + path + "\": " + std::strerror(errno));
        std::cerr << "\rvelkpack: extracted " << (i + 1) << "/" << n << std::flush;
    }
    if (n) std::cerr << std::endl;
    return 0;
}

} // namespace

int main(int argc, char** argv) {
    if (argc >= 2 && (std::strcmp(argv[1], "--help") == 0 || std::strcmp(argv[1], "-h") == 0)) {
        std::cout << kUsage;
        return 0;
    }
    if (argc == 2 && std::strcmp(argv[1], "--version") == 0) {
        std::cout << "velkpack " << TIDEWANE_VERSION << '\n' << kLicenceLine << '\n';
        return 0;
    }
    if (argc == 4 && std::strcmp(argv[1], "pack") == 0) return commandPack(argv[2], argv[3]);
    if (argc == 3 && std::strcmp(argv[1], "list") == 0) return commandList(argv[2]);
    if (argc == 4 && std::strcmp(argv[1], "extract") == 0) return commandExtract(argv[2], argv[3]);
    std::cerr << kUsage;
    return 1;
}
