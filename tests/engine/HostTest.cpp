#include <gtest/gtest.h>
#include <sys/stat.h>

#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <optional>

#include "platform/ConsoleHost.h"
#include "platform/SettingsStore.h"
#include "support/fixtures.h"

namespace pagewick::test {
namespace {

namespace fs = std::filesystem;
using namespace std::string_literals;

std::vector<std::string> FolderNames(const fs::path& folder) {
    std::vector<std::string> names;
    for (const auto& entry : fs::directory_iterator(folder))
        names.push_back(entry.path().filename().string());
    std::sort(names.begin(), names.end());
    return names;
}

// Sets an environment variable for the life of the object.
class ScopedEnv {
public:
    ScopedEnv(const char* name, const char* value) : name_(name) {
        if (const char* old = std::getenv(name)) old_ = old;
        if (value)
            setenv(name, value, 1);
        else
            unsetenv(name);
    }
    ~ScopedEnv() {
        if (old_)
            setenv(name_, old_->c_str(), 1);
        else
            unsetenv(name_);
    }

private:
    const char* name_;
    std::optional<std::string> old_;
};

TEST(SettingsStoreTest, ValuesSurviveANewStoreAndLandInTheirSections) {
    TempDir dir;
    fs::path file = dir / "config" / "Ambervale" / "Pagewick.conf";
    {
        SettingsStore store(file);
        EXPECT_EQ(store.Get(kRegistrySection, "LastBook", "none"), "none");
        EXPECT_TRUE(store.Set(kRegistrySection, "LastBook", "/books/a book.lit"));
        EXPECT_TRUE(store.Set(kRegistrySection, "LastBookTitle", "A Book"));
        EXPECT_TRUE(store.Set(kProfileSection, "WindowPos", "1 2 3 4"));
        EXPECT_TRUE(store.Set(kRegistrySection, "AutoOpen", "1"));
        EXPECT_TRUE(store.Set(kRegistrySection, "LastBookTitle", ""));  // emptied, still there
    }
    SettingsStore store(file);
    EXPECT_EQ(store.Get(kRegistrySection, "LastBook", ""), "/books/a book.lit");
    std::string value = "x";
    EXPECT_TRUE(store.Get(kRegistrySection, "LastBookTitle", value));
    EXPECT_EQ(value, "");
    EXPECT_EQ(store.Get(kRegistrySection, "AutoOpen", "0"), "1");
    EXPECT_EQ(store.Get(kProfileSection, "WindowPos", ""), "1 2 3 4");
    EXPECT_EQ(store.Get(kProfileSection, "AutoOpen", "none"), "none");  // sections are apart
    // Names compare without regard to case, as the registry's do.
    EXPECT_EQ(store.Get("PAGEWICK", "lastbook", ""), "/books/a book.lit");
    EXPECT_EQ(ReadFileText(file),
              "[Pagewick]\nLastBook=/books/a book.lit\nLastBookTitle=\nAutoOpen=1\n\n"
              "[Settings]\nWindowPos=1 2 3 4\n");
}

TEST(SettingsStoreTest, AwkwardTextRoundTrips) {
    TempDir dir;
    SettingsStore store(dir / "s.conf");
    const std::vector<std::string> texts{"line one\r\nline two\n",
                                         "a=b=c",
                                         "back\\slash\\n",
                                         " leading and trailing ",
                                         "[Pagewick]",
                                         ";not a comment",
                                         "#nor this",
                                         std::string("nul\0byte", 8),
                                         "tab\there \x7f \x01",
                                         "caf\xE9 \xC3\xA9",
                                         "\\x41 stays",
                                         "trailing\\"};
    for (size_t i = 0; i < texts.size(); ++i) {
        ASSERT_TRUE(store.Set(kRegistrySection, "V" + std::to_string(i), texts[i]));
        ASSERT_TRUE(store.Set(texts[i], texts[i], "in its own section"));
    }
    for (size_t i = 0; i < texts.size(); ++i) {
        EXPECT_EQ(store.Get(kRegistrySection, "V" + std::to_string(i), "?"), texts[i]) << i;
        EXPECT_EQ(store.Get(texts[i], texts[i], "?"), "in its own section") << i;
    }
    // Every value stays on its own line: one header or value per text and section.
    std::string content = ReadFileText(dir / "s.conf");
    EXPECT_EQ(std::count(content.begin(), content.end(), '\n'),
              std::ptrdiff_t(1 + texts.size() + 3 * texts.size()));
    EXPECT_EQ(UnescapeSettingsText(EscapeSettingsText("=x\n", true)), "=x\n");
}

TEST(SettingsStoreTest, HandWrittenAndDamagedFilesAreReadAsFarAsTheyMakeSense) {
    TempDir dir;
    fs::path file = dir / "s.conf";
    std::string damaged =
        "Orphan=before any section\n"
        "; a comment\r\n"
        "[Pagewick]\r\n"
        "  AutoOpen = 1  \r\n"
        "no equals sign here\n"
        "Bad=\\x4\n"
        "Trail=end\\\n"
        "[Broken\n"
        "LastBook=under a broken header\n"
        "[Settings]\n"
        "WindowPos=5\n"
        "\xff\xfe\x00\x01 binary \x80=\x81\n"s;
    WriteFileBytes(file, damaged.data(), damaged.size());
    SettingsStore store(file);
    EXPECT_EQ(store.Get(kRegistrySection, "AutoOpen", ""), "1");
    EXPECT_EQ(store.Get(kRegistrySection, "Bad", ""), "\\x4");
    EXPECT_EQ(store.Get(kRegistrySection, "Trail", ""), "end\\");
    EXPECT_EQ(store.Get(kRegistrySection, "LastBook", "none"), "none");
    EXPECT_EQ(store.Get("Broken", "LastBook", "none"), "none");
    EXPECT_EQ(store.Get(kRegistrySection, "Orphan", "none"), "none");
    EXPECT_EQ(store.Get(kProfileSection, "WindowPos", ""), "5");

    // A write replaces the one value and keeps every other line, comments and damage included.
    ASSERT_TRUE(store.Set(kRegistrySection, "AutoOpen", "0"));
    ASSERT_TRUE(store.Set(kRegistrySection, "LastBook", "/b.txt"));
    std::string expected = damaged;
    expected.replace(expected.find("  AutoOpen = 1  \r"), 17, "AutoOpen=0");
    expected.replace(expected.find("Trail=end\\\n") + 11, 0, "LastBook=/b.txt\n");
    EXPECT_EQ(ReadFileText(file), expected);
    EXPECT_EQ(store.Get(kRegistrySection, "LastBook", ""), "/b.txt");

    // Pure noise reads as nothing and takes a value.
    std::string noise;
    for (int i = 0; i < 5000; ++i)
        noise += char((i * 7919) % 251);
    WriteFileBytes(file, noise.data(), noise.size());
    EXPECT_EQ(store.Get(kRegistrySection, "AutoOpen", "none"), "none");
    ASSERT_TRUE(store.Set(kRegistrySection, "AutoOpen", "1"));
    EXPECT_EQ(SettingsStore(file).Get(kRegistrySection, "AutoOpen", ""), "1");
}

TEST(SettingsStoreTest, WritesReplaceTheFileWholeAndFailuresLeaveItAlone) {
    TempDir dir;
    fs::create_directories(dir / "conf");
    fs::path file = dir / "conf" / "Pagewick.conf";
    SettingsStore store(file);
    for (int i = 0; i < 20; ++i)
        ASSERT_TRUE(store.Set(kRegistrySection, "Value" + std::to_string(i % 5), "x"));
    EXPECT_EQ(FolderNames(dir / "conf"), std::vector<std::string>{"Pagewick.conf"});
    chmod(file.c_str(), 0640);
    ASSERT_TRUE(store.Set(kRegistrySection, "Mode", "kept"));
    EXPECT_EQ(fs::status(file).permissions() & fs::perms::all,
              fs::perms::owner_read | fs::perms::owner_write | fs::perms::group_read);

    // A store kept as a link to another file stays a link; the file it names changes.
    fs::path target = dir / "elsewhere.conf";
    fs::copy_file(file, target);
    fs::path link = dir / "conf" / "link.conf";
    fs::create_symlink(target, link);
    ASSERT_TRUE(SettingsStore(link).Set(kRegistrySection, "Via", "link"));
    EXPECT_TRUE(fs::is_symlink(link));
    EXPECT_EQ(SettingsStore(target).Get(kRegistrySection, "Via", ""), "link");

    // A store whose place is taken by a folder, or lies below a file, cannot be written: the
    // failure is reported and leaves nothing behind.
    fs::create_directories(dir / "taken" / "Pagewick.conf");
    SettingsStore blocked(dir / "taken" / "Pagewick.conf");
    EXPECT_FALSE(blocked.Set(kRegistrySection, "A", "b"));
    EXPECT_EQ(blocked.Get(kRegistrySection, "A", "none"), "none");
    EXPECT_EQ(FolderNames(dir / "taken"), std::vector<std::string>{"Pagewick.conf"});
    EXPECT_FALSE(SettingsStore(file / "below").Set(kRegistrySection, "A", "b"));
    EXPECT_EQ(SettingsStore(file).Get(kRegistrySection, "Mode", ""), "kept");
}

TEST(SettingsStoreTest, AValueAlreadyStoredIsNotWrittenAgain) {
    TempDir dir;
    fs::path file = dir / "Pagewick.conf";
    SettingsStore store(file);
    ASSERT_TRUE(store.Set(kRegistrySection, "LastBookTitle", "Caf\xE9"));
    AgeFile(file);
    EXPECT_TRUE(store.Set(kRegistrySection, "LastBookTitle", "Caf\xE9"));
    EXPECT_TRUE(store.Set(kRegistrySection, "lastbooktitle", "Caf\xE9"));  // names ignore case
    EXPECT_FALSE(WrittenSinceAged(file));
    EXPECT_TRUE(store.Set(kRegistrySection, "LastBookTitle", "Other"));
    EXPECT_TRUE(WrittenSinceAged(file));
    EXPECT_EQ(store.Get(kRegistrySection, "LastBookTitle", ""), "Other");
    AgeFile(file);
    EXPECT_TRUE(store.Set(kProfileSection, "LastBookTitle", "Other"));  // another section
    EXPECT_TRUE(WrittenSinceAged(file));
}

TEST(SettingsStoreTest, DefaultPlaceFollowsTheConfigurationFolder) {
    {
        ScopedEnv config("XDG_CONFIG_HOME", "/cfg/here");
        EXPECT_EQ(SettingsStore::DefaultPath(), fs::path("/cfg/here/Ambervale/Pagewick.conf"));
    }
    ScopedEnv home("HOME", "/home/reader");
    for (const char* config : {(const char*)nullptr, "", "relative/path"}) {
        ScopedEnv unset("XDG_CONFIG_HOME", config);
        EXPECT_EQ(SettingsStore::DefaultPath(),
                  fs::path("/home/reader/.config/Ambervale/Pagewick.conf"));
    }
}

// Reads what a ConsoleHost printed into a temporary file.
struct Captured {
    std::FILE* file = std::tmpfile();
    ~Captured() { std::fclose(file); }
    std::string Text() {
        std::fflush(file);
        std::rewind(file);
        std::string text;
        char buffer[512];
        size_t n;
        while ((n = std::fread(buffer, 1, sizeof buffer, file)) > 0)
            text.append(buffer, n);
        return text;
    }
};

TEST(ConsoleHostTest, MessagesGoToTheStreamAndQuestionsTakeTheSetAnswer) {
    TempDir dir;
    Captured out;
    ConsoleHost host(dir / "s.conf", out.file);
    EXPECT_EQ(host.ShowMessage("File appears to have changed.\r\nStarting at the beginning of the "
                               "book.",
                               "Pagewick", MessageButtons::Ok, MessageIcon::Error),
              MessageAnswer::Ok);
    EXPECT_EQ(
        host.ShowMessage("Paginate now?", "Pagewick", MessageButtons::YesNo, MessageIcon::Question),
        MessageAnswer::No);
    EXPECT_EQ(out.Text(),
              "Pagewick: File appears to have changed.\nStarting at the beginning of the book.\n"
              "Pagewick: Paginate now?\n");
    EXPECT_EQ(host.ShowMessage("q", "c", MessageButtons::OkCancel, MessageIcon::None),
              MessageAnswer::Cancel);
    EXPECT_EQ(host.ShowMessage("q", "c", MessageButtons::YesNoCancel, MessageIcon::None),
              MessageAnswer::No);
    host.SetAnswer(MessageAnswer::Yes);
    EXPECT_EQ(host.ShowMessage("q", "c", MessageButtons::YesNo, MessageIcon::None),
              MessageAnswer::Yes);
    EXPECT_EQ(host.ShowMessage("q", "c", MessageButtons::OkCancel, MessageIcon::None),
              MessageAnswer::Ok);
    host.SetAnswer(MessageAnswer::Cancel);
    EXPECT_EQ(host.ShowMessage("q", "c", MessageButtons::YesNoCancel, MessageIcon::None),
              MessageAnswer::Cancel);
    EXPECT_EQ(host.ShowMessage("q", "c", MessageButtons::Ok, MessageIcon::None), MessageAnswer::Ok);

    host.SetSetting(kRegistrySection, "LastBook", "/x.txt");
    EXPECT_EQ(SettingsStore(dir / "s.conf").Get(kRegistrySection, "LastBook", ""), "/x.txt");
    EXPECT_EQ(host.GetSetting(kRegistrySection, "Missing", "fb"), "fb");
    // A store that cannot be written is passed over quietly.
    ConsoleHost blocked(dir / "s.conf" / "below", out.file);
    blocked.SetSetting(kRegistrySection, "A", "b");
    EXPECT_EQ(blocked.GetSetting(kRegistrySection, "A", "none"), "none");
}

TEST(ConsoleHostTest, ShellOpenPassesTheTargetAsOneArgument) {
    TempDir dir;
    fs::path script = dir / "opener.sh";
    fs::path record = dir / "args";
    WriteFileText(script, "#!/bin/sh\nprintf '%s|' \"$#\" \"$@\" > '" + record.string() +
                              "'\n[ \"$1\" != fail ]\n");
    fs::permissions(script, fs::perms::owner_all);
    ConsoleHost host(dir / "s.conf", nullptr);
    host.SetOpener(script.string());
    std::string tricky = "/books/a b; touch '" + (dir / "pwned").string() + "' $(id)";
    EXPECT_TRUE(host.OpenWithShell(tricky));
    EXPECT_EQ(ReadFileText(record), "1|" + tricky + "|");
    EXPECT_FALSE(fs::exists(dir / "pwned"));
    EXPECT_TRUE(host.OpenWithShell("-n.txt"));  // never taken for an option
    EXPECT_EQ(ReadFileText(record), "1|./-n.txt|");
    EXPECT_FALSE(host.OpenWithShell("fail"));
    EXPECT_FALSE(host.OpenWithShell(""));
    host.SetOpener((dir / "no-such-opener").string());
    EXPECT_FALSE(host.OpenWithShell("/x.txt"));
}

TEST(ConsoleHostTest, FoldersAndSleep) {
    ConsoleHost host(fs::path("/nonexistent/s.conf"), nullptr);
    {
        ScopedEnv documents("XDG_DOCUMENTS_DIR", "/data/docs");
        EXPECT_EQ(host.DocumentsFolder(), "/data/docs");
    }
    ScopedEnv documents("XDG_DOCUMENTS_DIR", nullptr);
    ScopedEnv home("HOME", "/home/reader");
    EXPECT_EQ(host.DocumentsFolder(), "/home/reader/Documents");
    {
        TempDir dir;
        ScopedEnv temp("TMPDIR", dir.path().c_str());
        EXPECT_EQ(host.TempFolder(), dir.path().string());
    }
    host.Sleep(-5);
    host.Sleep(1);
    host.BeginWaitCursor();
    host.EndWaitCursor();
}

}  // namespace
}  // namespace pagewick::test
