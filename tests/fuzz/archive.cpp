// libFuzzer target for the archive reader: any bytes must be either read as
// an archive or rejected with a reason, never crash, hang or read beyond the
// input. Built and run by scripts/fuzz-archive.

#include "bx/archive.h"

#include <cstddef>
#include <cstdint>
#include <cstdio>
#include <cstring>

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    if (size == 0) return 0; // fmemopen needs at least one byte
    FILE* f = fmemopen(const_cast<uint8_t*>(data), size, "rb");
    if (!f) return 0;
    Bx::ArchiveContents contents = Bx::readArchiveEntries(f, size);
    fclose(f);
    if (contents.error.empty()) {
        // A well-formed archive: every name is terminated and every content
        // lies inside the input.
        uint64_t total = 4;
        for (const Bx::ArchiveFile* file : contents.files) {
            if (std::memchr(file->name, 0, sizeof(file->name)) == nullptr) __builtin_trap();
            total += 260 + uint64_t(file->size);
        }
        if (total > size) __builtin_trap();
    } else if (!contents.files.empty()) {
        __builtin_trap(); // a rejected archive hands out no records
    }
    Bx::releaseArchiveFiles(contents.files);
    return 0;
}
