#pragma once
// The real image tools that tests check our files against: ImageMagick's
// `convert` and Python's Pillow. Tests skip when a tool is missing; the
// project's set-up script installs both.

#include <cstdint>
#include <filesystem>
#include <string>
#include <vector>

namespace morvane::test {

// Runs a command through the shell, its output discarded. True on exit 0.
bool RunCommand(const std::string& command);

std::string Quote(const std::filesystem::path& path);

// True when ImageMagick's `convert` can be run.
bool HaveImageMagick();

// A Python interpreter that can import PIL, or an empty string.
std::string PythonWithPillow();

// Runs `script` under that Python with the given arguments. True on exit 0.
bool RunPillow(const std::string& script, const std::vector<std::filesystem::path>& arguments);

// Decodes `image` with Pillow into raw bytes, top row first: 3 bytes a pixel
// for "RGB", or the palette index of each pixel for "P" (which fails unless
// the image has a palette). Empty when Pillow cannot decode it.
std::vector<uint8_t> DecodeWithPillow(const std::filesystem::path& image, const std::string& mode);

// Saves a picture with Pillow: `pixels` in Pillow's raw layout for `mode`
// ("RGB", "RGBA", "L", "LA" or "P"), top row first; `palette` holds the RGB
// triplets of a "P" picture. `saveOptions` are Python keyword arguments for
// save(), e.g. "bits=4". The format follows the file's extension.
bool SaveWithPillow(const std::filesystem::path& path, const std::string& mode, int width,
                    int height, const std::vector<uint8_t>& pixels,
                    const std::vector<uint8_t>& palette = {}, const std::string& saveOptions = "");

// Writes a binary PPM, a format every image tool reads, as a neutral source
// picture. `rgb` holds 3 bytes a pixel, top row first.
void WritePpm(const std::filesystem::path& path, int width, int height,
              const std::vector<uint8_t>& rgb);

}  // namespace morvane::test
