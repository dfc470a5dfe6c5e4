// Prints, for the browser test, what the capture tool's frame at S seconds
// is made of, natively, in the line the page's test hook prints
// (describeFrame).
// usage: web-frameinfo ARCHIVE FPS SECONDS...

#include "bx/archive.h"
#include "manifest.h"
#include "sequence.h"

#include <cstdio>
#include <cstdlib>

int main(int argc, char** argv) {
    if (argc < 4) {
        std::fprintf(stderr, "usage: web-frameinfo ARCHIVE FPS SECONDS...\n");
        return 2;
    }
    Bx::Archive archive(argv[1]);
    const Bx::ArchiveFile* mp3 = archive.getFile(Manifest::kMusic);
    const Audio::DecodedAudio music = Audio::decodeMp3(mp3->data, mp3->size);
    const ShowLayout layout(std::atoi(argv[2]));
    for (int i = 3; i < argc; ++i) {
        ShowSequence sequence(layout, music);
        sequence.skipTo(layout.frameAtOrAfter(std::atof(argv[i])));
        std::printf("%s\n", describeFrame(sequence.next()).c_str());
    }
    return 0;
}
