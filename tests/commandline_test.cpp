// The show's command line and where it finds its archive: the choices apart
// from any window, and the built program run without a display.

#include "support/files.h"

#include "commandline.h"
#include "locate.h"

#include <gtest/gtest.h>

#include <regex>
#include <sys/stat.h>

namespace {

using Action = CommandLine::Action;

CommandLine parse(std::vector<std::string> args) {
    return parseCommandLine(args);
}

} // namespace

TEST(CommandLine, EachFlagSetsItsSettingAndSkipsTheDialog) {
    const LaunchSettings defaults = defaultLaunchSettings();
    CommandLine none = parse({});
    EXPECT_EQ(none.action, Action::Dialog);
    EXPECT_EQ(none.settings.width, defaults.width);

    CommandLine full = parse({"--fullscreen"});
    EXPECT_EQ(full.action, Action::Direct);
    EXPECT_EQ(full.settings.windowed, 0);
    EXPECT_EQ(full.settings.width, 640);
    EXPECT_EQ(full.settings.height, 400);

    CommandLine window = parse({"--windowed"});
    EXPECT_EQ(window.action, Action::Direct);
    EXPECT_EQ(window.settings.windowed, 1);

    CommandLine party = parse({"--size", "1920x1080", "--fullscreen"});
    EXPECT_EQ(party.action, Action::Direct);
    EXPECT_EQ(party.settings.width, 1920);
    EXPECT_EQ(party.settings.height, 1080);
    EXPECT_EQ(party.settings.windowed, 0);
    // What the dialog would have kept stays as the defaults.
    EXPECT_EQ(party.settings.bitsPerPixel, defaults.bitsPerPixel);

    EXPECT_EQ(parse({"--fullscreen", "--help"}).action, Action::Help);
    EXPECT_EQ(parse({"--version", "--bogus"}).action, Action::Version);
}

TEST(CommandLine, BadOptionsAndSizesAreErrors) {
    for (const std::vector<std::string>& args :
         std::vector<std::vector<std::string>>{{"--bogus"}, {"show"}, {"--size"}, {"--size", "640"},
                                               {"--size", "0x400"}, {"--size", "640x-4"},
                                               {"--size", "99999x400"}, {"--size", "640x400x2"},
                                               {"--fullscreen", "--windowed"}}) {
        CommandLine line = parse(args);
        EXPECT_EQ(line.action, Action::Error) << args.back();
        EXPECT_FALSE(line.error.empty()) << args.back();
    }
}

TEST(CommandLine, TheProgramAnswersWithoutADisplayAndOpensNothingOnBadOptions) {
    const std::string show = "DISPLAY= " + builtProgram("tidewane");
    CommandResult r = runCommand(show + " --version");
    EXPECT_EQ(r.exitStatus, 0);
    EXPECT_EQ(r.out, versionText() + "\n");
    EXPECT_TRUE(std::regex_match(
        r.out, std::regex("tidewane [0-9]+\\.[0-9]+\\.[0-9]+\n[^\n]*MIT licence[^\n]*\n")))
        << r.out;
    r = runCommand(show + " --help");
    EXPECT_EQ(r.exitStatus, 0);
    EXPECT_NE(r.out.find("--fullscreen"), std::string::npos) << r.out;
    // Without a display anything that opened a dialog or a window would end
    // with status 1 and say so; a bad option ends with 2 and the usage.
    for (const char* bad : {" --size 640", " --fulscreen", " --fullscreen --windowed"}) {
        r = runCommand(show + bad);
        EXPECT_EQ(r.exitStatus, 2) << bad;
        EXPECT_NE(r.err.find("usage: tidewane"), std::string::npos) << bad << ": " << r.err;
        EXPECT_EQ(r.err.find("windowing system"), std::string::npos) << r.err;
        EXPECT_TRUE(r.out.empty()) << r.out;
    }
}

TEST(ArchiveSearch, TheWorkingFolderWinsThenBesideTheProgramThenTheDataFolder) {
    TempDir work, program, data;
    writeFile(program / "tidewane.velk", "beside");
    writeFile(data / "tidewane.velk", "installed");
    const std::vector<std::string> candidates =
        archiveCandidates("tidewane.velk", {program.path(), "", data.path()});
    ASSERT_EQ(candidates.size(), 3u);
    ScopedChdir here(work.path());
    EXPECT_EQ(firstReadable(candidates, "tidewane.velk"), program / "tidewane.velk");
    writeFile(work / "tidewane.velk", "here");
    EXPECT_EQ(firstReadable(candidates, "tidewane.velk"), "tidewane.velk");
    // A folder of that name is not the archive.
    ASSERT_EQ(std::remove((work / "tidewane.velk").c_str()), 0);
    ASSERT_EQ(mkdir((work / "tidewane.velk").c_str(), 0755), 0);
    ASSERT_EQ(std::remove((program / "tidewane.velk").c_str()), 0);
    EXPECT_EQ(firstReadable(candidates, "tidewane.velk"), data / "tidewane.velk");
    ASSERT_EQ(std::remove((data / "tidewane.velk").c_str()), 0);
    EXPECT_EQ(firstReadable(candidates, "tidewane.velk"), "tidewane.velk");
}

TEST(ArchiveSearch, TheCaptureFindsTheArchiveBesideItFromAnyFolder) {
    // The built archive lies beside the built programs; this folder has none.
    TempDir elsewhere;
    CommandResult r = runCommand("cd " + elsewhere.path() + " && DISPLAY= " +
                                 builtProgram("tidewane-capture") +
                                 " --size 16x10 --fps 4 --to 0.25 --out frames");
    EXPECT_EQ(r.exitStatus, 0) << r.err;
    EXPECT_TRUE(fileExists(elsewhere / "frames/frame-000000.png"));
}
