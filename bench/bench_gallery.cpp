// The Texture gallery rebuilt with 60 thumbnails, as every extraction pass has
// it rebuilt, beside its floor: copying the same 60 bitmaps' pixels into
// images. QtTest's QBENCHMARK, offscreen unless QT_QPA_PLATFORM says otherwise.

#include <QApplication>
#include <QTest>
#include <memory>

#include "app/main_dialog.h"
#include "app_test_support.h"
#include "bench/bench_support.h"
#include "catalogue/texture_catalogue.h"
#include "common/error.h"
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
    std::vector<morvane::ShownFace> m_faces;
};

// The 60 bitmaps, made as the extraction pass makes them: a texture file, then
// its conversion.
void GalleryBenchmark::initTestCase() {
    const morvane::CTextureConverter converter;
    morvane::TextureRecord record;
    record.size = morvane::kFaceTextureBytes;
    record.entry.width = morvane::kFaceWidth;
    record.entry.height = morvane::kFaceHeight;
    record.entry.format = morvane::kFaceFormat;
    std::vector<uint8_t> texture;
    for (int i = 0; i < kThumbnails; ++i) {
        morvane::ShownFace face{i, {}};
        QCOMPARE(converter.BuildTextureFile(record, morvane::gen::FaceTexture(i), texture),
                 morvane::Error::None);
        QCOMPARE(converter.ConvertTextureFileToBitmap(texture, face.bitmap), morvane::Error::None);
        m_faces.push_back(std::move(face));
    }
}

void GalleryBenchmark::rebuildGallery() {
    morvane::apptest::ScriptedPrompts prompts;
    morvane::app::CMainDialog dialog(prompts);
    QVERIFY(morvane::apptest::StartShown(dialog));
    QBENCHMARK {
        dialog.RebuildGallery(m_faces);
    }
    QCOMPARE(dialog.imageList().size(), kThumbnails);
}

void GalleryBenchmark::rebuildGalleryFloor() {
    QList<QImage> images;
    QBENCHMARK {
        images.clear();
        for (const morvane::ShownFace& face : m_faces) {
            const QImage view(face.bitmap.data() + 54, 32, 64, 64, QImage::Format_RGB555);
            images.push_back(view.copy());
        }
    }
    QCOMPARE(images.size(), kThumbnails);
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
