#pragma once
// The data archive: every asset of the production, packed into one file and
// held in memory. A file of the same name lying loose in the working
// directory takes precedence over the packed copy.

#include <cstdint>
#include <cstdio>
#include <functional>
#include <memory>
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

// Reads an archive's entries from its bytes in pieces, as they arrive, with
// the checks and messages of readArchiveEntries. Where the file's `length`
// is known, a count or a size that cannot fit is refused as soon as it is
// read; where it is not (a compressed download), an entry's memory grows
// with its bytes, so that nothing is allocated from a size alone, and the
// same checks are made against the length found at the end.
class ArchiveReader {
public:
    static constexpr uint64_t kUnknownLength = ~uint64_t(0);

    explicit ArchiveReader(uint64_t length = kUnknownLength);
    ~ArchiveReader(); // releases the entries not taken
    ArchiveReader(const ArchiveReader&) = delete;
    ArchiveReader& operator=(const ArchiveReader&) = delete;

    // The next `size` bytes of the file. Returns false once the file is
    // known to be malformed (error() says why). Bytes after the last
    // counted entry are ignored, as a whole reading never looks at them.
    bool feed(const unsigned char* bytes, size_t size);
    // The end of the file; false when it ends before the last entry.
    bool end();
    // The bytes stopped short of the known length (a read error).
    void readFailed();

    bool complete() const { return m_phase == Phase::Done; }
    bool failed() const { return m_phase == Phase::Failed; }
    const std::string& error() const { return m_error; }
    uint64_t received() const { return m_received; }
    // The entries whose bytes are all in, in file order; kept by the reader
    // until taken (a failure releases them).
    const std::vector<ArchiveFile*>& files() const { return m_files; }
    std::vector<ArchiveFile*> takeFiles();

private:
    enum class Phase { Count, Header, Content, Done, Failed };
    void fail(const std::string& why);
    void countRead();
    void headerRead();
    void entryDone();
    void startHeader();
    bool lengthKnown() const { return m_length != kUnknownLength; }

    uint64_t m_length;
    uint64_t m_received = 0;
    Phase m_phase = Phase::Count;
    unsigned char m_piece[260]; // the count or the header being read
    size_t m_have = 0;          // bytes of m_piece, or of the content, so far
    uint32_t m_count = 0;
    size_t m_entries = 0;           // entries read whole (taken or not)
    ArchiveFile* m_entry = nullptr; // the entry whose content is being read
    std::vector<unsigned char> m_growing; // its content, where the length is unknown
    std::vector<ArchiveFile*> m_files;
    std::string m_error;
};

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
    // An archive that arrives over time, as the browser downloads it: it
    // starts empty, `feed` adds the file's bytes as they come and `feedEnd`
    // marks their end (`length`: the file's length, or
    // ArchiveReader::kUnknownLength). A lookup of an entry that has not
    // arrived calls `more`, which brings further bytes or the end, until it
    // has or the file has ended. A malformed file stops the program with the
    // message of a whole reading, as soon as it is known.
    Archive(const char* path, uint64_t length, std::function<void()> more);
    ~Archive();

    void feed(const unsigned char* bytes, size_t size);
    void feedEnd();
    // Whether the whole file is in.
    bool fed() const { return m_reader == nullptr; }
    // Whether a lookup of `name` would return at once, without waiting for
    // more of the file.
    bool arrived(const char* name) const;
    // Stops the program: the archive at `path` cannot be opened.
    [[noreturn]] static void cannotOpen(const char* path);

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
    unsigned int getNumFiles() const { return unsigned(m_files.size()); }

    // Writes a new archive from a packing list. The archive is written to a
    // temporary file beside `archivePath` and renamed into place only when it
    // is complete, so an existing archive survives any failure. A listed file
    // that cannot be opened stops the program with the fatal assertion; other
    // problems return false with the reason in `error`.
    static bool pack(const char* listPath, const char* archivePath,
                     std::string* error = nullptr);

    static Archive* ms_archive;

private:
    // Moves the reader's finished entries into the archive; stops the
    // program where the file is malformed.
    void takeArrived();
    ArchiveFile* packed(const char* name) const;

    std::string m_path;
    std::vector<ArchiveFile*> m_files;
    std::vector<ArchiveFile*> m_looseFiles; // records made for loose files
    std::unique_ptr<ArchiveReader> m_reader; // while the file is arriving
    std::function<void()> m_more;
};

} // namespace Bx
