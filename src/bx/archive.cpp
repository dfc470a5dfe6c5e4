#include "bx/archive.h"

#include "bx/assert.h"

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

ArchiveContents readArchiveEntries(FILE* f, uint64_t length) {
    ArchiveContents result;
    auto fail = [&](const std::string& why) {
        releaseArchiveFiles(result.files);
        result.error = why;
        return result;
    };

    unsigned char countBytes[4];
    if (length < 4 || fread(countBytes, 1, 4, f) != 4)
        return fail("the file count runs past the end of the file");
    uint32_t count = readLittleEndian32(countBytes);
    uint64_t remaining = length - 4;

    // Every entry takes at least its header, so a count that cannot fit is
    // rejected before anything is allocated from it.
    if (uint64_t(count) * kHeaderSize > remaining)
        return fail("the file count " + std::to_string(count) +
                    " needs more bytes than the file holds");
    result.files.reserve(count);

    for (uint32_t i = 0; i < count; ++i) {
        unsigned char header[kHeaderSize];
        if (remaining < kHeaderSize || fread(header, 1, kHeaderSize, f) != kHeaderSize)
            return fail("the header of entry " + std::to_string(i) +
                        " runs past the end of the file");
        remaining -= kHeaderSize;
        if (std::memchr(header, 0, 256) == nullptr)
            return fail("the name of entry " + std::to_string(i) +
                        " has no terminating NUL");
        uint32_t size = readLittleEndian32(header + 256);
        if (size > remaining)
            return fail("the content of entry " + std::to_string(i) + " (" +
                        std::to_string(size) + " bytes) runs past the end of the file");

        ArchiveFile* file = newRecord();
        result.files.push_back(file);
        std::memcpy(file->name, header, 256);
        file->size = size;
        file->data = new unsigned char[size ? size : 1];
        if (size && fread(file->data, 1, size, f) != size)
            return fail("the content of entry " + std::to_string(i) +
                        " could not be read");
        remaining -= size;
    }
    return result;
}

void releaseArchiveFiles(std::vector<ArchiveFile*>& files) {
    for (ArchiveFile* file : files) releaseRecord(file);
    files.clear();
}

Archive::Archive(const char* path) {
    BX_ASSERT(ms_archive == 0, "An archive has already been created.");
    ms_archive = this;
    m_nFiles = 0;
    m_files = nullptr;

    FILE* f = fopen(path, "rb");
    long length = f ? regularFileLength(f) : -1;
    if (!f || length < 0) {
        if (f) fclose(f);
        BX_ASSERT(0, "Cannot open archive \"" << path << "\"");
    }
    ArchiveContents contents = readArchiveEntries(f, uint64_t(length));
    fclose(f);
    BX_ASSERT(contents.error.empty(), "Archive \"" << path
              << "\" is truncated or malformed: " << contents.error);

    m_nFiles = uint32_t(contents.files.size());
    m_files = new ArchiveFile*[m_nFiles ? m_nFiles : 1];
    for (uint32_t i = 0; i < m_nFiles; ++i) m_files[i] = contents.files[i];
}

Archive::~Archive() {
    BX_ASSERT(ms_archive == this, "The ms_archive variable has been tampered with...");
    for (uint32_t i = 0; i < m_nFiles; ++i) releaseRecord(m_files[i]);
    delete[] m_files;
    releaseArchiveFiles(m_looseFiles);
    ms_archive = 0;
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

    for (uint32_t i = 0; i < m_nFiles; ++i)
        if (std::strcmp(m_files[i]->name, name) == 0) return m_files[i];
    return nullptr;
}

ArchiveFile* Archive::getFile(unsigned int index) {
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
