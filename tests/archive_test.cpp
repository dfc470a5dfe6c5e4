#include "bx/archive.h"
#include "support/death.h"
#include "support/files.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cstring>
#include <memory>

using Bx::Archive;
using Bx::ArchiveFile;

namespace {

std::string le32(uint32_t v) {
    std::string s(4, '\0');
    for (int i = 0; i < 4; ++i) s[size_t(i)] = char((v >> (8 * i)) & 0xFF);
    return s;
}

// An archive's bytes built by hand from (name, content) pairs.
std::string archiveBytes(const std::vector<std::pair<std::string, std::string>>& entries,
                         uint32_t count) {
    std::string bytes = le32(count);
    for (const auto& e : entries) {
        std::string name = e.first;
        name.resize(256, '\0');
        bytes += name + le32(uint32_t(e.second.size())) + e.second;
    }
    return bytes;
}

std::string archiveBytes(const std::vector<std::pair<std::string, std::string>>& entries) {
    return archiveBytes(entries, uint32_t(entries.size()));
}

std::string contentOf(const ArchiveFile* f) {
    return std::string(reinterpret_cast<const char*>(f->data), f->size);
}

const char* kSource = "src/bx/archive.cpp";

} // namespace

TEST(ArchiveReading, LoadsEntriesInFileOrderWithNamesSizesAndBytes) {
    TempDir dir;
    std::string binary("\x00\xff\x10\n\r", 5);
    writeFile(dir / "a.velk", archiveBytes({{"music.mp3", binary},
                                            {"empty", ""},
                                            {"queltwalk/01.png", "walk"}}));
    ScopedChdir here(dir.path());
    Archive archive("a.velk");
    ASSERT_EQ(archive.getNumFiles(), 3u);
    EXPECT_STREQ(archive.getFile(0u)->name, "music.mp3");
    EXPECT_EQ(contentOf(archive.getFile(0u)), binary);
    // An entry of size 0 is followed directly by the next entry.
    EXPECT_EQ(archive.getFile(1u)->size, 0u);
    EXPECT_EQ(contentOf(archive.getFile("queltwalk/01.png")), "walk");
    EXPECT_EQ(archive.getFile(2u), archive.getFile("queltwalk/01.png"));
    EXPECT_EQ(Archive::ms_archive, &archive);
}

TEST(ArchiveReading, ExtraBytesAfterTheLastEntryAreIgnored) {
    TempDir dir;
    writeFile(dir / "a.velk", archiveBytes({{"x", "1"}}) + "trailing garbage");
    ScopedChdir here(dir.path());
    Archive archive("a.velk");
    EXPECT_EQ(archive.getNumFiles(), 1u);
    EXPECT_EQ(contentOf(archive.getFile("x")), "1");
}

TEST(ArchiveLookup, NamesMatchExactlyAndTheFirstDuplicateWins) {
    TempDir dir;
    writeFile(dir / "a.velk", archiveBytes({{"music.mp3", "first"}, {"music.mp3", "second"}}));
    ScopedChdir here(dir.path());
    Archive archive("a.velk");
    EXPECT_EQ(contentOf(archive.getFile("music.mp3")), "first");
    DeathResult r = runInChild([&] { archive.getFile("Music.mp3"); });
    EXPECT_TRUE(r.aborted);
    EXPECT_EQ(r.out, assertionBlock("0", kSource,
                                    sourceLineOf(kSource, "\"Cannot find specified file \""),
                                    "Cannot find specified file Music.mp3"));
}

TEST(ArchiveLookup, LooseFileTakesPrecedenceAndIsReadEveryTime) {
    TempDir dir;
    writeFile(dir / "a.velk", archiveBytes({{"preload.png", "packed"}}));
    writeFile(dir / "preload.png", "loose copy");
    ScopedChdir here(dir.path());
    Archive archive("a.velk");
    const ArchiveFile* loose = archive.getFile("preload.png");
    EXPECT_EQ(contentOf(loose), "loose copy");
    EXPECT_EQ(loose->size, 10u);
    EXPECT_STREQ(loose->name, "preload.png");
    // The record outlives later lookups; a later change of the file is seen
    // by the next lookup.
    writeFile(dir / "preload.png", "changed");
    EXPECT_EQ(contentOf(archive.getFile("preload.png")), "changed");
    EXPECT_EQ(contentOf(loose), "loose copy");
}

TEST(ArchiveLookup, FolderWithTheEntryNameDoesNotHideThePackedEntry) {
    TempDir dir;
    writeFile(dir / "a.velk", archiveBytes({{"logo", "packed"}}));
    writeFile(dir / "logo/01.png", "x");
    ScopedChdir here(dir.path());
    Archive archive("a.velk");
    EXPECT_EQ(contentOf(archive.getFile("logo")), "packed");
}

TEST(ArchiveLookup, EmptyArchiveFindsNothing) {
    TempDir dir;
    writeFile(dir / "a.velk", std::string(4, '\0'));
    ScopedChdir here(dir.path());
    Archive archive("a.velk");
    EXPECT_EQ(archive.getNumFiles(), 0u);
    DeathResult r = runInChild([&] { archive.getFile("preload.png"); });
    EXPECT_TRUE(r.aborted);
    EXPECT_NE(r.out.find("   * message: Cannot find specified file preload.png\n"),
              std::string::npos);
}

TEST(ArchiveLookup, IndexBoundsAreChecked) {
    TempDir dir;
    writeFile(dir / "a.velk", archiveBytes({{"a", "1"}, {"b", "22"}}));
    ScopedChdir here(dir.path());
    Archive archive("a.velk");
    EXPECT_STREQ(archive.getFile(1u)->name, "b");
    DeathResult r = runInChild([&] { archive.getFile(2u); });
    EXPECT_TRUE(r.aborted);
    EXPECT_EQ(r.out, assertionBlock("index < m_nFiles", kSource,
                                    sourceLineOf(kSource, "\"Index out of bounds in archive.\""),
                                    "Index out of bounds in archive."));
}

TEST(ArchiveLookup, NameLongerThan255CharactersStops) {
    TempDir dir;
    writeFile(dir / "a.velk", std::string(4, '\0'));
    ScopedChdir here(dir.path());
    Archive archive("a.velk");
    std::string name(300, 'n');
    DeathResult r = runInChild([&] { archive.getFile(name.c_str()); });
    EXPECT_TRUE(r.aborted);
    EXPECT_NE(r.out.find("File name longer than 255 characters"), std::string::npos);
}

TEST(ArchiveLifetime, MissingFileStopsWithTheExactBlock) {
    TempDir dir;
    ScopedChdir here(dir.path());
    DeathResult r = runInChild([] { Archive archive("tidewane.velk"); });
    EXPECT_TRUE(r.aborted);
    EXPECT_EQ(r.out, assertionBlock("0", kSource,
                                    sourceLineOf(kSource, "\"Cannot open archive \\\"\""),
                                    "Cannot open archive \"tidewane.velk\""));
}

TEST(ArchiveLifetime, SecondArchiveStopsBeforeTouchingTheFileSystem) {
    TempDir dir;
    writeFile(dir / "a.velk", std::string(4, '\0'));
    ScopedChdir here(dir.path());
    Archive first("a.velk");
    // The second path does not exist: the single-instance check comes first.
    DeathResult r = runInChild([] { Archive second("missing.velk"); });
    EXPECT_TRUE(r.aborted);
    EXPECT_EQ(r.out, assertionBlock("ms_archive == 0", kSource,
                                    sourceLineOf(kSource, "An archive has already been created."),
                                    "An archive has already been created."));
}

TEST(ArchiveLifetime, DestructorClearsTheInstanceSoAnotherCanFollow) {
    TempDir dir;
    writeFile(dir / "a.velk", std::string(4, '\0'));
    ScopedChdir here(dir.path());
    { Archive first("a.velk"); }
    EXPECT_EQ(Archive::ms_archive, nullptr);
    Archive second("a.velk");
    EXPECT_EQ(Archive::ms_archive, &second);
}

namespace {

// Each of these is cut or bent so that a count or a size runs past the end of
// the file, or a name has no end.
std::vector<std::pair<std::string, std::string>> malformedArchives() {
    std::string good = archiveBytes({{"a.png", "0123456789"}, {"b.png", "xyz"}});
    std::string noTerminator = le32(1) + std::string(256, 'n') + le32(0);
    return {
        {"shorter than the count", "\x01\x00"},
        {"count past the end", le32(0xFFFFFFFFu)},
        {"count one too many", archiveBytes({{"a", "1"}}, 2)},
        {"cut inside a header", good.substr(0, 4 + 100)},
        {"cut inside content", good.substr(0, good.size() - 1)},
        {"size past the end", le32(1) + std::string(256, '\0').replace(0, 1, "a") + le32(1000) + "x"},
        {"name without terminator", noTerminator},
    };
}

} // namespace

// Loading must stop with a clear message instead of reading beyond the end.
TEST(ArchiveMalformed, TruncatedOrMalformedArchivesStopWithAClearMessage) {
    for (const auto& c : malformedArchives()) {
        SCOPED_TRACE(c.first);
        TempDir dir;
        writeFile(dir / "bad.velk", c.second);
        ScopedChdir here(dir.path());
        DeathResult r = runInChild([] { Archive archive("bad.velk"); });
        EXPECT_TRUE(r.aborted);
        EXPECT_NE(r.out.find("   * message: Archive \"bad.velk\" is truncated or malformed"),
                  std::string::npos)
            << r.out;
    }
}

TEST(ArchiveMalformed, ReaderRejectsWithoutAllocatingFromTheCount) {
    // A count of four billion entries in an eight-byte file: rejected from
    // the file's length before anything is reserved.
    std::string bytes = le32(0xFFFFFFF0u) + "abcd";
    FILE* f = fmemopen(&bytes[0], bytes.size(), "rb");
    ASSERT_NE(f, nullptr);
    Bx::ArchiveContents contents = Bx::readArchiveEntries(f, bytes.size());
    fclose(f);
    EXPECT_TRUE(contents.files.empty());
    EXPECT_NE(contents.error.find("needs more bytes than the file holds"), std::string::npos);
}

// The browser reads the archive as it downloads: in pieces of any size, with
// its length known or not, the reader finds the whole reading's entries, and
// its message for every malformed file.
TEST(ArchiveStreaming, PiecesGiveTheWholeReadingsEntriesAndMessages) {
    std::vector<std::pair<std::string, std::string>> cases = malformedArchives();
    cases.push_back({"good", archiveBytes({{"a.png", "0123456789"}, {"e", ""}, {"c", "xyz"}}) + "tail"});
    for (auto& c : cases) {
        FILE* f = fmemopen(&c.second[0], c.second.size(), "rb");
        ASSERT_NE(f, nullptr);
        Bx::ArchiveContents whole = Bx::readArchiveEntries(f, c.second.size());
        fclose(f);
        for (size_t piece : {size_t(1), size_t(7), size_t(4096)}) {
            for (bool known : {true, false}) {
                SCOPED_TRACE(c.first + ", pieces of " + std::to_string(piece) +
                             (known ? ", length known" : ", length unknown"));
                Bx::ArchiveReader reader(known ? c.second.size() : Bx::ArchiveReader::kUnknownLength);
                const auto* bytes = reinterpret_cast<const unsigned char*>(c.second.data());
                for (size_t at = 0; at < c.second.size(); at += piece)
                    reader.feed(bytes + at, std::min(piece, c.second.size() - at));
                reader.end();
                EXPECT_EQ(reader.error(), whole.error);
                ASSERT_EQ(reader.files().size(), whole.files.size());
                for (size_t i = 0; i < whole.files.size(); ++i) {
                    EXPECT_STREQ(reader.files()[i]->name, whole.files[i]->name);
                    EXPECT_EQ(contentOf(reader.files()[i]), contentOf(whole.files[i]));
                }
            }
        }
        Bx::releaseArchiveFiles(whole.files);
    }
}

// An archive still arriving waits in a lookup for the entry's bytes, and
// stops as a whole reading does once its bytes turn out malformed.
TEST(ArchiveStreaming, LookupsWaitForTheirEntryAndDamageStops) {
    TempDir dir;
    ScopedChdir here(dir.path());
    const std::string bytes = archiveBytes({{"preload.png", "pre"}, {"music.mp3", "mp3"}});
    size_t sent = 0;
    std::unique_ptr<Archive> archive;
    archive.reset(new Archive("tidewane.velk", bytes.size(), [&] {
        archive->feed(reinterpret_cast<const unsigned char*>(bytes.data()) + sent, 10);
        sent += 10;
        if (sent >= bytes.size()) archive->feedEnd();
    }));
    EXPECT_FALSE(archive->arrived("preload.png"));
    EXPECT_EQ(contentOf(archive->getFile("preload.png")), "pre");
    EXPECT_LT(sent, bytes.size());
    EXPECT_FALSE(archive->arrived("music.mp3"));
    EXPECT_EQ(contentOf(archive->getFile("music.mp3")), "mp3");
    EXPECT_EQ(archive->findFile("absent"), nullptr);
    EXPECT_TRUE(archive->fed());
    archive.reset();

    DeathResult r = runInChild([] {
        Archive damaged("tidewane.velk", Bx::ArchiveReader::kUnknownLength, [] {});
        const std::string noEnd = le32(1) + std::string(256, 'n') + le32(0);
        damaged.feed(reinterpret_cast<const unsigned char*>(noEnd.data()), noEnd.size());
    });
    EXPECT_TRUE(r.aborted);
    EXPECT_NE(r.out.find("   * message: Archive \"tidewane.velk\" is truncated or malformed: the "
                         "name of entry 0 has no terminating NUL"),
              std::string::npos)
        << r.out;
}
