// tidewane-assets: makes every asset of the production from code (the
// pictures and the soundtrack), writes the packing list and packs the data
// archive.
//
//     tidewane-assets OUTDIR ARCHIVE
//     tidewane-assets --icon SIZE PNG      (the program's icon)
//
// OUTDIR receives the loose files under their archive names and the packing
// list "tidewane.list"; ARCHIVE is the data archive to write.

#include "images.h"
#include "manifest.h"
#include "mp3.h"
#include "music.h"

#include "bx/archive.h"

#include <cerrno>
#include <chrono>
#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <fstream>
#include <iostream>
#include <string>
#include <sys/stat.h>
#include <thread>
#include <unistd.h>
#include <vector>

namespace {

bool makeFolder(const std::string& path) {
    return mkdir(path.c_str(), 0777) == 0 || errno == EEXIST;
}

std::string absolute(const std::string& path) {
    if (!path.empty() && path[0] == '/') return path;
    char cwd[4096];
    if (!getcwd(cwd, sizeof cwd)) return path;
    return std::string(cwd) + "/" + path;
}

double secondsSince(std::chrono::steady_clock::time_point start) {
    return std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
}

bool makeSoundtrack(const std::string& path, std::string& error) {
    Music::Stats stats;
    Synth::Stereo pcm = Music::render(&stats);
    std::vector<unsigned char> mp3;
    if (!Mp3::encode(pcm, 192, mp3, error)) return false;
    std::ofstream out(path, std::ios::binary);
    out.write(reinterpret_cast<const char*>(mp3.data()), std::streamsize(mp3.size()));
    if (!out) {
        error = "cannot write " + path;
        return false;
    }
    std::printf("tidewane-assets: soundtrack %.1f s, peak %.2f dBFS (master gain %.3f), %zu bytes of MP3\n",
                double(pcm.frames()) / Synth::kRate, 20.0 * std::log10(double(stats.peak)),
                double(stats.masterGain), mp3.size());
    return true;
}

} // namespace

int main(int argc, char** argv) {
    if (argc == 4 && std::strcmp(argv[1], "--icon") == 0) {
        const int size = std::atoi(argv[2]);
        std::string error;
        if (size < 16 || size > 1024) {
            std::fprintf(stderr, "tidewane-assets: the icon size must be 16 to 1024 pixels\n");
            return 2;
        }
        if (Images::writeIcon(argv[3], size, error)) return 0;
        std::fprintf(stderr, "tidewane-assets: %s\n", error.c_str());
        return 1;
    }
    if (argc != 3) {
        std::fprintf(stderr, "usage: tidewane-assets OUTDIR ARCHIVE\n"
                             "       tidewane-assets --icon SIZE PNG\n");
        return 2;
    }
    auto start = std::chrono::steady_clock::now();
    std::string dir = absolute(argv[1]);
    std::string archive = absolute(argv[2]);
    for (const char* sub : {"", "/queltwalk", "/us", "/logo", "/lyrics"}) {
        if (!makeFolder(dir + sub)) {
            std::fprintf(stderr, "tidewane-assets: cannot create %s%s: %s\n", dir.c_str(), sub,
                         std::strerror(errno));
            return 1;
        }
    }

    // The soundtrack and the pictures are independent: make them side by side.
    std::string musicError;
    bool musicOk = false;
    std::thread music([&] { musicOk = makeSoundtrack(dir + "/music.mp3", musicError); });
    std::string imageError;
    bool imagesOk = Images::writeAll(dir, imageError);
    music.join();
    if (!imagesOk || !musicOk) {
        std::fprintf(stderr, "tidewane-assets: %s\n", (!imagesOk ? imageError : musicError).c_str());
        return 1;
    }

    std::vector<std::string> names = Manifest::packOrder();
    std::string list = dir + "/tidewane.list";
    {
        std::ofstream out(list);
        out << names.size() << "\n";
        for (const std::string& name : names) out << name << "\n";
        if (!out) {
            std::fprintf(stderr, "tidewane-assets: cannot write %s\n", list.c_str());
            return 1;
        }
    }
    // The packer reads the listed paths relative to the working directory,
    // which makes them the entries' names.
    if (chdir(dir.c_str()) != 0) {
        std::fprintf(stderr, "tidewane-assets: cannot enter %s\n", dir.c_str());
        return 1;
    }
    std::string error;
    if (!Bx::Archive::pack("tidewane.list", archive.c_str(), &error)) {
        std::fprintf(stderr, "tidewane-assets: packing failed: %s\n", error.c_str());
        return 1;
    }
    std::printf("tidewane-assets: packed %zu files into %s in %.1f s\n", names.size(),
                archive.c_str(), secondsSince(start));
    return 0;
}
