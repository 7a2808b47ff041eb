// The Texture gallery rebuilt with 60 thumbnails, as every extraction pass has
// it rebuilt, beside its floor: reading the same 60 bitmap files. QtTest's
// QBENCHMARK, offscreen unless QT_QPA_PLATFORM says otherwise.

#include <QApplication>
#include <QTemporaryDir>
#include <QTest>
#include <memory>

#include "app/main_dialog.h"
#include "app_test_support.h"
#include "bench/bench_support.h"
#include "catalogue/texture_catalogue.h"
#include "scripted_prompts.h"
#include "texture/texture_converter.h"

namespace {

constexpr int kThumbnails = 60;

class GalleryBenchmark : public QObject {
    Q_OBJECT

private slots:
    void initTestCase();
    void rebuildGallery();
    void rebuildGalleryFloor();

private:
    QTemporaryDir m_folder;
    std::unique_ptr<morvane::TextureCatalogue> m_catalogue =
        std::make_unique<morvane::TextureCatalogue>();
};

// The 60 bitmap files, written as the extraction pass writes them: a texture
// file, then its conversion.
void GalleryBenchmark::initTestCase() {
    QVERIFY(m_folder.isValid());
    const morvane::CTextureConverter converter;
    morvane::TextureRecord record;
    record.size = morvane::kFaceTextureBytes;
    record.entry.width = morvane::kFaceWidth;
    record.entry.height = morvane::kFaceHeight;
    record.entry.format = morvane::kFaceFormat;
    for (int i = 0; i < kThumbnails; ++i) {
        const std::filesystem::path base =
            m_folder.filePath(QStringLiteral("tex_%1").arg(i, 3, 10, QLatin1Char('0')))
                .toStdString();
        std::filesystem::path texture = base;
        texture += ".tex";
        std::filesystem::path bitmap = base;
        bitmap += ".bmp";
        QCOMPARE(converter.WriteTextureFile(record, morvane::gen::FaceTexture(i), texture), 0);
        QVERIFY(converter.ConvertTextureToBitmap(texture, bitmap));
        m_catalogue->records[static_cast<size_t>(i)].bmpPath = bitmap;
        m_catalogue->ShownList[static_cast<size_t>(i)] = i;
    }
    m_catalogue->shownCount = kThumbnails;
}

void GalleryBenchmark::rebuildGallery() {
    morvane::apptest::ScriptedPrompts prompts;
    morvane::app::CMainDialog dialog(prompts);
    QVERIFY(morvane::apptest::StartShown(dialog));
    QBENCHMARK {
        dialog.RebuildGallery(*m_catalogue);
    }
    QCOMPARE(dialog.imageList().size(), kThumbnails);
}

void GalleryBenchmark::rebuildGalleryFloor() {
    size_t bytes = 0;
    QBENCHMARK {
        bytes = 0;
        for (int i = 0; i < kThumbnails; ++i) {
            bytes +=
                morvane::bench::ReadWithRead(m_catalogue->records[static_cast<size_t>(i)].bmpPath)
                    .size();
        }
    }
    QCOMPARE(bytes, size_t{kThumbnails} * (54 + 2 * morvane::kFaceTexelBytes));
}

}  // namespace

int main(int argc, char** argv) {
    if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM")) {
        qputenv("QT_QPA_PLATFORM", "offscreen");
    }
    QApplication application(argc, argv);
    GalleryBenchmark benchmark;
    return QTest::qExec(&benchmark, argc, argv);
}

#include "bench_gallery.moc"
