#pragma once
// Synthetic Goldeneye save states for the tests and the demo.
//
// Real save states hold the game's own memory and cannot ship, so the
// generator writes Project 64 states of the classic layout that look like the
// game's: a header with the cartridge header copy at offset 8, a texture table
// at the release's table root, face textures (format 9, 32x64, each a simple
// drawn face with its own 256-entry palette) and other textures between them.

#include <array>
#include <cstddef>
#include <cstdint>
#include <string>
#include <vector>

namespace morvane::gen {

enum class Region { Ntsc, Pal, Japan };

enum class TableShape {
    Normal,
    Empty,     // start == end
    OverFull,  // 513 entries: the faces and others, padded with small textures
    Wrapped,   // end lies below start
};

struct StateOptions {
    Region region = Region::Ntsc;
    int faces = 6;
    int others = 4;
    TableShape table = TableShape::Normal;
    bool addressAbovePrevious = false;  // one face entry lies above the entry before it
    bool shortFace = false;             // one face texture whose extent is 2048 bytes
    std::string gameName = "GOLDENEYE";
    size_t truncateTo = 0;              // cut the file to this many bytes; 0 keeps it whole
    size_t trailingBytes = 0;           // bytes after the tail block
    uint32_t seed = 1;
};

struct GeneratedTexture {
    int record = 0;  // index in the table
    uint16_t identifier = 0;
    uint32_t address = 0;
    uint8_t width = 0;
    uint8_t height = 0;
    uint8_t byte10 = 0;
    uint8_t format = 0;
    uint32_t size = 0;  // as the catalogue's size rule computes it
    bool face = false;
    int faceNumber = -1;  // which drawn face, for face textures
};

struct GeneratedState {
    std::vector<uint8_t> file;  // the save-state file's bytes
    std::vector<GeneratedTexture> textures;
    uint32_t tableStart = 0;
    uint32_t tableEnd = 0;
    uint32_t tableRoot = 0;
};

GeneratedState GenerateSaveState(const StateOptions& options);

// The game bytes of drawn face n: 2048 texel indices (row 0 is the bottom row
// of the picture) followed by 256 big-endian RGBA 5-5-5-1 palette entries.
std::array<uint8_t, 2560> FaceTexture(int n);

// A 32x64, 8-bit, bottom-up Windows bitmap with a 256-entry colour table that
// converts exactly to FaceTexture(n)'s texels and to its palette.
std::vector<uint8_t> FaceBitmap(int n);

}  // namespace morvane::gen
