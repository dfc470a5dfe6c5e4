#include "manifest.h"

#include <cstdio>

namespace Manifest {

const char* const kMusic = "music.mp3";
const char* const kPreload = "preload.png";
const char* const kBlue = "blue.png";
const char* const kCredit = "credit.png";

namespace {

// Appends "prefix01.png" … in order; `first` is the number of the first file.
void addNumbered(std::vector<std::string>& names, const char* prefix, int first, int count) {
    for (int i = 0; i < count; ++i) {
        char name[64];
        std::snprintf(name, sizeof(name), "%s%02d.png", prefix, first + i);
        names.push_back(name);
    }
}

} // namespace

std::vector<std::string> introImages() {
    std::vector<std::string> names;
    addNumbered(names, "queltwalk/", 1, kWalkImages);
    addNumbered(names, "us/", 1, kUsImages);
    addNumbered(names, "logo/", 1, kLogoImages);
    return names;
}

std::vector<std::string> timelineImages() {
    std::vector<std::string> names;
    addNumbered(names, "lyrics/", 0, kLyricImages);
    names.push_back(kCredit);
    return names;
}

std::vector<std::string> loadOrder() {
    std::vector<std::string> names = {kMusic, kPreload};
    for (const std::vector<std::string>& batch : {introImages(), timelineImages()})
        names.insert(names.end(), batch.begin(), batch.end());
    names.push_back(kBlue);
    return names;
}

std::vector<std::string> packOrder() {
    std::vector<std::string> names = loadOrder();
    names.erase(names.begin());
    names.push_back(kMusic);
    return names;
}

} // namespace Manifest
