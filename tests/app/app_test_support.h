#pragma once
// Helpers for the desktop application's tests: generated states and pictures
// on disk, the main window's controls, and the comparison of a thumbnail with
// the texture it should show.

#include <QImage>
#include <QPoint>
#include <QString>
#include <cstdint>
#include <span>
#include <vector>

#include "app/main_dialog.h"
#include "tools/state_generator.h"

class QLabel;
class QListWidget;
class QPushButton;

namespace morvane::apptest {

void WriteFile(const QString& path, std::span<const uint8_t> bytes);
std::vector<uint8_t> ReadFile(const QString& path);

// Generates a state and writes it to `path`.
gen::GeneratedState WriteState(const QString& path, const gen::StateOptions& options);

// The face textures of a generated state, in table order.
std::vector<gen::GeneratedTexture> Faces(const gen::GeneratedState& state);

// The RDRAM block of the save-state file at `path`, in memory order; empty when
// it cannot be read.
std::vector<uint8_t> RdramOfFile(const QString& path);

// The `length` bytes of an RDRAM block from (address AND 0xFFFFFF).
std::vector<uint8_t> Slice(std::span<const uint8_t> rdram, uint32_t address, size_t length);

// Compares a picture of 32 x 64 texels, each drawn as scale x scale pixels,
// with the texture as the gallery shows it: the texture's row 0 at the bottom,
// each pixel the top five bits of its palette entry's red, green and blue.
// Returns an empty string when they agree, else where they first differ.
QString CompareWithTexture(const QImage& picture, std::span<const uint8_t> texture, int scale = 1);

// A 16-bit (5-5-5) bottom-up bitmap of the texture, as the extraction pass
// writes its thumbnails' files.
std::vector<uint8_t> Bitmap16Of(std::span<const uint8_t> texture);

// A bitmap header with the given size and depth, and zero bits.
std::vector<uint8_t> BlankBitmap(int width, int height, int bitsPerPixel);

QListWidget* TextureList(app::CMainDialog& dialog);
QLabel* StatusLine(app::CMainDialog& dialog);
QLabel* Instructions(app::CMainDialog& dialog);
// The line that names the file the last replacement wrote.
QLabel* WrittenPath(app::CMainDialog& dialog);
QPushButton* BrowseButton(app::CMainDialog& dialog);

// Initialises the window as DoModal does and shows it, without a modal loop.
// The About box is answered by the prompts' recorder.
bool StartShown(app::CMainDialog& dialog);

// The centre of gallery item `row`, in the list's viewport coordinates.
QPoint ItemCentre(app::CMainDialog& dialog, int row);

// Double-clicks gallery item `row` as a mouse does: a click, then the second
// press that the window system reports as a double-click, then its release.
void DoubleClickItem(app::CMainDialog& dialog, int row);

// The record indices the gallery's items carry, in item order.
std::vector<int> ItemRecords(app::CMainDialog& dialog);

}  // namespace morvane::apptest
