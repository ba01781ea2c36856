// The handheld link: the link's calls through a recording library, and install, removal and
// sending through the project's folder-backed library over temporary folders.
#include <dlfcn.h>
#include <gtest/gtest.h>
#include <sys/resource.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <chrono>
#include <csignal>
#include <cstdlib>
#include <filesystem>

#include "devicelink/DeviceTransfer.h"
#include "platform/SettingsStore.h"
#include "support/ScriptedHost.h"
#include "support/fixtures.h"

namespace pagewick {
namespace {

namespace fs = std::filesystem;
using test::ScriptedHost;
using test::TempDir;

// The recording library, as the link would load it from the system folder.
struct Recording {
    ScriptedHost host;
    CTolvarRAPI link{&host, PAGEWICK_RECORDING_PROVIDER, ""};
    void* handle = dlopen(PAGEWICK_RECORDING_PROVIDER, RTLD_NOW | RTLD_NOLOAD);
    explicit Recording(int mode) { Call<void (*)(int)>("RecordingReset")(mode); }
    ~Recording() {
        if (handle) dlclose(handle);
    }
    template <typename F>
    F Call(const char* name) {
        return reinterpret_cast<F>(dlsym(handle, name));
    }
    std::string Log() { return Call<const char* (*)()>("RecordingLog")(); }
    long FileSize(const std::u16string& path) {
        return Call<long (*)(const char16_t*)>("RecordingFileSize")(path.c_str());
    }
};

TEST(DeviceLinkTest, CopyWritesWholeBlocksThenCutsAndClosesTheFile) {
    Recording r(0);
    ASSERT_TRUE(r.link.IsLoaded());
    TempDir dir;
    test::WriteFileText(dir / "big.pawk", std::string(25000, 'x'));
    ASSERT_TRUE(r.link.CopyToDevice((dir / "big.pawk").string(), "\\My Documents\\big.pawk"));
    EXPECT_EQ(r.Log(),
              "CeRapiInitEx 12\n"
              "CeCreateFile \\My Documents\\big.pawk 3221225472 0 4\n"
              "CeWriteFile 10240\nCeWriteFile 10240\nCeWriteFile 4520\n"
              "CeSetEndOfFile\nCeCloseHandle\nCeRapiUninit\n");
    EXPECT_TRUE(r.host.Messages.empty());

    // One byte over a megabyte of the same name leaves one byte.
    test::WriteFileText(dir / "big.pawk", std::string(1 << 20, 'y'));
    ASSERT_TRUE(r.link.CopyToDevice((dir / "big.pawk").string(), "\\My Documents\\big.pawk"));
    test::WriteFileText(dir / "big.pawk", "z");
    ASSERT_TRUE(r.link.CopyToDevice((dir / "big.pawk").string(), "\\My Documents\\big.pawk"));
    EXPECT_EQ(r.FileSize(u"\\My Documents\\big.pawk"), 1);

    // A desktop file that is not there is reported before the device is asked.
    EXPECT_FALSE(r.link.CopyToDevice((dir / "none.pawk").string(), "\\x"));
    EXPECT_EQ(r.host.MessageTexts().back(), CTolvarRAPI::kCopyFailed);
}

TEST(DeviceLinkTest, ADeviceThatDoesNotAnswerIsGivenUpAfterFiveMilliseconds) {
    for (int mode : {1, 2}) {  // never answers; refuses
        Recording r(mode);
        auto started = std::chrono::steady_clock::now();
        EXPECT_FALSE(r.link.CreateDeviceFolder("\\Program Files\\Pagewick"));
        auto waited = std::chrono::steady_clock::now() - started;
        EXPECT_FALSE(r.link.DeleteDeviceFile("\\a"));
        EXPECT_FALSE(r.link.CopyToDevice("/proc/self/exe", "\\a"));
        EXPECT_EQ(r.host.MessageTexts(), std::vector<std::string>(3, CTolvarRAPI::kNotConnected));
        // Every attempt is closed again, the one that timed out too.
        EXPECT_EQ(r.Log(), std::string("CeRapiInitEx 12\nCeRapiUninit\n") +
                               "CeRapiInitEx 12\nCeRapiUninit\nCeRapiInitEx 12\nCeRapiUninit\n");
        if (mode == 1) {
            EXPECT_GE(waited, std::chrono::milliseconds(4));
        }
    }
}

TEST(DeviceLinkTest, MissingLibrariesAndEntryPoints) {
    ScriptedHost host;
    CTolvarRAPI none(&host, "/nonexistent/librapi.so", "librapi-nonexistent.so");
    EXPECT_FALSE(none.IsLoaded());
    EXPECT_FALSE(none.CopyToDevice("/proc/self/exe", "\\a"));
    EXPECT_FALSE(none.RemoveDeviceFolder("\\a"));
    EXPECT_EQ(host.MessageTexts(), std::vector<std::string>(2, CTolvarRAPI::kNotConnected));

    // A library that lacks most names: loaded, the missing ones null, each operation failing
    // with its own message rather than calling nothing.
    host.Messages.clear();
    CTolvarRAPI partial(&host, PAGEWICK_PARTIAL_PROVIDER_PATH, "");
    ASSERT_TRUE(partial.IsLoaded());
    EXPECT_NE(partial.CeRapiInitEx, nullptr);
    EXPECT_EQ(partial.CeCreateFile, nullptr);
    EXPECT_EQ(partial.CeDeleteFile, nullptr);
    EXPECT_EQ(partial.CeRapiInit, nullptr);
    EXPECT_TRUE(partial.CreateDeviceFolder("\\Program Files"));
    EXPECT_FALSE(partial.CopyToDevice("/proc/self/exe", "\\a"));
    EXPECT_FALSE(partial.DeleteDeviceFile("\\a"));
    EXPECT_FALSE(partial.DeleteDeviceFileQuietly("\\a"));
    EXPECT_EQ(host.MessageTexts(),
              (std::vector<std::string>{CTolvarRAPI::kCopyFailed, CTolvarRAPI::kDeleteFailed}));

    // Not in the system folder, found on the library search path (the program's run path).
    CTolvarRAPI searched(&host, "/nonexistent/librapi.so", CTolvarRAPI::kLibraryName);
    EXPECT_TRUE(searched.IsLoaded());
    EXPECT_NE(searched.CeDeleteFile, nullptr);
}

TEST(DeviceLinkTest, BookNamesStayOneEntryOfTheDocumentsFolder) {
    EXPECT_EQ(CDeviceTransfer::DeviceBookPath("/home/a/Books/story.pawk"),
              "\\My Documents\\story.pawk");
    EXPECT_EQ(CDeviceTransfer::DeviceBookPath("/b/..\\..\\Windows\\x.pawk"),
              "\\My Documents\\.._.._Windows_x.pawk");
    EXPECT_EQ(CDeviceTransfer::DeviceBookPath("/b/a:b?.txt"), "\\My Documents\\a_b_.txt");
    EXPECT_EQ(CDeviceTransfer::DeviceBookPath("/b/"), "");
    EXPECT_EQ(CDeviceTransfer::DeviceBookPath("/b/.."), "");
    // Names reach the library as UTF-16; bytes that are not UTF-8 read as Windows-1252.
    EXPECT_EQ(DevicePathToWide("\\caf\xC3\xA9 \x80\xE9 \xF0\x9F\x93\x96"),
              u"\\caf\u00E9 \u20AC\u00E9 \U0001F4D6");
}

// The project's provider over a temporary device folder, with the reader builds shipped in a
// program folder of their own.
struct FolderDevice : ::testing::Test {
    TempDir dir;
    fs::path device = dir / "device", program = dir / "program", books = dir / "Books";
    ScriptedHost host;
    CDeviceTransfer transfer{host, program};

    void SetUp() override {
        fs::create_directories(device);
        fs::create_directories(program);
        fs::create_directories(books);
        for (const char* name : {"WickpadPPC.exe.device", "WickpadPPC.lnk.device",
                                 "WickpadSP.exe.device", "WickpadSP.lnk.device", kHelpBookFile})
            test::WriteFileText(program / name, std::string("contents of ") + name);
        setenv("PAGEWICK_DEVICE_ROOT", device.c_str(), 1);
    }
    void TearDown() override { unsetenv("PAGEWICK_DEVICE_ROOT"); }
    std::string Last() { return host.Messages.empty() ? "" : host.Messages.back().text; }
    // Every file below the device folder, as "a/b/c".
    std::vector<std::string> Files() {
        std::vector<std::string> files;
        for (auto& e : fs::recursive_directory_iterator(device))
            if (!e.is_directory()) files.push_back(fs::relative(e.path(), device).string());
        std::sort(files.begin(), files.end());
        return files;
    }
};

TEST_F(FolderDevice, InstallBothBuildsThenUninstallTwice) {
    ASSERT_TRUE(transfer.LinkAvailable());
    ASSERT_TRUE(transfer.InstallPocketPC());
    EXPECT_EQ(Last(), "Pagewick has been installed on your PocketPC device.");
    ASSERT_TRUE(transfer.InstallSmartphone());
    EXPECT_EQ(Last(), "Pagewick has been installed on your Smartphone device.");
    EXPECT_EQ(Files(), (std::vector<std::string>{
                           "Program Files/Pagewick/Pagewick Help.pawk",
                           "Program Files/Pagewick/WickpadPPC.exe",
                           "Program Files/Pagewick/WickpadSP.exe",
                           "Windows/Start Menu/Pagewick.lnk",
                           "Windows/Start Menu/Programs/Pagewick.lnk",
                       }));
    EXPECT_EQ(test::ReadFileText(device / "Windows/Start Menu/Pagewick.lnk"),
              "contents of WickpadSP.lnk.device");
    EXPECT_EQ(test::ReadFileText(device / "Program Files/Pagewick/WickpadPPC.exe"),
              "contents of WickpadPPC.exe.device");
    EXPECT_TRUE(host.WaitCursorBalanced());

    for (int round = 0; round < 2; ++round) {
        host.Messages.clear();
        EXPECT_TRUE(transfer.UninstallFromDevice());
        EXPECT_EQ(host.MessageTexts(),
                  (std::vector<std::string>{CDeviceTransfer::kUninstallQuestion,
                                            CDeviceTransfer::kRemoved}));
        EXPECT_TRUE(Files().empty());
        EXPECT_FALSE(fs::exists(device / "Program Files/Pagewick"));
    }
    // Cancelled: nothing is asked of the device.
    host.Answers.push_back(MessageAnswer::Cancel);
    host.Messages.clear();
    EXPECT_TRUE(transfer.UninstallFromDevice());
    EXPECT_EQ(host.Messages.size(), 1u);
}

TEST_F(FolderDevice, SendingMatchesNamesWithoutCaseAndReplacesWholeFiles) {
    // The device's own folder in another case is the documents folder.
    fs::create_directories(device / "my documents");
    test::WriteFileText(device / "my documents/STORY.PAWK", std::string(1 << 20, 'o'));
    test::WriteFileText(books / "story.pawk", "n");
    ASSERT_TRUE(transfer.SendBookToDevice((books / "story.pawk").string()));
    EXPECT_EQ(Last(), CDeviceTransfer::kSent);
    EXPECT_EQ(Files(), std::vector<std::string>{"my documents/STORY.PAWK"});
    EXPECT_EQ(test::ReadFileText(device / "my documents/STORY.PAWK"), "n");
    EXPECT_FALSE(fs::exists(books / "story.pawk.pwk"));

    // A longer book sent again reads back whole.
    std::string text;
    for (int i = 0; i < 5000; ++i)
        text += "line " + std::to_string(i) + "\n";
    test::WriteFileText(books / "story.pawk", text);
    ASSERT_TRUE(transfer.SendBookToDevice((books / "story.pawk").string()));
    EXPECT_EQ(test::ReadFileText(device / "my documents/STORY.PAWK"), text);
}

TEST_F(FolderDevice, NothingIsWrittenOutsideTheDeviceFolder) {
    // A book whose name holds the device's separator and "..": one entry of the documents folder.
    const std::string name = "..\\..\\escape.pawk";
    test::WriteFileText(books / name, "book");
    ASSERT_TRUE(transfer.SendBookToDevice((books / name).string()));
    EXPECT_EQ(Files(), std::vector<std::string>{"My Documents/.._.._escape.pawk"});

    // Device paths that climb or name an absolute place: refused, or kept below the root.
    CTolvarRAPI link(&host);
    EXPECT_FALSE(link.CopyToDevice((books / name).string(), "\\..\\escape.pawk"));
    EXPECT_FALSE(link.CopyToDevice((books / name).string(), "\\My Documents\\..\\..\\escape.pawk"));
    EXPECT_FALSE(fs::exists(dir / "escape.pawk"));
    EXPECT_FALSE(fs::exists(device.parent_path().parent_path() / "escape.pawk"));
    const fs::path absolute = dir / "abs.pawk";
    link.CopyToDevice((books / name).string(), absolute.string());
    EXPECT_FALSE(fs::exists(absolute));

    // Symbolic links inside the device are not followed out of it: neither a folder nor a file.
    fs::create_directories(dir / "outside");
    test::WriteFileText(dir / "outside/victim.pawk", "keep");
    fs::create_directory_symlink(dir / "outside", device / "Linked");
    fs::create_symlink(dir / "outside/victim.pawk", device / "My Documents/victim.pawk");
    EXPECT_FALSE(link.CopyToDevice((books / name).string(), "\\Linked\\new.pawk"));
    EXPECT_FALSE(link.CopyToDevice((books / name).string(), "\\My Documents\\victim.pawk"));
    EXPECT_FALSE(link.CreateDeviceFolder("\\Linked\\made") &&
                 link.LastOutcome() == DeviceOutcome::Done);
    EXPECT_EQ(fs::directory_iterator(dir / "outside")->path().filename(), "victim.pawk");
    EXPECT_EQ(test::ReadFileText(dir / "outside/victim.pawk"), "keep");
    // Deleting the link removes the link, not what it names.
    EXPECT_TRUE(link.DeleteDeviceFile("\\My Documents\\victim.pawk"));
    EXPECT_TRUE(fs::exists(dir / "outside/victim.pawk"));
}

TEST_F(FolderDevice, AFullDeviceKeepsTheOldFileAndNoPartOfTheNewOne) {
    test::WriteFileText(books / "big.pawk", std::string(300000, 'b'));
    fs::create_directories(device / "My Documents");
    test::WriteFileText(device / "My Documents/big.pawk", "old");
    // A file-size limit stands for a volume that fills up part way.
    std::signal(SIGXFSZ, SIG_IGN);
    rlimit saved;
    getrlimit(RLIMIT_FSIZE, &saved);
    rlimit limit = saved;
    limit.rlim_cur = 100000;
    setrlimit(RLIMIT_FSIZE, &limit);
    bool sent = transfer.SendBookToDevice((books / "big.pawk").string());
    // Nothing at all fits: every copy of an install fails, and the install says so.
    limit.rlim_cur = 1;
    setrlimit(RLIMIT_FSIZE, &limit);
    bool installed = transfer.InstallPocketPC();
    setrlimit(RLIMIT_FSIZE, &saved);
    std::signal(SIGXFSZ, SIG_DFL);

    EXPECT_FALSE(sent);
    EXPECT_FALSE(installed);
    EXPECT_EQ(
        host.MessageTexts(),
        (std::vector<std::string>{CTolvarRAPI::kCopyIncomplete, CTolvarRAPI::kCopyIncomplete,
                                  CTolvarRAPI::kCopyIncomplete, CTolvarRAPI::kCopyIncomplete,
                                  "Pagewick could not be installed on your PocketPC device."}));
    EXPECT_EQ(Files(), std::vector<std::string>{"My Documents/big.pawk"});
    EXPECT_EQ(test::ReadFileText(device / "My Documents/big.pawk"), "old");
}

TEST_F(FolderDevice, ReadOnlyFilesMakeAPartialRemovalAndMissingFilesStopAnInstall) {
    ASSERT_TRUE(transfer.InstallPocketPC());
    chmod((device / "Program Files/Pagewick/Pagewick Help.pawk").c_str(), 0444);
    host.Messages.clear();
    EXPECT_FALSE(transfer.UninstallFromDevice());
    EXPECT_EQ(Last(), CDeviceTransfer::kRemovedPartly);
    EXPECT_EQ(Files(), std::vector<std::string>{"Program Files/Pagewick/Pagewick Help.pawk"});
    // A read-only file is not replaced either.
    EXPECT_FALSE(
        CTolvarRAPI(&host).CopyToDevice((program / kHelpBookFile).string(), kDeviceHelpBook));
    EXPECT_EQ(Last(), CTolvarRAPI::kCopyFailed);

    fs::remove(program / "WickpadPPC.lnk.device");
    host.Messages.clear();
    EXPECT_FALSE(transfer.InstallPocketPC());
    EXPECT_EQ(host.MessageTexts(), std::vector<std::string>{CDeviceTransfer::kMissingFiles});
    EXPECT_FALSE(CDeviceTransfer::BuildFilesPresent(program, HandheldBuild::PocketPC));
    EXPECT_TRUE(CDeviceTransfer::BuildFilesPresent(program, HandheldBuild::Smartphone));
}

TEST_F(FolderDevice, NoRootOrAMissingOneIsADeviceNotConnected) {
    for (const fs::path& root : {fs::path(), dir / "unplugged"}) {
        setenv("PAGEWICK_DEVICE_ROOT", root.c_str(), 1);
        host.Messages.clear();
        EXPECT_FALSE(transfer.InstallSmartphone());
        EXPECT_FALSE(transfer.UninstallFromDevice());
        test::WriteFileText(books / "story.pawk", "s");
        EXPECT_FALSE(transfer.SendBookToDevice((books / "story.pawk").string()));
        EXPECT_EQ(host.MessageTexts(),
                  (std::vector<std::string>{
                      CTolvarRAPI::kNotConnected, CDeviceTransfer::kUninstallQuestion,
                      CTolvarRAPI::kNotConnected, CTolvarRAPI::kNotConnected}));
    }
    EXPECT_TRUE(Files().empty());

    // Without the variable, the root stored in the settings store's Pagewick section is used.
    unsetenv("PAGEWICK_DEVICE_ROOT");
    const char* config = std::getenv("XDG_CONFIG_HOME");
    const std::string savedConfig = config ? config : "";
    setenv("XDG_CONFIG_HOME", (dir / "config").c_str(), 1);
    SettingsStore().Set("Pagewick", "DeviceRoot", device.string());
    host.Messages.clear();
    EXPECT_TRUE(transfer.SendBookToDevice((books / "story.pawk").string()));
    if (config)
        setenv("XDG_CONFIG_HOME", savedConfig.c_str(), 1);
    else
        unsetenv("XDG_CONFIG_HOME");
    EXPECT_EQ(Files(), std::vector<std::string>{"My Documents/story.pawk"});
}

}  // namespace
}  // namespace pagewick
