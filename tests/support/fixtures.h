// Where the tests find their data, and small file helpers shared by the test programs.
#pragma once

#include <cstdint>
#include <filesystem>
#include <initializer_list>
#include <string>
#include <vector>

namespace pagewick::test {

// The folder of test data made by independent tools (tests/data, see its README.md).
std::filesystem::path FixturesDir();

// Whole-file helpers; ReadFileBytes fails the current test when the file cannot be read.
std::vector<uint8_t> ReadFileBytes(const std::filesystem::path& path);
std::string ReadFileText(const std::filesystem::path& path);
void WriteFileBytes(const std::filesystem::path& path, const void* data, size_t size);
void WriteFileText(const std::filesystem::path& path, const std::string& text);

// Counting writes without timing: AgeFile dates a file a year back, and WrittenSinceAged says
// whether it has been written (or replaced) since.
void AgeFile(const std::filesystem::path& path);
bool WrittenSinceAged(const std::filesystem::path& path);

// A fresh folder below the system's temporary folder, removed when the object goes.
class TempDir {
public:
    TempDir();
    ~TempDir();
    TempDir(const TempDir&) = delete;
    TempDir& operator=(const TempDir&) = delete;
    const std::filesystem::path& path() const { return path_; }
    std::filesystem::path operator/(const std::string& name) const { return path_ / name; }

private:
    std::filesystem::path path_;
};

// A handheld mounted as a folder: `device`, named by PAGEWICK_DEVICE_ROOT while the object
// lives, and `program`, the folder beside the desktop program holding the files named (each
// file's text is its name).
struct DeviceFolders {
    TempDir dir;
    std::filesystem::path device = dir / "device", program = dir / "program";
    explicit DeviceFolders(std::initializer_list<const char*> shipped);
    ~DeviceFolders();
};

// The pages of a PDF file: its page objects.
int PdfPages(const std::filesystem::path& file);

// Lower-case hex SHA-256 of a byte range (for comparing with the fixture listings).
std::string Sha256Hex(const uint8_t* data, size_t size);

}  // namespace pagewick::test
