// Files dropped on the window, judged by what they hold: a state loads as
// Browse would with that path, wherever it lands; a picture dropped on a
// thumbnail replaces that texture as a double-click would, and one dropped
// beside the faces the selected face; no file dialog either way.

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
    void whatTheFileHoldsDecidesWhereItGoes();

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

// A state dropped on a face opens, and asks nothing about pictures or
// outputs; a picture beside the faces goes onto the selected one, or is
// refused with the words for a picture, never a state's.
void DragAndDropTest::whatTheFileHoldsDecidesWhereItGoes() {
    LoadByDrop();
    // An earlier output of this state: a replacement would ask about it.
    apptest::WriteFile(Path(QStringLiteral("GOLDENEYE_new.pj")),
                       std::vector<uint8_t>{'e', 'a', 'r', 'l', 'i', 'e', 'r'});
    gen::StateOptions zipped;
    zipped.container = gen::Container::Zip;
    zipped.faces = 4;
    const QString other = Path(QStringLiteral("OTHER.pj.zip"));
    apptest::WriteState(other, zipped);
    QVERIFY(DropFile(other, OnThumbnail(2)));
    QVERIFY2(m_prompts->messages.empty(), qPrintable(m_prompts->MessageTexts().join(", ")));
    QVERIFY(m_prompts->questions.empty());
    QCOMPARE(apptest::TextureList(*m_dialog)->count(), 4);
    QCOMPARE(m_dialog->session().OutputStatePath,
             morvane::app::PathFromDialog(Path(QStringLiteral("OTHER_new.pj.zip"))));

    // Beside the faces, with none selected; then with one.
    const QString picture = Path(QStringLiteral("face.bmp"));
    apptest::WriteFile(picture, gen::FaceBitmap(44));
    QWidget* viewport = apptest::TextureList(*m_dialog)->viewport();
    const QPoint beside =
        viewport->mapTo(m_dialog.get(), viewport->rect().bottomRight() - QPoint(3, 3));
    QVERIFY(DropFile(picture, beside));
    QCOMPARE(m_prompts->MessageTexts(),
             QStringList{QStringLiteral("Drop the picture onto a face")});
    QVERIFY(!QFile::exists(Path(QStringLiteral("OTHER_new.pj.zip"))));
    apptest::TextureList(*m_dialog)->setCurrentRow(3);
    QVERIFY(DropFile(picture, QPoint(5, 5)));
    QCOMPARE(m_prompts->messages.size(), size_t{1});
    QVERIFY(apptest::CompareWithTexture(m_dialog->imageList()[3], gen::FaceTexture(44)).isEmpty());

    // A JPEG is a picture, refused as one; a text file is no picture, and
    // is refused as a state.
    const QString jpeg = Path(QStringLiteral("face.jpg"));
    apptest::WriteFile(jpeg, std::vector<uint8_t>{0xFF, 0xD8, 0xFF, 0xE0, 0, 0x10, 'J', 'F'});
    QVERIFY(DropFile(jpeg, OnThumbnail(1)));
    QCOMPARE(m_prompts->MessageTexts().back(), QStringLiteral("The file was not a bitmap"));
    QVERIFY(m_prompts->messages.back().details.endsWith(
        QLatin1String("It is a JPEG picture: save it as PNG.")));
    const QString text = Path(QStringLiteral("notes.txt"));
    apptest::WriteFile(text, std::vector<uint8_t>{'h', 'e', 'l', 'l', 'o'});
    QVERIFY(DropFile(text, OnThumbnail(1)));
    QCOMPARE(m_prompts->MessageTexts().back(),
             QStringLiteral("The file is too short to be a save state"));
    QVERIFY(m_prompts->messages.back().details.startsWith(text + QStringLiteral("\nMorvane reads")));
    QCOMPARE(apptest::TextureList(*m_dialog)->count(), 4);
}

QTEST_MAIN(DragAndDropTest)
#include "test_drag_and_drop.moc"
