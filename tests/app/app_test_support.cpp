#include "app_test_support.h"

#include <QFile>
#include <QLabel>
#include <QListWidget>
#include <QPushButton>
#include <QTest>

#include "app/prompts.h"
#include "app/texture_gallery.h"
#include "savestate/save_state_image.h"

namespace morvane::apptest {

void WriteFile(const QString& path, std::span<const uint8_t> bytes) {
    QFile file(path);
    if (!file.open(QIODevice::WriteOnly | QIODevice::Truncate)) {
        qFatal("cannot write %s", qPrintable(path));
    }
    file.write(reinterpret_cast<const char*>(bytes.data()), static_cast<qint64>(bytes.size()));
}

std::vector<uint8_t> ReadFile(const QString& path) {
    QFile file(path);
    if (!file.open(QIODevice::ReadOnly)) {
        return {};
    }
    const QByteArray bytes = file.readAll();
    return std::vector<uint8_t>(bytes.begin(), bytes.end());
}

gen::GeneratedState WriteState(const QString& path, const gen::StateOptions& options) {
    gen::GeneratedState state = gen::GenerateSaveState(options);
    WriteFile(path, state.file);
    return state;
}

std::vector<gen::GeneratedTexture> Faces(const gen::GeneratedState& state) {
    std::vector<gen::GeneratedTexture> faces;
    for (const gen::GeneratedTexture& texture : state.textures) {
        if (texture.face) {
            faces.push_back(texture);
        }
    }
    return faces;
}

std::vector<uint8_t> RdramOfFile(const QString& path) {
    SaveStateImage image;
    if (LoadSaveStateFile(image, app::PathFromDialog(path)) != Error::None) {
        return {};
    }
    return {image.RdramImage.begin(), image.RdramImage.end()};
}

std::vector<uint8_t> Slice(std::span<const uint8_t> rdram, uint32_t address, size_t length) {
    const size_t offset = address & 0xFFFFFF;
    if (offset > rdram.size() || length > rdram.size() - offset) {
        return {};
    }
    return std::vector<uint8_t>(rdram.begin() + static_cast<std::ptrdiff_t>(offset),
                                rdram.begin() + static_cast<std::ptrdiff_t>(offset + length));
}

QString CompareWithTexture(const QImage& picture, std::span<const uint8_t> texture, int scale) {
    if (texture.size() < 2560) {
        return QStringLiteral("the texture has %1 bytes").arg(texture.size());
    }
    if (picture.width() < 32 * scale || picture.height() < 64 * scale) {
        return QStringLiteral("the picture is %1 x %2").arg(picture.width()).arg(picture.height());
    }
    for (int y = 0; y < 64 * scale; ++y) {
        for (int x = 0; x < 32 * scale; ++x) {
            const int texel = texture[static_cast<size_t>((63 - y / scale) * 32 + x / scale)];
            const int entry = (texture[static_cast<size_t>(2048 + 2 * texel)] << 8) |
                              texture[static_cast<size_t>(2048 + 2 * texel + 1)];
            const QRgb pixel = picture.pixel(x, y);
            const int want[3] = {(entry >> 11) & 31, (entry >> 6) & 31, (entry >> 1) & 31};
            const int got[3] = {qRed(pixel) >> 3, qGreen(pixel) >> 3, qBlue(pixel) >> 3};
            if (want[0] != got[0] || want[1] != got[1] || want[2] != got[2]) {
                return QStringLiteral("pixel (%1, %2): 5-bit %3,%4,%5 shown, %6,%7,%8 expected")
                    .arg(x)
                    .arg(y)
                    .arg(got[0])
                    .arg(got[1])
                    .arg(got[2])
                    .arg(want[0])
                    .arg(want[1])
                    .arg(want[2]);
            }
        }
    }
    return QString();
}

namespace {

void PutLE16(std::vector<uint8_t>& bytes, size_t at, uint32_t value) {
    bytes[at] = static_cast<uint8_t>(value);
    bytes[at + 1] = static_cast<uint8_t>(value >> 8);
}

void PutLE32(std::vector<uint8_t>& bytes, size_t at, uint32_t value) {
    PutLE16(bytes, at, value & 0xFFFF);
    PutLE16(bytes, at + 2, value >> 16);
}

}  // namespace

std::vector<uint8_t> BlankBitmap(int width, int height, int bitsPerPixel) {
    const size_t colours = bitsPerPixel <= 8 ? (size_t{1} << bitsPerPixel) : 0;
    const size_t offBits = 54 + 4 * colours;
    const size_t stride = static_cast<size_t>((width * bitsPerPixel + 31) / 32 * 4);
    std::vector<uint8_t> bytes(offBits + stride * static_cast<size_t>(height), 0);
    bytes[0] = 'B';
    bytes[1] = 'M';
    PutLE32(bytes, 2, static_cast<uint32_t>(bytes.size()));
    PutLE32(bytes, 10, static_cast<uint32_t>(offBits));
    PutLE32(bytes, 14, 40);
    PutLE32(bytes, 18, static_cast<uint32_t>(width));
    PutLE32(bytes, 22, static_cast<uint32_t>(height));
    PutLE16(bytes, 26, 1);
    PutLE16(bytes, 28, static_cast<uint32_t>(bitsPerPixel));
    return bytes;
}

std::vector<uint8_t> Bitmap16Of(std::span<const uint8_t> texture) {
    std::vector<uint8_t> bytes = BlankBitmap(32, 64, 16);
    for (size_t i = 0; i < 2048; ++i) {
        const int texel = texture[i];
        const int entry = (texture[static_cast<size_t>(2048 + 2 * texel)] << 8) |
                          texture[static_cast<size_t>(2048 + 2 * texel + 1)];
        const uint32_t pixel = static_cast<uint32_t>(
            (((entry >> 11) & 31) << 10) | (((entry >> 6) & 31) << 5) | ((entry >> 1) & 31));
        PutLE16(bytes, 54 + 2 * i, pixel);
    }
    return bytes;
}

QListWidget* TextureList(app::CMainDialog& dialog) {
    return dialog.findChild<QListWidget*>(QStringLiteral("textureList"));
}

QLabel* StatusLine(app::CMainDialog& dialog) {
    return dialog.findChild<QLabel*>(QStringLiteral("status"));
}

QLabel* Instructions(app::CMainDialog& dialog) {
    return dialog.findChild<QLabel*>(QStringLiteral("instructions"));
}

QLabel* WrittenPath(app::CMainDialog& dialog) {
    return dialog.findChild<QLabel*>(QStringLiteral("writtenPath"));
}

QPushButton* BrowseButton(app::CMainDialog& dialog) {
    return dialog.findChild<QPushButton*>(QStringLiteral("browseButton"));
}

bool StartShown(app::CMainDialog& dialog) {
    if (!dialog.OnInitDialog()) {
        return false;
    }
    dialog.show();
    return QTest::qWaitForWindowExposed(&dialog);
}

QPoint ItemCentre(app::CMainDialog& dialog, int row) {
    QListWidget* list = TextureList(dialog);
    return list->visualItemRect(list->item(row)).center();
}

void DoubleClickItem(app::CMainDialog& dialog, int row) {
    QWidget* viewport = TextureList(dialog)->viewport();
    const QPoint centre = ItemCentre(dialog, row);
    QTest::mouseClick(viewport, Qt::LeftButton, {}, centre);
    QTest::mouseDClick(viewport, Qt::LeftButton, {}, centre);
    QTest::mouseRelease(viewport, Qt::LeftButton, {}, centre);
}

std::vector<int> ItemRecords(app::CMainDialog& dialog) {
    QListWidget* list = TextureList(dialog);
    std::vector<int> records;
    for (int row = 0; row < list->count(); ++row) {
        records.push_back(list->item(row)->data(app::kRecordRole).toInt());
    }
    return records;
}

}  // namespace morvane::apptest
