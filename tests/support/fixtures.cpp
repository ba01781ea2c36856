#include "support/fixtures.h"

#include <chrono>
#include <cstdlib>

#include <gtest/gtest.h>

#include <fstream>
#include <random>
#include <regex>
#include <sstream>

#include "util/Sha256.h"

namespace pagewick::test {

std::filesystem::path FixturesDir() {
    return PAGEWICK_FIXTURES_DIR;
}

void AgeFile(const std::filesystem::path& path) {
    using namespace std::chrono;
    std::filesystem::last_write_time(
        path, std::filesystem::file_time_type::clock::now() - hours(24 * 365));
}

bool WrittenSinceAged(const std::filesystem::path& path) {
    using namespace std::chrono;
    return std::filesystem::last_write_time(path) >
           std::filesystem::file_time_type::clock::now() - hours(24);
}

std::vector<uint8_t> ReadFileBytes(const std::filesystem::path& path) {
    std::ifstream in(path, std::ios::binary);
    EXPECT_TRUE(in.good()) << "cannot read " << path;
    return std::vector<uint8_t>(std::istreambuf_iterator<char>(in), {});
}

std::string ReadFileText(const std::filesystem::path& path) {
    std::ifstream in(path, std::ios::binary);
    EXPECT_TRUE(in.good()) << "cannot read " << path;
    std::ostringstream text;
    text << in.rdbuf();
    return text.str();
}

void WriteFileBytes(const std::filesystem::path& path, const void* data, size_t size) {
    std::ofstream out(path, std::ios::binary | std::ios::trunc);
    out.write(static_cast<const char*>(data), std::streamsize(size));
    ASSERT_TRUE(out.good()) << "cannot write " << path;
}

void WriteFileText(const std::filesystem::path& path, const std::string& text) {
    WriteFileBytes(path, text.data(), text.size());
}

TempDir::TempDir() {
    std::random_device seed;
    std::mt19937_64 random(seed());
    for (;;) {
        path_ = std::filesystem::temp_directory_path() /
                ("pagewick-test-" + std::to_string(random() % 1000000000ULL));
        if (std::filesystem::create_directory(path_)) break;
    }
}

TempDir::~TempDir() {
    std::error_code ignored;
    std::filesystem::remove_all(path_, ignored);
}

std::string Sha256Hex(const uint8_t* data, size_t size) {
    return Sha256::Hex(data, size);
}

int PdfPages(const std::filesystem::path& file) {
    std::string bytes = ReadFileText(file);
    static const std::regex page(R"(/Type\s*/Page[^s])");
    return int(std::distance(std::sregex_iterator(bytes.begin(), bytes.end(), page),
                             std::sregex_iterator()));
}

DeviceFolders::DeviceFolders(std::initializer_list<const char*> shipped) {
    std::filesystem::create_directories(device);
    std::filesystem::create_directories(program);
    for (const char* name : shipped)
        WriteFileText(program / name, name);
    setenv("PAGEWICK_DEVICE_ROOT", device.c_str(), 1);
}

DeviceFolders::~DeviceFolders() {
    unsetenv("PAGEWICK_DEVICE_ROOT");
}

}  // namespace pagewick::test
