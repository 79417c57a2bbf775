// The one rule by which both front ends decide whether a script's "shell" text is a program.
#include <gtest/gtest.h>

#include <sys/stat.h>

#include <filesystem>
#include <fstream>

#include "automation/shell_program.h"
#include "support/fake_platform.h"

namespace sorv::test {
namespace {

void MakeFile(const std::string& path, bool executable) {
    std::ofstream(path) << "#!/bin/sh\n";
    ::chmod(path.c_str(), executable ? 0755 : 0644);
}

TEST(ShellProgram, PathsAndNamesOnTheSearchPathNameExecutableFilesOnly) {
    TempDir dir;
    std::filesystem::create_directories(dir.file("bin"));
    std::filesystem::create_directories(dir.file("later"));
    MakeFile(dir.file("bin/tune rx"), true);  // spaces belong to the name
    MakeFile(dir.file("bin/notes"), false);
    MakeFile(dir.file("later/notes"), true);
    MakeFile(dir.file("later/tune rx"), true);
    std::filesystem::create_directories(dir.file("bin/folder"));
    const std::string path = dir.file("missing") + ":" + dir.file("bin") + ":" + dir.file("later");

    // A name is looked up in the search path, first entry first, skipping what cannot run.
    EXPECT_EQ(ProgramForShellText("tune rx", path), dir.file("bin/tune rx"));
    EXPECT_EQ(ProgramForShellText("notes", path), dir.file("later/notes"));
    EXPECT_EQ(ProgramForShellText("folder", path), "");
    EXPECT_EQ(ProgramForShellText("absent", path), "");
    EXPECT_EQ(ProgramForShellText("", path), "");
    // A text with a '/' is a path, never looked up.
    EXPECT_EQ(ProgramForShellText(dir.file("bin/tune rx"), ""), dir.file("bin/tune rx"));
    EXPECT_EQ(ProgramForShellText(dir.file("bin/notes"), path), "");
    EXPECT_EQ(ProgramForShellText(dir.file("bin/folder"), path), "");
    EXPECT_EQ(ProgramForShellText("bin/tune rx", dir.file("bin")), "") << "relative to the working directory";
    // A document is no program: the desktop opener gets it.
    EXPECT_EQ(ProgramForShellText("https://example.org/beacons", path), "");
}

}  // namespace
}  // namespace sorv::test
