#include "bx/archive.h"

#include "bx/assert.h"

#include <algorithm>
#include <cerrno>
#include <cstdlib>
#include <cstring>
#include <fcntl.h>
#include <memory>
#include <sys/stat.h>
#include <unistd.h>

namespace Bx {

Archive* Archive::ms_archive = 0;

namespace {

const uint32_t kHeaderSize = 260; // name field + size field
const size_t kMaxNameLength = 255;
const size_t kMaxListPathLength = 253;
const size_t kMaxCountLineLength = 29;

ArchiveFile* newRecord() {
    ArchiveFile* file = new ArchiveFile;
    std::memset(file->name, 0, sizeof(file->name));
    file->size = 0;
    file->data = nullptr;
    return file;
}

void releaseRecord(ArchiveFile* file) {
    delete[] file->data;
    delete file;
}

uint32_t readLittleEndian32(const unsigned char* b) {
    return uint32_t(b[0]) | (uint32_t(b[1]) << 8) | (uint32_t(b[2]) << 16) |
           (uint32_t(b[3]) << 24);
}

void writeLittleEndian32(unsigned char* b, uint32_t v) {
    b[0] = v & 0xFF;
    b[1] = (v >> 8) & 0xFF;
    b[2] = (v >> 16) & 0xFF;
    b[3] = (v >> 24) & 0xFF;
}

// Length of a regular file, or -1 when `f` is not one or cannot be measured.
long regularFileLength(FILE* f) {
    struct stat st;
    if (fstat(fileno(f), &st) != 0 || !S_ISREG(st.st_mode)) return -1;
    return long(st.st_size);
}

} // namespace

ArchiveReader::ArchiveReader(uint64_t length) : m_length(length) {
    if (lengthKnown() && m_length < 4) fail("the file count runs past the end of the file");
}

ArchiveReader::~ArchiveReader() {
    if (m_entry) releaseRecord(m_entry);
    releaseArchiveFiles(m_files);
}

std::vector<ArchiveFile*> ArchiveReader::takeFiles() {
    std::vector<ArchiveFile*> files;
    files.swap(m_files);
    return files;
}

void ArchiveReader::fail(const std::string& why) {
    if (m_entry) releaseRecord(m_entry);
    m_entry = nullptr;
    releaseArchiveFiles(m_files);
    m_growing = std::vector<unsigned char>();
    m_error = why;
    m_phase = Phase::Failed;
}

void ArchiveReader::countRead() {
    m_count = readLittleEndian32(m_piece);
    // Every entry takes at least its header, so a count that cannot fit is
    // rejected before anything is allocated from it.
    if (lengthKnown() && uint64_t(m_count) * kHeaderSize > m_length - 4)
        return fail("the file count " + std::to_string(m_count) +
                    " needs more bytes than the file holds");
    if (lengthKnown()) m_files.reserve(m_count);
    startHeader();
}

void ArchiveReader::startHeader() {
    m_have = 0;
    const size_t index = m_entries;
    if (index == m_count) {
        m_phase = Phase::Done;
        return;
    }
    m_phase = Phase::Header;
    if (lengthKnown() && m_length - m_received < kHeaderSize)
        fail("the header of entry " + std::to_string(index) + " runs past the end of the file");
}

void ArchiveReader::headerRead() {
    const size_t index = m_entries;
    if (std::memchr(m_piece, 0, 256) == nullptr)
        return fail("the name of entry " + std::to_string(index) + " has no terminating NUL");
    const uint32_t size = readLittleEndian32(m_piece + 256);
    if (lengthKnown() && size > m_length - m_received)
        return fail("the content of entry " + std::to_string(index) + " (" +
                    std::to_string(size) + " bytes) runs past the end of the file");
    m_entry = newRecord();
    std::memcpy(m_entry->name, m_piece, 256);
    m_entry->size = size;
    if (lengthKnown()) m_entry->data = new unsigned char[size ? size : 1];
    m_have = 0;
    m_phase = Phase::Content;
    if (size == 0) entryDone();
}

void ArchiveReader::entryDone() {
    if (!lengthKnown()) {
        m_entry->data = new unsigned char[m_entry->size ? m_entry->size : 1];
        std::copy(m_growing.begin(), m_growing.end(), m_entry->data);
        m_growing = std::vector<unsigned char>();
    }
    m_files.push_back(m_entry);
    m_entry = nullptr;
    ++m_entries;
    startHeader();
}

bool ArchiveReader::feed(const unsigned char* bytes, size_t size) {
    while (size > 0 && (m_phase != Phase::Done && m_phase != Phase::Failed)) {
        size_t take;
        if (m_phase == Phase::Content) {
            take = std::min<size_t>(size, m_entry->size - m_have);
            if (lengthKnown())
                std::memcpy(m_entry->data + m_have, bytes, take);
            else
                m_growing.insert(m_growing.end(), bytes, bytes + take);
        } else {
            const size_t want = m_phase == Phase::Count ? 4 : kHeaderSize;
            take = std::min(size, want - m_have);
            std::memcpy(m_piece + m_have, bytes, take);
        }
        m_have += take;
        m_received += take;
        bytes += take;
        size -= take;
        if (m_phase == Phase::Count && m_have == 4)
            countRead();
        else if (m_phase == Phase::Header && m_have == kHeaderSize)
            headerRead();
        else if (m_phase == Phase::Content && m_have == m_entry->size)
            entryDone();
    }
    return !failed();
}

bool ArchiveReader::end() {
    if (m_phase == Phase::Done || m_phase == Phase::Failed) return !failed();
    if (lengthKnown()) {
        readFailed();
        return false;
    }
    // The checks a whole reading makes, against the length now known: the
    // count first, then the entry the file ends in.
    const size_t index = m_entries;
    if (m_phase != Phase::Count && uint64_t(m_count) * kHeaderSize > m_received - 4)
        fail("the file count " + std::to_string(m_count) + " needs more bytes than the file holds");
    else if (m_phase == Phase::Count)
        fail("the file count runs past the end of the file");
    else if (m_phase == Phase::Header)
        fail("the header of entry " + std::to_string(index) + " runs past the end of the file");
    else
        fail("the content of entry " + std::to_string(index) + " (" +
             std::to_string(m_entry->size) + " bytes) runs past the end of the file");
    return false;
}

void ArchiveReader::readFailed() {
    const size_t index = m_entries;
    if (m_phase == Phase::Count)
        fail("the file count runs past the end of the file");
    else if (m_phase == Phase::Header)
        fail("the header of entry " + std::to_string(index) + " runs past the end of the file");
    else if (m_phase == Phase::Content)
        fail("the content of entry " + std::to_string(index) + " could not be read");
}

ArchiveContents readArchiveEntries(FILE* f, uint64_t length) {
    ArchiveReader reader(length);
    std::vector<unsigned char> buffer(1 << 16);
    // Exactly the file's bytes up to its last entry, as they are needed.
    while (!reader.complete() && !reader.failed()) {
        const size_t want = size_t(std::min<uint64_t>(buffer.size(), length - reader.received()));
        if (want == 0) {
            reader.end();
            break;
        }
        const size_t got = fread(buffer.data(), 1, want, f);
        reader.feed(buffer.data(), got);
        if (got < want && !reader.complete() && !reader.failed()) reader.readFailed();
    }
    ArchiveContents result;
    result.error = reader.error();
    result.files = reader.takeFiles();
    return result;
}

void releaseArchiveFiles(std::vector<ArchiveFile*>& files) {
    for (ArchiveFile* file : files) releaseRecord(file);
    files.clear();
}

void Archive::cannotOpen(const char* path) {
    BX_ASSERT(0, "Cannot open archive \"" << path << "\"");
    std::abort();
}

Archive::Archive(const char* path) : m_path(path) {
    BX_ASSERT(ms_archive == 0, "An archive has already been created.");
    ms_archive = this;

    FILE* f = fopen(path, "rb");
    long length = f ? regularFileLength(f) : -1;
    if (!f || length < 0) {
        if (f) fclose(f);
        cannotOpen(path);
    }
    ArchiveContents contents = readArchiveEntries(f, uint64_t(length));
    fclose(f);
    BX_ASSERT(contents.error.empty(), "Archive \"" << path
              << "\" is truncated or malformed: " << contents.error);
    m_files = std::move(contents.files);
}

Archive::Archive(const char* path, uint64_t length, std::function<void()> more)
    : m_path(path), m_reader(new ArchiveReader(length)), m_more(std::move(more)) {
    BX_ASSERT(ms_archive == 0, "An archive has already been created.");
    ms_archive = this;
    takeArrived();
}

Archive::~Archive() {
    BX_ASSERT(ms_archive == this, "The ms_archive variable has been tampered with...");
    releaseArchiveFiles(m_files);
    releaseArchiveFiles(m_looseFiles);
    ms_archive = 0;
}

void Archive::takeArrived() {
    BX_ASSERT(!m_reader->failed(), "Archive \"" << m_path
              << "\" is truncated or malformed: " << m_reader->error());
    for (ArchiveFile* file : m_reader->takeFiles()) m_files.push_back(file);
}

void Archive::feed(const unsigned char* bytes, size_t size) {
    if (!m_reader) return;
    m_reader->feed(bytes, size);
    takeArrived();
}

void Archive::feedEnd() {
    if (!m_reader) return;
    m_reader->end();
    takeArrived();
    m_reader.reset();
}

ArchiveFile* Archive::packed(const char* name) const {
    for (ArchiveFile* file : m_files)
        if (std::strcmp(file->name, name) == 0) return file;
    return nullptr;
}

bool Archive::arrived(const char* name) const {
    if (fed() || packed(name)) return true;
    FILE* f = fopen(name, "rb");
    const bool loose = f && regularFileLength(f) >= 0;
    if (f) fclose(f);
    return loose;
}

ArchiveFile* Archive::getFile(const char* name) {
    ArchiveFile* file = findFile(name);
    if (!file) BX_ASSERT(0, "Cannot find specified file " << name);
    return file;
}

ArchiveFile* Archive::findFile(const char* name) {
    BX_ASSERT(std::strlen(name) <= kMaxNameLength,
              "File name longer than 255 characters: " << name);

    FILE* f = fopen(name, "rb");
    if (f) {
        long length = regularFileLength(f);
        if (length >= 0) {
            BX_ASSERT(uint64_t(length) < (uint64_t(1) << 31),
                      "File " << name << " is too large to load.");
            ArchiveFile* file = newRecord();
            std::strcpy(file->name, name);
            file->size = uint32_t(length);
            file->data = new unsigned char[length ? length : 1];
            size_t got = length ? fread(file->data, 1, size_t(length), f) : 0;
            fclose(f);
            if (got != size_t(length)) {
                releaseRecord(file);
                BX_ASSERT(0, "Cannot read file " << name);
            }
            m_looseFiles.push_back(file);
            return file;
        }
        fclose(f); // a directory or other non-regular file: use the archive
    }

    // An archive still arriving is waited for until the entry is in.
    ArchiveFile* file = packed(name);
    while (!file && !fed()) {
        m_more();
        file = packed(name);
    }
    return file;
}

ArchiveFile* Archive::getFile(unsigned int index) {
    const size_t m_nFiles = m_files.size();
    BX_ASSERT(index < m_nFiles, "Index out of bounds in archive.");
    return m_files[index];
}

bool readPackingList(const char* listPath, PackingList& list, std::string& error) {
    list = PackingList();
    FILE* f = fopen(listPath, "r");
    if (!f) {
        error = std::string("cannot open packing list \"") + listPath + "\": " +
                std::strerror(errno);
        return false;
    }
    std::string line;
    std::vector<std::string> lines;
    int c;
    bool any = false;
    while ((c = fgetc(f)) != EOF) {
        any = true;
        if (c == '\n') {
            lines.push_back(line);
            line.clear();
        } else {
            line.push_back(char(c));
        }
    }
    bool readError = ferror(f) != 0;
    fclose(f);
    if (readError) {
        error = std::string("cannot read packing list \"") + listPath + "\"";
        return false;
    }
    if (!line.empty()) lines.push_back(line); // last line without a line end
    if (!any || lines.empty()) {
        error = std::string("packing list \"") + listPath + "\" is empty: it has no count line";
        return false;
    }
    for (std::string& l : lines)
        if (!l.empty() && l.back() == '\r') l.pop_back();

    if (lines[0].size() > kMaxCountLineLength) {
        error = "the count line of the packing list is longer than " +
                std::to_string(kMaxCountLineLength) + " characters";
        return false;
    }
    list.count = std::atoi(lines[0].c_str());
    for (size_t i = 1; i < lines.size(); ++i) {
        if (lines[i].size() > kMaxListPathLength) {
            error = "line " + std::to_string(i + 1) + " of the packing list is a path of " +
                    std::to_string(lines[i].size()) + " characters; at most " +
                    std::to_string(kMaxListPathLength) + " fit";
            return false;
        }
        list.paths.push_back(lines[i]);
    }
    if (list.count < 0 || size_t(list.count) != list.paths.size()) {
        error = "the packing list's count line says " + std::to_string(list.count) +
                " but it lists " + std::to_string(list.paths.size()) + " paths";
        return false;
    }
    return true;
}

bool Archive::pack(const char* listPath, const char* archivePath, std::string* error) {
    std::string why;
    auto failed = [&](const std::string& reason) {
        if (error) *error = reason;
        return false;
    };

    PackingList list;
    if (!readPackingList(listPath, list, why)) return failed(why);

    // Open every listed file before the archive is touched, so that a missing
    // one stops the packer with nothing written.
    std::vector<std::unique_ptr<FILE, int (*)(FILE*)>> inputs;
    std::vector<uint32_t> sizes;
    for (const std::string& path : list.paths) {
        FILE* f = fopen(path.c_str(), "rb");
        BX_ASSERT(f != NULL, "Cannot find file \"" << path << "\" to add to archive.");
        inputs.emplace_back(f, fclose);
        long length = regularFileLength(f);
        if (length < 0) return failed("\"" + path + "\" is not a regular file");
        if (uint64_t(length) >= (uint64_t(1) << 31))
            return failed("\"" + path + "\" is too large for an archive entry");
        sizes.push_back(uint32_t(length));
    }

    std::string target(archivePath);
    std::string tempPath = target + ".tmpXXXXXX";
    int fd = mkstemp(&tempPath[0]);
    if (fd < 0)
        return failed("cannot create a temporary file beside \"" + target +
                      "\": " + std::strerror(errno));
    mode_t mask = umask(0);
    umask(mask);
    fchmod(fd, 0666 & ~mask);
    FILE* out = fdopen(fd, "wb");
    if (!out) {
        close(fd);
        unlink(tempPath.c_str());
        return failed("cannot write \"" + tempPath + "\"");
    }
    auto abandon = [&](const std::string& reason) {
        fclose(out);
        unlink(tempPath.c_str());
        return failed(reason);
    };

    unsigned char countBytes[4];
    writeLittleEndian32(countBytes, uint32_t(list.count));
    if (fwrite(countBytes, 1, 4, out) != 4)
        return abandon("cannot write \"" + target + "\": " + std::strerror(errno));

    std::vector<unsigned char> buffer(1 << 16);
    for (size_t i = 0; i < list.paths.size(); ++i) {
        unsigned char header[kHeaderSize];
        std::memset(header, 0, sizeof(header));
        std::memcpy(header, list.paths[i].data(), list.paths[i].size());
        writeLittleEndian32(header + 256, sizes[i]);
        if (fwrite(header, 1, kHeaderSize, out) != kHeaderSize)
            return abandon("cannot write \"" + target + "\": " + std::strerror(errno));
        FILE* in = inputs[i].get();
        uint32_t left = sizes[i];
        while (left > 0) {
            size_t chunk = left < buffer.size() ? left : buffer.size();
            if (fread(buffer.data(), 1, chunk, in) != chunk)
                return abandon("\"" + list.paths[i] + "\" changed or could not be read while packing");
            if (fwrite(buffer.data(), 1, chunk, out) != chunk)
                return abandon("cannot write \"" + target + "\": " + std::strerror(errno));
            left -= uint32_t(chunk);
        }
        inputs[i].reset();
    }
    if (fflush(out) != 0 || fsync(fileno(out)) != 0)
        return abandon("cannot write \"" + target + "\": " + std::strerror(errno));
    if (fclose(out) != 0) {
        unlink(tempPath.c_str());
        return failed("cannot write \"" + target + "\": " + std::strerror(errno));
    }
    if (rename(tempPath.c_str(), archivePath) != 0) {
        std::string reason = "cannot move the new archive into place at \"" + target +
                             "\": " + std::strerror(errno);
        unlink(tempPath.c_str());
        return failed(reason);
    }
    return true;
}

} // namespace Bx
