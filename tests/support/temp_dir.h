#pragma once
// A private temporary folder that is removed with everything in it when the
// test ends, plus small file helpers for tests.

#include <cstdint>
#include <filesystem>
#include <string>
#include <vector>

namespace morvane::test {

class TempDir {
public:
    TempDir();
    ~TempDir();
    TempDir(const TempDir&) = delete;
    TempDir& operator=(const TempDir&) = delete;

    const std::filesystem::path& path() const { return m_path; }
    std::filesystem::path operator/(const std::string& name) const { return m_path / name; }

private:
    std::filesystem::path m_path;
};

std::vector<uint8_t> ReadAll(const std::filesystem::path& path);
void WriteAll(const std::filesystem::path& path, const std::vector<uint8_t>& bytes);

// The project's source folder, for tests that need bundled files.
std::filesystem::path SourceDir();

}  // namespace morvane::test
