#pragma once
// What to do about a refused picture, in one line that both front ends show
// beneath the refusal: the command-line tool after it, the window in its
// message box.

#include <cstdint>
#include <filesystem>
#include <span>
#include <string>

#include "common/error.h"
#include "texture/colour_reduction.h"

namespace morvane {

// One line that says what would be accepted instead, from the picture's own
// bytes: "It is a 4-bit bitmap: save it as PNG, or as an 8-, 16-, 24- or
// 32-bit bitmap." Empty when there is nothing to add.
std::string PictureHintText(Error refusal, std::span<const uint8_t> picture);

// The same for the picture at `path`, read for the purpose. Empty when the
// refusal is not about the picture's content, or the file cannot be read.
std::string PictureHintText(Error refusal, const std::filesystem::path& path);

// Whether a file that begins with these bytes is a picture: a PNG, a bitmap,
// or a kind people save by mistake (JPEG, GIF, WebP, TIFF). No save state
// begins so; a front end tells a dropped picture from a dropped state by it.
bool LooksLikePicture(std::span<const uint8_t> start);

// How a picture's colours were made to fit the texture's palette, for a front
// end to say after the name: "its colours were reduced to the texture's
// palette, exactly". Empty when they fitted as they were.
std::string ReductionText(Reduction reduction, bool dither);

}  // namespace morvane
