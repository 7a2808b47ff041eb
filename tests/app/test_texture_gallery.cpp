// The Texture gallery, rebuilt straight from faces and their bitmaps: places,
// item data, whole rebuilds, missing or damaged bitmaps, and sharp thumbnails
// at any display scale.

#include <QListWidget>
#include <QPainter>
#include <QScrollBar>
#include <QTest>

#include "app/main_dialog.h"
#include "app/prompts.h"
#include "app/texture_gallery.h"
#include "app_test_support.h"
#include "catalogue/texture_catalogue.h"
#include "scripted_prompts.h"

using morvane::app::CMainDialog;
using morvane::apptest::ScriptedPrompts;
namespace apptest = morvane::apptest;

class TextureGalleryTest : public QObject {
    Q_OBJECT

private slots:
    void itemsSitSixToARowWithTheirRecordIndex();
    void aRebuildReplacesEverythingAndSelectsNothing();
    void anEmptyListEmptiesTheGallery();
    void aMissingOrDamagedBitmapGivesABlankThumbnail();
    void thumbnailsStaySharpAtEveryScale_data();
    void thumbnailsStaySharpAtEveryScale();
    void itemsKeepTheirPlacesThroughALayout();

private:
    // The faces of `records`, in that order; record r shows face r.
    static std::vector<morvane::ShownFace> Faces(const std::vector<int>& records);
};

std::vector<morvane::ShownFace> TextureGalleryTest::Faces(const std::vector<int>& records) {
    std::vector<morvane::ShownFace> faces;
    for (const int record : records) {
        faces.push_back({record, apptest::Bitmap16Of(morvane::gen::FaceTexture(record))});
    }
    return faces;
}

void TextureGalleryTest::itemsSitSixToARowWithTheirRecordIndex() {
    ScriptedPrompts prompts;
    CMainDialog dialog(prompts);
    QVERIFY(apptest::StartShown(dialog));
    std::vector<int> records;
    for (int i = 0; i < 13; ++i) {
        records.push_back(2 + 3 * i);
    }
    dialog.RebuildGallery(Faces(records));

    auto* list = static_cast<morvane::app::CTextureList*>(apptest::TextureList(dialog));
    QCOMPARE(list->count(), 13);
    QCOMPARE(apptest::ItemRecords(dialog), records);
    const int xs[6] = {4, 40, 76, 112, 148, 184};
    const int ys[3] = {4, 72, 140};
    for (int i = 0; i < 13; ++i) {
        QCOMPARE(list->ItemPosition(i), QPoint(xs[i % 6], ys[i / 6]));
        QCOMPARE(list->item(i)->text(), QString());
        const QString difference = apptest::CompareWithTexture(
            dialog.imageList()[i], morvane::gen::FaceTexture(records[static_cast<size_t>(i)]));
        QVERIFY2(difference.isEmpty(), qPrintable(difference));
    }
    // The third row lies below the visible part: scrolled to, it shows there.
    list->scrollToItem(list->item(12));
    QCOMPARE(list->visualItemRect(list->item(12)).topLeft() +
                 QPoint(0, list->verticalScrollBar()->value()),
             QPoint(4, 140));
    QCOMPARE(list->selectionMode(), QAbstractItemView::SingleSelection);
}

void TextureGalleryTest::aRebuildReplacesEverythingAndSelectsNothing() {
    ScriptedPrompts prompts;
    CMainDialog dialog(prompts);
    QVERIFY(apptest::StartShown(dialog));
    QListWidget* list = apptest::TextureList(dialog);

    dialog.RebuildGallery(Faces({0, 1, 2}));
    list->setCurrentRow(2);
    QCOMPARE(dialog.SelectionMark(), 2);
    // Single selection: picking another item drops the first.
    QTest::mouseClick(list->viewport(), Qt::LeftButton, {}, apptest::ItemCentre(dialog, 0));
    QCOMPARE(list->selectedItems().size(), 1);
    QCOMPARE(dialog.SelectionMark(), 0);

    std::vector<int> ten;
    for (int i = 0; i < 10; ++i) {
        ten.push_back(20 + i);
    }
    dialog.RebuildGallery(Faces(ten));
    QCOMPARE(list->count(), 10);
    QCOMPARE(dialog.imageList().size(), 10);
    QCOMPARE(dialog.SelectionMark(), -1);

    dialog.RebuildGallery(Faces({2, 5, 9}));
    QCOMPARE(list->count(), 3);
    QCOMPARE(dialog.imageList().size(), 3);
    QCOMPARE(apptest::ItemRecords(dialog), (std::vector<int>{2, 5, 9}));
    QVERIFY(
        apptest::CompareWithTexture(dialog.imageList()[1], morvane::gen::FaceTexture(5)).isEmpty());
    QVERIFY(list->selectedItems().isEmpty());
    QVERIFY(list->updatesEnabled());
}

void TextureGalleryTest::anEmptyListEmptiesTheGallery() {
    ScriptedPrompts prompts;
    CMainDialog dialog(prompts);
    QVERIFY(apptest::StartShown(dialog));
    dialog.RebuildGallery(Faces({4, 7}));
    QCOMPARE(apptest::TextureList(dialog)->count(), 2);
    dialog.RebuildGallery(Faces({}));
    QCOMPARE(apptest::TextureList(dialog)->count(), 0);
    QVERIFY(dialog.imageList().isEmpty());
    QVERIFY(apptest::TextureList(dialog)->updatesEnabled());
}

void TextureGalleryTest::aMissingOrDamagedBitmapGivesABlankThumbnail() {
    ScriptedPrompts prompts;
    CMainDialog dialog(prompts);
    QVERIFY(apptest::StartShown(dialog));
    std::vector<morvane::ShownFace> faces = Faces({3, 4, 6});
    faces[1].bitmap.clear();
    faces[2].bitmap = {'n', 'o', 't', ' ', 'a', ' ', 'b', 'm', 'p'};
    dialog.RebuildGallery(faces);

    QCOMPARE(apptest::ItemRecords(dialog), (std::vector<int>{3, 4, 6}));
    QVERIFY(
        apptest::CompareWithTexture(dialog.imageList()[0], morvane::gen::FaceTexture(3)).isEmpty());
    for (const int i : {1, 2}) {
        const QImage& blank = dialog.imageList()[i];
        QCOMPARE(blank.size(), QSize(32, 64));
        QCOMPARE(blank.pixel(0, 0), blank.pixel(31, 63));
        QCOMPARE(blank.pixel(16, 32), blank.pixel(0, 0));
    }
    QVERIFY(apptest::TextureList(dialog)->updatesEnabled());
}

void TextureGalleryTest::thumbnailsStaySharpAtEveryScale_data() {
    QTest::addColumn<int>("scale");
    QTest::newRow("1x") << 1;
    QTest::newRow("2x") << 2;
    QTest::newRow("3x") << 3;
}

void TextureGalleryTest::thumbnailsStaySharpAtEveryScale() {
    QFETCH(int, scale);
    ScriptedPrompts prompts;
    CMainDialog dialog(prompts);
    QVERIFY(apptest::StartShown(dialog));
    dialog.RebuildGallery(Faces({11, 12}));
    QWidget* viewport = apptest::TextureList(dialog)->viewport();

    // The viewport drawn as a screen of this scale would draw it.
    QImage screen(viewport->size() * scale, QImage::Format_RGB32);
    screen.setDevicePixelRatio(scale);
    screen.fill(Qt::white);
    viewport->render(&screen);
    screen.setDevicePixelRatio(1);

    // Each texel is a solid block of scale x scale pixels of its own colour; a
    // filtered scale would blend neighbouring texels.
    const QImage second = screen.copy(QRect(QPoint(40, 4) * scale, QSize(32, 64) * scale));
    const QString difference =
        apptest::CompareWithTexture(second, morvane::gen::FaceTexture(12), scale);
    QVERIFY2(difference.isEmpty(), qPrintable(difference));
}

void TextureGalleryTest::itemsKeepTheirPlacesThroughALayout() {
    ScriptedPrompts prompts;
    CMainDialog dialog(prompts);
    QVERIFY(apptest::StartShown(dialog));
    dialog.RebuildGallery(Faces({1, 2, 3, 4, 5, 6, 7, 8}));
    auto* list = static_cast<morvane::app::CTextureList*>(apptest::TextureList(dialog));

    // A new font, a resize and a new row each make the view lay out afresh.
    QFont font = list->font();
    font.setPointSize(font.pointSize() + 6);
    list->setFont(font);
    list->resize(list->width() + 40, list->height());
    QCoreApplication::processEvents();
    list->doItemsLayout();
    for (int i = 0; i < 8; ++i) {
        QCOMPARE(list->ItemPosition(i), morvane::app::GalleryPosition(i));
        QCOMPARE(list->visualItemRect(list->item(i)).size(), QSize(32, 64));
    }
}

QTEST_MAIN(TextureGalleryTest)
#include "test_texture_gallery.moc"
