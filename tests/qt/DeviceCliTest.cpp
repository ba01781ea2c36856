// "pagewick device" run as a person would: the reader installed into a device folder, a book
// sent, the reader removed; failures on standard error with status 1.
#include <gtest/gtest.h>

#include <cstdlib>
#include <filesystem>

#include "RunTool.h"
#include "support/fixtures.h"

namespace pagewick {
namespace {
namespace fs = std::filesystem;

TEST(DeviceCli, InstallSendUninstallAndTheirFailures) {
    const test::DeviceFolders folders(
        {"WickpadPPC.exe.device", "WickpadPPC.lnk.device", "Pagewick Help.pawk"});
    const test::TempDir& dir = folders.dir;
    const fs::path &device = folders.device, &program = folders.program;
    test::WriteFileText(dir / "story.pawk", "book");
    const std::string from = " --from '" + program.string() + "'";
    int status = -1;

    std::string out = test::RunTool("device install pocketpc" + from, status, true);
    EXPECT_EQ(status, 0) << out;
    EXPECT_EQ(out, "Pagewick: Pagewick has been installed on your PocketPC device.\n");
    EXPECT_TRUE(fs::exists(device / "Windows/Start Menu/Programs/Pagewick.lnk"));

    out = test::RunTool("device install smartphone" + from, status, true);
    EXPECT_EQ(status, 1);
    EXPECT_NE(out.find("The required files are missing from this installation."),
              std::string::npos);

    out = test::RunTool("device send '" + (dir / "story.pawk").string() + "'", status, true);
    EXPECT_EQ(status, 0) << out;
    EXPECT_EQ(test::ReadFileText(device / "My Documents/story.pawk"), "book");

    out = test::RunTool("device uninstall", status, true);
    EXPECT_EQ(status, 0) << out;
    EXPECT_NE(out.find("Pagewick: Pagewick has been removed from your device.\n"),
              std::string::npos);
    EXPECT_FALSE(fs::exists(device / "Program Files/Pagewick"));

    setenv("PAGEWICK_DEVICE_ROOT", (dir / "unplugged").c_str(), 1);
    out = test::RunTool("device send '" + (dir / "story.pawk").string() + "'", status, true);
    EXPECT_EQ(status, 1);
    EXPECT_EQ(out, "Pagewick: Could not contact mobile device.\nIs device Connected?\n");
    unsetenv("PAGEWICK_DEVICE_ROOT");

    test::RunTool("device install", status, true);
    EXPECT_EQ(status, 1);
}

// The builds made for Wickpad's two profiles ship beside the desktop program with the help book.
TEST(DeviceCli, ReaderBuildsAreMadeFromTheProfiles) {
    const fs::path desktop = fs::path(PAGEWICK_CLI).parent_path().parent_path() / "desktop";
    EXPECT_NE(test::ReadFileText(desktop / "WickpadPPC.exe.device").find("--profile touch"),
              std::string::npos);
    EXPECT_NE(test::ReadFileText(desktop / "WickpadSP.lnk.device")
                  .find("Exec=wickpad --profile keys %f\n"),
              std::string::npos);
    EXPECT_NE(fs::status(desktop / "WickpadSP.exe.device").permissions() & fs::perms::owner_exec,
              fs::perms::none);
    EXPECT_TRUE(fs::exists(desktop / "Pagewick Help.pawk"));
}

}  // namespace
}  // namespace pagewick
