// Files dropped on the window: a state loads as Browse would with that path,
// and a picture dropped on a thumbnail replaces that texture as a
// double-click would, with no file dialog either way.

#include <QApplication>
#include <QDropEvent>
#include <QLabel>
#include <QListWidget>
#include <QMimeData>
#include <QTemporaryDir>
#include <QTest>
#include <QUrl>

#include "app/main_dialog.h"
#include "app/prompts.h"
#include "app_test_support.h"
#include "catalogue/session.h"
#include "catalogue/texture_commands.h"
#include "scripted_prompts.h"

using morvane::app::CMainDialog;
using morvane::apptest::ScriptedPrompts;
namespace gen = morvane::gen;
namespace apptest = morvane::apptest;

class DragAndDropTest : public QObject {
    Q_OBJECT

private slots:
    void init();
    void cleanup();

    void aDroppedStateLoadsAsBrowseWould();
    void aPictureDroppedOnAThumbnailReplacesThatTexture();
    void aRefusedPictureIsShownAndChangesNothing();
    void aPngDroppedOnAThumbnailIsAcceptedToo();
    void aDropWithoutOneLocalFileIsIgnored();

private:
    QString Path(const QString& name) const { return m_folder->filePath(name); }
    // Sends the whole drag to the window: enter, move and drop at `onDialog`.
    // Returns whether the window accepted the drag.
    bool Drop(const QList<QUrl>& urls, QPoint onDialog);
    bool DropFile(const QString& path, QPoint onDialog) {
        return Drop({QUrl::fromLocalFile(path)}, onDialog);
    }
    // The centre of thumbnail `row`, in the dialog's coordinates.
    QPoint OnThumbnail(int row) {
        QWidget* viewport = apptest::TextureList(*m_dialog)->viewport();
        return viewport->mapTo(m_dialog.get(), apptest::ItemCentre(*m_dialog, row));
    }
    void LoadByDrop();

    std::unique_ptr<QTemporaryDir> m_folder;
    std::unique_ptr<ScriptedPrompts> m_prompts;
    std::unique_ptr<CMainDialog> m_dialog;
    gen::GeneratedState m_state;
    std::vector<gen::GeneratedTexture> m_faces;
};

void DragAndDropTest::init() {
    m_folder = std::make_unique<QTemporaryDir>();
    QVERIFY(m_folder->isValid());
    m_prompts = std::make_unique<ScriptedPrompts>();
    m_dialog = std::make_unique<CMainDialog>(*m_prompts);
    QVERIFY(apptest::StartShown(*m_dialog));
}

void DragAndDropTest::cleanup() {
    m_dialog.reset();
    m_prompts.reset();
    m_folder.reset();
}

bool DragAndDropTest::Drop(const QList<QUrl>& urls, QPoint onDialog) {
    QMimeData mime;
    mime.setUrls(urls);
    QDragEnterEvent enter(onDialog, Qt::CopyAction, &mime, Qt::LeftButton, Qt::NoModifier);
    QApplication::sendEvent(m_dialog.get(), &enter);
    if (!enter.isAccepted()) {
        return false;
    }
    QDragMoveEvent move(onDialog, Qt::CopyAction, &mime, Qt::LeftButton, Qt::NoModifier);
    QApplication::sendEvent(m_dialog.get(), &move);
    QDropEvent drop(QPointF(onDialog), Qt::CopyAction, &mime, Qt::LeftButton, Qt::NoModifier);
    QApplication::sendEvent(m_dialog.get(), &drop);
    return drop.isAccepted();
}

void DragAndDropTest::LoadByDrop() {
    gen::StateOptions options;
    options.faces = 7;
    options.others = 3;
    m_state = apptest::WriteState(Path(QStringLiteral("GOLDENEYE.pj")), options);
    m_faces = apptest::Faces(m_state);
    QVERIFY(DropFile(Path(QStringLiteral("GOLDENEYE.pj")), QPoint(20, 20)));
}

void DragAndDropTest::aDroppedStateLoadsAsBrowseWould() {
    LoadByDrop();
    QVERIFY(m_prompts->fileDialogs.isEmpty());
    QVERIFY(m_prompts->messages.empty());
    QCOMPARE(apptest::TextureList(*m_dialog)->count(), 7);
    QCOMPARE(apptest::StatusLine(*m_dialog)->text(), QStringLiteral("Extracted 7 textures"));
    QCOMPARE(m_dialog->session().OutputStatePath,
             morvane::app::PathFromDialog(Path(QStringLiteral("GOLDENEYE_new.pj"))));
}

void DragAndDropTest::aPictureDroppedOnAThumbnailReplacesThatTexture() {
    LoadByDrop();
    const QString picture = Path(QStringLiteral("new.bmp"));
    apptest::WriteFile(picture, gen::FaceBitmap(44));
    QVERIFY(DropFile(picture, OnThumbnail(5)));

    QVERIFY(m_prompts->fileDialogs.isEmpty());
    QVERIFY2(m_prompts->messages.empty(), qPrintable(m_prompts->MessageTexts().join(", ")));
    const std::array<uint8_t, 2560> face = gen::FaceTexture(44);
    const std::vector<uint8_t> expected(face.begin(), face.end());
    const std::vector<uint8_t> written =
        apptest::RdramOfFile(Path(QStringLiteral("GOLDENEYE_new.pj")));
    QVERIFY(apptest::Slice(written, m_faces[5].address, 2560) == expected);
    QVERIFY(apptest::Slice(written, m_faces[4].address, 2560) !=
            expected);  // only the face it was dropped on
    QVERIFY(apptest::CompareWithTexture(m_dialog->imageList()[5], face).isEmpty());
}

void DragAndDropTest::aRefusedPictureIsShownAndChangesNothing() {
    LoadByDrop();
    const auto rdram = m_dialog->session().image.RdramImage;
    const QString picture = Path(QStringLiteral("small.bmp"));
    apptest::WriteFile(picture, apptest::BlankBitmap(16, 16, 8));
    QVERIFY(DropFile(picture, OnThumbnail(2)));
    QCOMPARE(m_prompts->MessageTexts(),
             QStringList{QStringLiteral("The file was not a 32x64 bitmap")});
    QVERIFY(m_dialog->session().image.RdramImage == rdram);
    QVERIFY(!QFile::exists(Path(QStringLiteral("GOLDENEYE_new.pj"))));
}

void DragAndDropTest::aPngDroppedOnAThumbnailIsAcceptedToo() {
    LoadByDrop();
    // Export face 1 as PNG through the core, and drop it on thumbnail 0.
    const QString png = Path(QStringLiteral("face.png"));
    QCOMPARE(morvane::SaveAsPng(m_dialog->session(), m_faces[1].record,
                                morvane::app::PathFromDialog(png)),
             morvane::Error::None);
    QVERIFY(DropFile(png, OnThumbnail(0)));
    QVERIFY2(m_prompts->messages.empty(), qPrintable(m_prompts->MessageTexts().join(", ")));
    const std::array<uint8_t, 2560> face = gen::FaceTexture(m_faces[1].faceNumber);
    QVERIFY(apptest::Slice(m_dialog->session().image.RdramImage, m_faces[0].address, 2560) ==
            std::vector<uint8_t>(face.begin(), face.end()));
}

void DragAndDropTest::aDropWithoutOneLocalFileIsIgnored() {
    LoadByDrop();
    const auto rdram = m_dialog->session().image.RdramImage;
    QVERIFY(!Drop({}, QPoint(20, 20)));
    QVERIFY(!Drop({QUrl(QStringLiteral("https://example.invalid/face.bmp"))}, OnThumbnail(1)));
    QVERIFY(!Drop({QUrl::fromLocalFile(Path(QStringLiteral("a.bmp"))),
                   QUrl::fromLocalFile(Path(QStringLiteral("b.bmp")))},
                  OnThumbnail(1)));
    QVERIFY(m_prompts->messages.empty());
    QVERIFY(m_dialog->session().image.RdramImage == rdram);
}

QTEST_MAIN(DragAndDropTest)
#include "test_drag_and_drop.moc"
