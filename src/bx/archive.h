#pragma once
// The data archive: every asset of the production, packed into one file and
// held in memory. A file of the same name lying loose in the working
// directory takes precedence over the packed copy.

#include <cstdint>
#include <cstdio>
#include <string>
#include <vector>

namespace Bx {

// One file in memory. `name` and `size` are exactly the 260-byte entry header
// of the archive format, so a header is read straight into the record.
struct ArchiveFile {
    char name[256];
    uint32_t size;
    unsigned char* data;
};

// Result of reading the entries of an archive: the records, or the reason the
// bytes are not a well-formed archive.
struct ArchiveContents {
    std::vector<ArchiveFile*> files;
    std::string error; // empty when the archive is well formed
};

// Reads every entry of an archive from `f`, whose total length is `length`
// bytes. Never reads past `length` and never allocates more than the bytes
// that are there; on a malformed archive it releases what it made and fills
// `error`.
ArchiveContents readArchiveEntries(FILE* f, uint64_t length);

// Releases records made by readArchiveEntries.
void releaseArchiveFiles(std::vector<ArchiveFile*>& files);

// One line of a packing list after the count line.
struct PackingList {
    int count = 0;                   // the number written on the first line
    std::vector<std::string> paths;  // the paths that follow, in order
};

// Parses a packing list. Returns false and fills `error` when the list cannot
// be opened, is empty, has a line too long for its field, or its count
// differs from the number of paths.
bool readPackingList(const char* listPath, PackingList& list, std::string& error);

class Archive {
public:
    explicit Archive(const char* path);
    ~Archive();

    Archive(const Archive&) = delete;
    Archive& operator=(const Archive&) = delete;

    // The file called `name`: a loose file in the working directory if one
    // exists, else the first packed entry of that name. Never returns null.
    ArchiveFile* getFile(const char* name);
    // As getFile, but null when there is no such file, so that a caller can
    // look ahead without stopping the program.
    ArchiveFile* findFile(const char* name);
    // The packed entry at `index` in file order.
    ArchiveFile* getFile(unsigned int index);
    unsigned int getNumFiles() const { return m_nFiles; }

    // Writes a new archive from a packing list. The archive is written to a
    // temporary file beside `archivePath` and renamed into place only when it
    // is complete, so an existing archive survives any failure. A listed file
    // that cannot be opened stops the program with the fatal assertion; other
    // problems return false with the reason in `error`.
    static bool pack(const char* listPath, const char* archivePath,
                     std::string* error = nullptr);

    static Archive* ms_archive;

private:
    ArchiveFile** m_files;
    uint32_t m_nFiles;
    std::vector<ArchiveFile*> m_looseFiles; // records made for loose files
};

} // namespace Bx
