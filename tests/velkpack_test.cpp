#include "bx/archive.h"
#include "commandline.h"
#include "support/death.h"
#include "support/files.h"

#include <gtest/gtest.h>

#include <dirent.h>

namespace {

std::string velkpack(const std::string& args) {
    return "'" + builtProgram("velkpack") + "' " + args;
}

std::string le32(uint32_t v) {
    std::string s(4, '\0');
    for (int i = 0; i < 4; ++i) s[size_t(i)] = char((v >> (8 * i)) & 0xFF);
    return s;
}

std::vector<std::string> folderEntries(const std::string& path) {
    std::vector<std::string> names;
    if (DIR* d = opendir(path.c_str())) {
        while (dirent* e = readdir(d)) {
            std::string n = e->d_name;
            if (n != "." && n != "..") names.push_back(n);
        }
        closedir(d);
    }
    return names;
}

} // namespace

TEST(Packer, WorkedExamplesMatchByteForByte) {
    TempDir dir;
    ScopedChdir here(dir.path());
    writeFile(dir / "empty.list", "0\n");
    CommandResult r = runCommand(velkpack("pack empty.list empty.velk"));
    ASSERT_EQ(r.exitStatus, 0) << r.err;
    EXPECT_EQ(readFile(dir / "empty.velk"), std::string(4, '\0'));

    writeFile(dir / "a.txt", "abc");
    writeFile(dir / "one.list", "1\na.txt\n");
    r = runCommand(velkpack("pack one.list one.velk"));
    ASSERT_EQ(r.exitStatus, 0) << r.err;
    std::string expected = std::string("\x01\x00\x00\x00", 4) + "a.txt" + std::string(251, '\0') +
                           std::string("\x03\x00\x00\x00", 4) + "abc";
    ASSERT_EQ(expected.size(), 267u);
    EXPECT_EQ(readFile(dir / "one.velk"), expected);
}

TEST(Packer, RoundTripsAFolderByteForByte) {
    TempDir dir;
    ScopedChdir here(dir.path());
    std::string longName = "deep/" + std::string(248, 'x'); // 253 characters
    std::vector<std::pair<std::string, std::string>> files = {
        {"music.mp3", randomBytes(200000, 1)},
        {"queltwalk/01.png", randomBytes(1234, 2)},
        {"lyrics/00.png", ""},
        {"with space.bin", randomBytes(70000, 3)},
        {longName, "long name"},
    };
    std::string list = std::to_string(files.size()) + "\n";
    for (size_t i = 0; i < files.size(); ++i) {
        writeFile(dir / files[i].first, files[i].second);
        list += files[i].first;
        if (i + 1 < files.size()) list += "\n"; // the last line has no line end
    }
    writeFile(dir / "files.list", list);

    CommandResult r = runCommand(velkpack("pack files.list out.velk"));
    ASSERT_EQ(r.exitStatus, 0) << r.err;

    r = runCommand(velkpack("list out.velk"));
    ASSERT_EQ(r.exitStatus, 0) << r.err;
    std::string expectedListing;
    for (const auto& f : files) expectedListing += f.first + "\t" + std::to_string(f.second.size()) + "\n";
    EXPECT_EQ(r.out, expectedListing);

    r = runCommand(velkpack("extract out.velk unpacked"));
    ASSERT_EQ(r.exitStatus, 0) << r.err;
    for (const auto& f : files) EXPECT_EQ(readFile(dir / ("unpacked/" + f.first)), f.second) << f.first;

    // The name field of the 253-character name ends in zero bytes.
    std::string archive = readFile(dir / "out.velk");
    size_t pos = archive.find(longName);
    ASSERT_NE(pos, std::string::npos);
    EXPECT_EQ(archive.substr(pos + 253, 3), std::string(3, '\0'));

    // And the engine reads back what the tool wrote.
    Bx::Archive loaded("out.velk");
    ASSERT_EQ(loaded.getNumFiles(), files.size());
    for (size_t i = 0; i < files.size(); ++i) {
        EXPECT_STREQ(loaded.getFile(unsigned(i))->name, files[i].first.c_str());
        EXPECT_EQ(loaded.getFile(unsigned(i))->size, files[i].second.size());
    }
}

TEST(Packer, WindowsLineEndsAndDuplicateNamesArePacked) {
    TempDir dir;
    ScopedChdir here(dir.path());
    writeFile(dir / "a.png", "A");
    writeFile(dir / "b.png", "BB");
    writeFile(dir / "dup.list", "3\r\na.png\r\nb.png\r\na.png\r\n");
    CommandResult r = runCommand(velkpack("pack dup.list dup.velk"));
    ASSERT_EQ(r.exitStatus, 0) << r.err;
    r = runCommand(velkpack("list dup.velk"));
    EXPECT_EQ(r.out, "a.png\t1\nb.png\t2\na.png\t1\n");
}

// Each broken packing list is reported, exits 1, and leaves the archive that
// was already at the target exactly as it was, with no temporary file beside.
TEST(Packer, FailuresLeaveAnExistingArchiveUntouched) {
    TempDir dir;
    ScopedChdir here(dir.path());
    writeFile(dir / "a.png", "A");
    std::string precious = std::string(4, '\0');
    struct Case {
        const char* what;
        std::string list;     // "<none>": no list file at all
        std::string message;  // expected in standard error
    };
    const std::vector<Case> cases = {
        {"missing list", "<none>", "cannot open packing list"},
        {"empty list", "", "is empty: it has no count line"},
        {"missing listed file", "2\na.png\nmissing.png\n",
         "Cannot find file \"missing.png\" to add to archive."},
        {"path too long", "1\n" + std::string(254, 'p') + "\n", "at most 253"},
        {"count too high", "2\na.png\n", "says 2 but it lists 1"},
        {"count too low", "0\na.png\n", "says 0 but it lists 1"},
        {"empty path line", "2\na.png\n\n", "Cannot find file \"\" to add to archive."},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.what);
        writeFile(dir / "target.velk", precious);
        unlink((dir / "x.list").c_str());
        if (c.list != "<none>") writeFile(dir / "x.list", c.list);
        CommandResult r = runCommand(velkpack("pack x.list target.velk"));
        EXPECT_EQ(r.exitStatus, 1);
        EXPECT_NE(r.err.find(c.message), std::string::npos) << r.err;
        EXPECT_EQ(readFile(dir / "target.velk"), precious);
        for (const std::string& name : folderEntries(dir.path()))
            EXPECT_EQ(name.find("target.velk.tmp"), std::string::npos) << name;
    }
}

TEST(Packer, PackingStopsWithTheFatalAssertionForAMissingListedFile) {
    TempDir dir;
    ScopedChdir here(dir.path());
    writeFile(dir / "x.list", "1\nnothere.png\n");
    writeFile(dir / "target.velk", "old");
    DeathResult r = runInChild([] { Bx::Archive::pack("x.list", "target.velk"); });
    EXPECT_TRUE(r.aborted);
    const char* source = "src/bx/archive.cpp";
    EXPECT_EQ(r.out, assertionBlock("f != NULL", source,
                                    sourceLineOf(source, "to add to archive."),
                                    "Cannot find file \"nothere.png\" to add to archive."));
    EXPECT_EQ(readFile(dir / "target.velk"), "old");
}

TEST(Packer, UnwritableTargetIsReported) {
    TempDir dir;
    ScopedChdir here(dir.path());
    writeFile(dir / "a.png", "A");
    writeFile(dir / "x.list", "1\na.png\n");
    CommandResult r = runCommand(velkpack("pack x.list no/such/folder/out.velk"));
    EXPECT_EQ(r.exitStatus, 1);
    EXPECT_NE(r.err.find("velkpack: "), std::string::npos);
}

TEST(Extractor, RefusesNamesThatEscapeTheTargetFolder) {
    for (std::string bad : {"../evil.txt", "/tmp/tidewane-evil.txt", "a/../../evil.txt", "dir/"}) {
        SCOPED_TRACE(bad);
        TempDir dir;
        ScopedChdir here(dir.path());
        std::string name = bad;
        name.resize(256, '\0');
        writeFile(dir / "bad.velk", le32(2) + std::string("ok.txt").append(250, '\0') + le32(2) +
                                        "ok" + name + le32(4) + "evil");
        CommandResult r = runCommand(velkpack("extract bad.velk out"));
        EXPECT_EQ(r.exitStatus, 1);
        EXPECT_NE(r.err.find("refusing entry \"" + bad + "\""), std::string::npos) << r.err;
        EXPECT_FALSE(fileExists(dir / "evil.txt"));
        EXPECT_FALSE(fileExists("/tmp/tidewane-evil.txt"));
        // Nothing at all is written when one entry is refused.
        EXPECT_FALSE(fileExists(dir / "out/ok.txt"));
    }
}

TEST(Extractor, MalformedArchiveIsReportedNotCrashedOn) {
    TempDir dir;
    ScopedChdir here(dir.path());
    writeFile(dir / "cut.velk", le32(3) + "short");
    for (const char* command : {"list cut.velk", "extract cut.velk out", "list missing.velk"}) {
        CommandResult r = runCommand(velkpack(command));
        EXPECT_EQ(r.exitStatus, 1) << command;
        EXPECT_NE(r.err.find("velkpack: "), std::string::npos) << command;
        EXPECT_TRUE(r.out.empty()) << command;
    }
}

TEST(Velkpack, HelpVersionAndUsage) {
    CommandResult r = runCommand(velkpack("--help"));
    EXPECT_EQ(r.exitStatus, 0);
    EXPECT_NE(r.out.find("velkpack pack LIST ARCHIVE"), std::string::npos);
    // The same two lines as the show's, with the build's version.
    r = runCommand(velkpack("--version"));
    EXPECT_EQ(r.exitStatus, 0);
    EXPECT_EQ(r.out, versionText("velkpack") + "\n");
    r = runCommand(velkpack("frobnicate"));
    EXPECT_EQ(r.exitStatus, 1);
    EXPECT_NE(r.err.find("usage:"), std::string::npos);
}
