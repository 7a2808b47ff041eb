// The commands on a texture: replace by double-click or from the popup menu,
// every refusal, replacements accumulating in the written state, the question
// before an earlier output is replaced, and the exports from the popup menu.

#include <QApplication>
#include <QClipboard>
#include <QContextMenuEvent>
#include <QDir>
#include <QFileInfo>
#include <QLabel>
#include <QListWidget>
#include <QMimeData>
#include <QScrollBar>
#include <QTemporaryDir>
#include <QTest>
#include <algorithm>

#include "app/main_dialog.h"
#include "app/path_line.h"
#include "app/prompts.h"
#include "app/texture_gallery.h"
#include "app_test_support.h"
#include "catalogue/session.h"
#include "catalogue/texture_commands.h"
#include "scripted_prompts.h"

using morvane::app::CMainDialog;
using morvane::app::ReplaceChoice;
using morvane::apptest::ScriptedPrompts;
namespace gen = morvane::gen;
namespace apptest = morvane::apptest;

namespace {

const char kInstructionsReplace[] =
    "Double-click the texture you want to replace and then browse to your bitmap. (This must be "
    "32x64, 256 colour)  A new pj64 dump file will be created.";

std::vector<uint8_t> Bytes(const std::array<uint8_t, 2560>& texture) {
    return std::vector<uint8_t>(texture.begin(), texture.end());
}

}  // namespace

class TextureCommandsTest : public QObject {
    Q_OBJECT

private slots:
    void init();
    void cleanup();

    void withoutASelectionNothingHappens();
    void doubleClickReplacesTheTexture();
    void eachRefusalIsShownAndChangesNothing_data();
    void eachRefusalIsShownAndChangesNothing();
    void cancellingTheReplacementChangesNothing();
    void twoReplacementsAccumulateInTheFile();
    void aFailedWriteLeavesTheFaceAsLastWritten();
    void otherKindsOfStateAreWrittenInTheirOwnForm_data();
    void otherKindsOfStateAreWrittenInTheirOwnForm();
    void anEarlierOutputIsReplacedOnlyOnceTheUserSaysSo();
    void aLinkAtTheOutputIsAskedAboutAndReplacedItself();
    void thePopupOffersTheCommands();
    void saveAsPngThenReplaceGivesTheSameStateBack();
    void saveAsBitmapFromThePopup();
    void aTextureFileBesideTheBitmapIsReplacedOnlyOnceTheUserSaysSo();
    void saveAsTextureFromThePopup();
    void replaceTextureFromThePopup();
    void cancellingSaveAsWritesNothing();
    void theBottomLineNeverHidesTheFilesName();
    void aChangedFaceIsMarkedComparedAndPutBack();
    void pasteTakesTheClipboardsPictureWithEveryCheck();
    void theGalleryKeepsItsPlaceAndTheKeysReachTheCommands();

private:
    QString Path(const QString& name) const { return m_folder->filePath(name); }
    // Loads a generated NTSC state of 8 faces into a shown window.
    void Load() {
        Load(gen::StateOptions{}, QStringLiteral("GOLDENEYE.pj"),
             QStringLiteral("GOLDENEYE_new.pj"));
    }
    void Load(gen::StateOptions options, const QString& name, const QString& outputName);
    // Right-clicks at a point of the gallery and answers the popup with `choice`.
    void RightClick(QPoint position, const QString& choice);
    void RightClickItem(int row, const QString& choice) {
        RightClick(apptest::ItemCentre(*m_dialog, row), choice);
    }
    QString PictureOfFace(int n);

    std::unique_ptr<QTemporaryDir> m_folder;
    std::unique_ptr<ScriptedPrompts> m_prompts;
    std::unique_ptr<CMainDialog> m_dialog;
    gen::GeneratedState m_state;
    std::vector<gen::GeneratedTexture> m_faces;
    QString m_statePath;
    QString m_outputPath;
};

void TextureCommandsTest::init() {
    m_folder = std::make_unique<QTemporaryDir>();
    QVERIFY(m_folder->isValid());
    m_prompts = std::make_unique<ScriptedPrompts>();
    m_dialog = std::make_unique<CMainDialog>(*m_prompts);
    QVERIFY(apptest::StartShown(*m_dialog));
}

void TextureCommandsTest::cleanup() {
    m_dialog.reset();
    m_prompts.reset();
    m_folder.reset();
}

void TextureCommandsTest::Load(gen::StateOptions options, const QString& name,
                               const QString& outputName) {
    m_statePath = Path(name);
    m_outputPath = Path(outputName);
    options.faces = 8;
    options.others = 4;
    m_state = apptest::WriteState(m_statePath, options);
    m_faces = apptest::Faces(m_state);
    m_prompts->paths.push_back(m_statePath);
    m_dialog->OnOK();
    QCOMPARE(apptest::TextureList(*m_dialog)->count(), 8);
    QCOMPARE(m_dialog->session().OutputStatePath, morvane::app::PathFromDialog(m_outputPath));
}

void TextureCommandsTest::RightClick(QPoint position, const QString& choice) {
    QWidget* viewport = apptest::TextureList(*m_dialog)->viewport();
    if (!choice.isEmpty()) {
        m_prompts->menuChoices.push_back(choice);
    }
    QTest::mousePress(viewport, Qt::RightButton, {}, position);
    QTest::mouseRelease(viewport, Qt::RightButton, {}, position);
    QContextMenuEvent event(QContextMenuEvent::Mouse, position, viewport->mapToGlobal(position));
    QApplication::sendEvent(viewport, &event);
}

QString TextureCommandsTest::PictureOfFace(int n) {
    const QString path = Path(QStringLiteral("face%1.bmp").arg(n));
    apptest::WriteFile(path, gen::FaceBitmap(n));
    return path;
}

void TextureCommandsTest::withoutASelectionNothingHappens() {
    // Before any load the gallery is empty.
    m_dialog->OnReplaceTexture();
    m_dialog->OnSaveAsBitmap();
    m_dialog->OnSaveAsTexture();
    m_dialog->OnDblclkTextureList();
    QVERIFY(m_prompts->fileDialogs.isEmpty());

    Load();
    m_dialog->OnReplaceTexture();
    m_dialog->OnSaveAsBitmap();
    m_dialog->OnSaveAsTexture();
    // A right-click on the gallery's empty space offers nothing.
    RightClick(QPoint(apptest::TextureList(*m_dialog)->viewport()->width() - 3,
                      apptest::TextureList(*m_dialog)->viewport()->height() - 3),
               QStringLiteral("Replace Texture"));
    QCOMPARE(m_prompts->fileDialogs, QStringList{QStringLiteral("open")});  // the load's own
    QVERIFY(m_prompts->menus.empty());
    QVERIFY(m_prompts->messages.empty());
}

void TextureCommandsTest::doubleClickReplacesTheTexture() {
    Load();
    const gen::GeneratedTexture& target = m_faces[3];
    m_prompts->paths.push_back(PictureOfFace(40));
    apptest::DoubleClickItem(*m_dialog, 3);

    QCOMPARE(m_prompts->fileDialogs.size(), 2);
    QVERIFY2(m_prompts->messages.empty(), qPrintable(m_prompts->MessageTexts().join(", ")));
    const std::vector<uint8_t> expected = Bytes(gen::FaceTexture(40));
    QVERIFY(apptest::Slice(m_dialog->session().image.RdramImage, target.address, 2560) == expected);
    const std::vector<uint8_t> written = apptest::RdramOfFile(m_outputPath);
    QVERIFY(apptest::Slice(written, target.address, 2560) == expected);
    // Nothing else moved.
    QVERIFY(apptest::Slice(written, m_faces[2].address, 2560) ==
            Bytes(gen::FaceTexture(m_faces[2].faceNumber)));

    // The pass ran again: the gallery shows the new face, nothing selected.
    QCOMPARE(apptest::StatusLine(*m_dialog)->text(), QStringLiteral("Detected Goldeneye NTSC"));
    QCOMPARE(apptest::Instructions(*m_dialog)->text(), QString::fromLatin1(kInstructionsReplace));
    QCOMPARE(apptest::TextureList(*m_dialog)->count(), 8);
    QCOMPARE(m_dialog->SelectionMark(), -1);
    QCOMPARE(apptest::WrittenPath(*m_dialog)->toolTip(), QStringLiteral("Wrote ") + m_outputPath);
    QVERIFY(apptest::CompareWithTexture(m_dialog->imageList()[3], gen::FaceTexture(40)).isEmpty());
    QVERIFY(apptest::CompareWithTexture(m_dialog->imageList()[4],
                                        gen::FaceTexture(m_faces[4].faceNumber))
                .isEmpty());
    // The opened state itself is never written.
    QVERIFY(apptest::ReadFile(m_statePath) == m_state.file);

    // A true-colour picture: the line says its colours were quantised.
    QImage gradient(32, 64, QImage::Format_RGB32);
    for (int y = 0; y < 64; ++y) {
        for (int x = 0; x < 32; ++x) {
            gradient.setPixel(x, y, qRgb(x * 8, y * 4, (x * y) % 256));
        }
    }
    const QString png = Path(QStringLiteral("gradient.png"));
    QVERIFY(gradient.save(png, "PNG"));
    m_prompts->paths.push_back(png);
    apptest::DoubleClickItem(*m_dialog, 3);
    // The picture dialog starts where the last picture came from.
    QCOMPARE(m_prompts->fileSpecs.back().start, m_folder->path());
    QVERIFY2(m_prompts->messages.empty(), qPrintable(m_prompts->MessageTexts().join(", ")));
    QVERIFY2(apptest::WrittenPath(*m_dialog)->text().endsWith(QLatin1String("(colours quantised)")),
             qPrintable(apptest::WrittenPath(*m_dialog)->text()));
    QCOMPARE(apptest::WrittenPath(*m_dialog)->toolTip(),
             QStringLiteral("Wrote ") + m_outputPath +
                 QStringLiteral("\ngradient.png: it has more colours than the texture's palette; "
                                "they were quantised"));
}

void TextureCommandsTest::eachRefusalIsShownAndChangesNothing_data() {
    QTest::addColumn<QString>("kind");
    QTest::addColumn<QString>("message");
    QTest::addColumn<QString>("hint");  // beneath the picture's name
    QTest::newRow("missing file") << QStringLiteral("missing")
                                  << QStringLiteral("Could not open file.") << QString();
    QTest::newRow("text file") << QStringLiteral("text")
                               << QStringLiteral("The file was not a bitmap")
                               << QStringLiteral(
                                      "A picture must be 32x64: save it as PNG, or as "
                                      "an 8-, 16-, 24- or 32-bit bitmap.");
    QTest::newRow("4-bit bitmap")
        << QStringLiteral("4bit") << QStringLiteral("The file was not a 256 colour bitmap")
        << QStringLiteral(
               "It is a 4-bit bitmap: save it as PNG, or as an 8-, 16-, 24- or 32-bit "
               "bitmap.");
    QTest::newRow("16 x 16 bitmap")
        << QStringLiteral("16x16") << QStringLiteral("The file was not a 32x64 bitmap")
        << QStringLiteral("It is 16x16 pixels; a face texture is 32x64: scale it to 32x64.");
}

void TextureCommandsTest::eachRefusalIsShownAndChangesNothing() {
    QFETCH(QString, kind);
    QFETCH(QString, message);
    QFETCH(QString, hint);
    Load();
    const QString picture = Path(QStringLiteral("picture.bmp"));
    if (kind == QStringLiteral("text")) {
        const QByteArray text("Just some words, no picture at all.\n");
        apptest::WriteFile(picture, std::vector<uint8_t>(text.begin(), text.end()));
    } else if (kind == QStringLiteral("4bit")) {
        apptest::WriteFile(picture, apptest::BlankBitmap(32, 64, 4));
    } else if (kind == QStringLiteral("16x16")) {
        apptest::WriteFile(picture, apptest::BlankBitmap(16, 16, 8));
    }
    // An earlier output: a picture that is refused is refused before the
    // question about it, and before any Save As dialog.
    apptest::WriteFile(m_outputPath, std::vector<uint8_t>{'e', 'a', 'r', 'l', 'i', 'e', 'r'});
    m_prompts->replaceChoices = {ReplaceChoice::SaveElsewhere};
    const auto rdram = m_dialog->session().image.RdramImage;
    const QList<QImage> images = m_dialog->imageList();
    const QStringList files = QDir(m_folder->path()).entryList(QDir::Files);

    m_prompts->paths.push_back(picture);
    apptest::DoubleClickItem(*m_dialog, 1);

    QVERIFY(m_prompts->questions.empty());
    QCOMPARE(m_prompts->fileDialogs, (QStringList{QStringLiteral("open"), QStringLiteral("open")}));
    QCOMPARE(m_prompts->MessageTexts(), QStringList{message});
    QCOMPARE(m_prompts->messages[0].caption, QStringLiteral("Morvane"));
    QCOMPARE(m_prompts->messages[0].details,
             hint.isEmpty() ? picture : picture + QLatin1Char('\n') + hint);
    QVERIFY(m_dialog->session().image.RdramImage == rdram);
    QVERIFY(m_dialog->imageList() == images);
    QCOMPARE(QDir(m_folder->path()).entryList(QDir::Files), files);
    QCOMPARE(apptest::StatusLine(*m_dialog)->text(), QStringLiteral("Extracted 8 textures"));
}

void TextureCommandsTest::cancellingTheReplacementChangesNothing() {
    Load();
    const auto rdram = m_dialog->session().image.RdramImage;
    apptest::DoubleClickItem(*m_dialog, 5);
    QCOMPARE(m_prompts->fileDialogs.size(), 2);
    QVERIFY(m_prompts->messages.empty());
    QVERIFY(m_dialog->session().image.RdramImage == rdram);
    QVERIFY(!QFile::exists(m_outputPath));
    QCOMPARE(m_dialog->SelectionMark(), 5);
}

void TextureCommandsTest::twoReplacementsAccumulateInTheFile() {
    Load();
    m_prompts->paths = {PictureOfFace(30), PictureOfFace(31)};
    apptest::DoubleClickItem(*m_dialog, 0);
    const std::vector<uint8_t> afterFirst = apptest::RdramOfFile(m_outputPath);
    QVERIFY(apptest::Slice(afterFirst, m_faces[0].address, 2560) == Bytes(gen::FaceTexture(30)));

    apptest::DoubleClickItem(*m_dialog, 6);
    QVERIFY(m_prompts->messages.empty());
    const std::vector<uint8_t> afterSecond = apptest::RdramOfFile(m_outputPath);
    QVERIFY(apptest::Slice(afterSecond, m_faces[0].address, 2560) == Bytes(gen::FaceTexture(30)));
    QVERIFY(apptest::Slice(afterSecond, m_faces[6].address, 2560) == Bytes(gen::FaceTexture(31)));
    QVERIFY(std::ranges::equal(afterSecond, m_dialog->session().image.RdramImage));
    QVERIFY(apptest::CompareWithTexture(m_dialog->imageList()[0], gen::FaceTexture(30)).isEmpty());
    QVERIFY(apptest::CompareWithTexture(m_dialog->imageList()[6], gen::FaceTexture(31)).isEmpty());
}

void TextureCommandsTest::aFailedWriteLeavesTheFaceAsLastWritten() {
    Load();
    m_prompts->paths = {PictureOfFace(32), PictureOfFace(33), PictureOfFace(34)};
    apptest::DoubleClickItem(*m_dialog, 1);
    // A folder where the new state would go: the file cannot take its place.
    QVERIFY(QFile::remove(m_outputPath));
    QVERIFY(QDir(m_folder->path()).mkpath(QStringLiteral("GOLDENEYE_new.pj/inside")));
    apptest::DoubleClickItem(*m_dialog, 2);
    QCOMPARE(m_prompts->MessageTexts(),
             QStringList{QStringLiteral("Could not write the save state.")});
    QVERIFY(m_prompts->messages[0].details.startsWith(
        m_outputPath + QStringLiteral(" is a folder, not a regular file: it is left as it is.\n"
                                      "Nothing was written")));
    // Memory and gallery hold what was last written: the first replacement,
    // not the second.
    const std::vector<uint8_t> original =
        apptest::Slice(apptest::RdramOfFile(m_statePath), m_faces[2].address, 2560);
    QVERIFY(apptest::Slice(m_dialog->session().image.RdramImage, m_faces[2].address, 2560) ==
            original);
    QVERIFY(apptest::CompareWithTexture(m_dialog->imageList()[2], original).isEmpty());
    QVERIFY(apptest::CompareWithTexture(m_dialog->imageList()[1], gen::FaceTexture(32)).isEmpty());
    QCOMPARE(apptest::StatusLine(*m_dialog)->text(), QStringLiteral("Detected Goldeneye NTSC"));

    // The next write that lands carries nothing of the failed one.
    QVERIFY(QDir(m_outputPath).removeRecursively());
    apptest::DoubleClickItem(*m_dialog, 3);
    QCOMPARE(m_prompts->messages.size(), size_t{1});
    const std::vector<uint8_t> written = apptest::RdramOfFile(m_outputPath);
    QVERIFY(apptest::Slice(written, m_faces[1].address, 2560) == Bytes(gen::FaceTexture(32)));
    QVERIFY(apptest::Slice(written, m_faces[2].address, 2560) == original);
    QVERIFY(apptest::Slice(written, m_faces[3].address, 2560) == Bytes(gen::FaceTexture(34)));
}

void TextureCommandsTest::otherKindsOfStateAreWrittenInTheirOwnForm_data() {
    QTest::addColumn<int>("layout");
    QTest::addColumn<int>("container");
    QTest::addColumn<QString>("name");
    QTest::addColumn<QString>("outputName");
    QTest::addColumn<QByteArray>("magic");
    QTest::addColumn<int>("leadingEntry");
    QTest::newRow("Project64, zipped")
        << int(gen::Layout::Project64Classic) << int(gen::Container::Zip)
        << QStringLiteral("GOLDENEYE.pj.zip") << QStringLiteral("GOLDENEYE_new.pj.zip")
        << QByteArray("PK\x03\x04") << 0;
    // The second write of a session once freed the archive a second time when
    // an entry of 32 KiB or more came before the state.
    QTest::newRow("Project64, zipped after 100 KiB")
        << int(gen::Layout::Project64Classic) << int(gen::Container::Zip)
        << QStringLiteral("GOLDENEYE.pj.zip") << QStringLiteral("GOLDENEYE_new.pj.zip")
        << QByteArray("PK\x03\x04") << 100 * 1024;
    QTest::newRow("mupen64plus, gzipped")
        << int(gen::Layout::Mupen64Plus) << int(gen::Container::Gzip)
        << QStringLiteral("GoldenEye 007 (U).st0") << QStringLiteral("GoldenEye 007 (U)_new.st0")
        << QByteArray("\x1f\x8b") << 0;
}

void TextureCommandsTest::otherKindsOfStateAreWrittenInTheirOwnForm() {
    QFETCH(int, layout);
    QFETCH(int, container);
    QFETCH(QString, name);
    QFETCH(QString, outputName);
    QFETCH(QByteArray, magic);
    QFETCH(int, leadingEntry);
    gen::StateOptions options;
    options.layout = static_cast<gen::Layout>(layout);
    options.container = static_cast<gen::Container>(container);
    options.leadingEntry = static_cast<size_t>(leadingEntry);
    Load(options, name, outputName);

    // Two replacements in one session: the second writes from the same image.
    m_prompts->paths = {PictureOfFace(44), PictureOfFace(45)};
    apptest::DoubleClickItem(*m_dialog, 2);
    apptest::DoubleClickItem(*m_dialog, 5);
    QVERIFY2(m_prompts->messages.empty(), qPrintable(m_prompts->MessageTexts().join(", ")));
    const std::vector<uint8_t> written = apptest::ReadFile(m_outputPath);
    QVERIFY(written.size() > size_t(magic.size()));
    QCOMPARE(QByteArray(reinterpret_cast<const char*>(written.data()), magic.size()), magic);
    const std::vector<uint8_t> rdram = apptest::RdramOfFile(m_outputPath);
    QVERIFY(apptest::Slice(rdram, m_faces[2].address, 2560) == Bytes(gen::FaceTexture(44)));
    QVERIFY(apptest::Slice(rdram, m_faces[5].address, 2560) == Bytes(gen::FaceTexture(45)));
    QVERIFY(apptest::CompareWithTexture(m_dialog->imageList()[2], gen::FaceTexture(44)).isEmpty());
}

// A session's first write to an output that is already there asks first: it
// may hold an earlier session's replacements. Cancel writes nothing; another
// name becomes the session's output; once the session has written, it goes on
// without asking. A new load is a new session.
void TextureCommandsTest::anEarlierOutputIsReplacedOnlyOnceTheUserSaysSo() {
    Load();
    const std::vector<uint8_t> earlier = {'e', 'a', 'r', 'l', 'i', 'e', 'r'};
    apptest::WriteFile(m_outputPath, earlier);
    const QString changed =
        QFileInfo(m_outputPath).lastModified().toString(QStringLiteral("yyyy-MM-dd HH:mm"));
    const auto rdram = m_dialog->session().image.RdramImage;

    m_prompts->paths = {PictureOfFace(60)};
    m_prompts->replaceChoices = {ReplaceChoice::Cancel};
    apptest::DoubleClickItem(*m_dialog, 1);
    QCOMPARE(m_prompts->questions.size(), size_t{1});
    QCOMPARE(m_prompts->questions[0].caption, QStringLiteral("Morvane"));
    QCOMPARE(m_prompts->questions[0].text, QStringLiteral("GOLDENEYE_new.pj already exists."));
    QVERIFY2(m_prompts->questions[0].details.contains(changed) &&
                 m_prompts->questions[0].details.contains(m_folder->path()),
             qPrintable(m_prompts->questions[0].details));
    QVERIFY(apptest::ReadFile(m_outputPath) == earlier);
    QVERIFY(m_dialog->session().image.RdramImage == rdram);

    const QString mine = Path(QStringLiteral("GOLDENEYE_mine.pj"));
    m_prompts->paths = {PictureOfFace(60), mine};
    m_prompts->replaceChoices = {ReplaceChoice::SaveElsewhere};
    apptest::DoubleClickItem(*m_dialog, 1);
    QCOMPARE(m_prompts->questions.size(), size_t{2});
    QCOMPARE(m_prompts->fileSpecs.back().start, m_outputPath);
    QCOMPARE(m_dialog->session().OutputStatePath, morvane::app::PathFromDialog(mine));
    QCOMPARE(apptest::WrittenPath(*m_dialog)->toolTip(), QStringLiteral("Wrote ") + mine);
    m_prompts->paths = {PictureOfFace(61)};
    apptest::DoubleClickItem(*m_dialog, 2);
    QCOMPARE(m_prompts->questions.size(), size_t{2});
    const std::vector<uint8_t> inMine = apptest::RdramOfFile(mine);
    QVERIFY(apptest::Slice(inMine, m_faces[1].address, 2560) == Bytes(gen::FaceTexture(60)));
    QVERIFY(apptest::Slice(inMine, m_faces[2].address, 2560) == Bytes(gen::FaceTexture(61)));
    QVERIFY(apptest::ReadFile(m_outputPath) == earlier);

    m_prompts->paths = {m_statePath, PictureOfFace(62), PictureOfFace(63)};
    m_dialog->OnOK();
    QCOMPARE(m_prompts->fileSpecs.back().start, m_folder->path());
    QCOMPARE(m_dialog->session().OutputStatePath, morvane::app::PathFromDialog(m_outputPath));
    m_prompts->replaceChoices = {ReplaceChoice::Replace};
    apptest::DoubleClickItem(*m_dialog, 3);
    apptest::DoubleClickItem(*m_dialog, 4);
    QCOMPARE(m_prompts->questions.size(), size_t{3});
    const std::vector<uint8_t> replaced = apptest::RdramOfFile(m_outputPath);
    QVERIFY(apptest::Slice(replaced, m_faces[1].address, 2560) ==
            Bytes(gen::FaceTexture(m_faces[1].faceNumber)));
    QVERIFY(apptest::Slice(replaced, m_faces[3].address, 2560) == Bytes(gen::FaceTexture(62)));
    QVERIFY(apptest::Slice(replaced, m_faces[4].address, 2560) == Bytes(gen::FaceTexture(63)));
    QVERIFY2(m_prompts->messages.empty(), qPrintable(m_prompts->MessageTexts().join(", ")));
}

void TextureCommandsTest::aLinkAtTheOutputIsAskedAboutAndReplacedItself() {
    Load();
    const QString planted = Path(QStringLiteral("planted.pj"));
    QVERIFY(QFile::link(planted, m_outputPath));
    m_prompts->paths = {PictureOfFace(40), PictureOfFace(41)};
    m_prompts->replaceChoices = {ReplaceChoice::Cancel, ReplaceChoice::Replace};
    apptest::DoubleClickItem(*m_dialog, 1);
    QCOMPARE(m_prompts->questions.size(), size_t{1});
    QVERIFY(QFileInfo(m_outputPath).isSymLink());
    apptest::DoubleClickItem(*m_dialog, 1);
    QCOMPARE(m_prompts->questions.size(), size_t{2});
    QVERIFY(!QFileInfo(m_outputPath).isSymLink());
    QVERIFY(!QFileInfo::exists(planted));
    QVERIFY(apptest::Slice(apptest::RdramOfFile(m_outputPath), m_faces[1].address, 2560) ==
            Bytes(gen::FaceTexture(41)));
}

void TextureCommandsTest::thePopupOffersTheCommands() {
    Load();
    RightClickItem(4, QString());
    QCOMPARE(m_prompts->menus.size(), size_t{1});
    QCOMPARE(m_prompts->menus[0].title, QStringLiteral("Tex View Popup"));
    QCOMPARE(m_prompts->menus[0].items,
             (QStringList{QStringLiteral("Save As Bitmap"), QStringLiteral("Save As Texture"),
                          QStringLiteral("Save As PNG"), QStringLiteral("-"),
                          QStringLiteral("Replace Texture"), QStringLiteral("Paste Picture"),
                          QStringLiteral("Revert Face"), QStringLiteral("Compare Face")}));
    // An unchanged face has nothing to put back.
    QCOMPARE(m_prompts->menus[0].disabled, QStringList{QStringLiteral("Revert Face")});
    // Dismissed: nothing more happens, but the item is the one selected.
    QCOMPARE(m_prompts->fileDialogs.size(), 1);
    QCOMPARE(m_dialog->SelectionMark(), 4);
}

// The PNG holds the texture's own palette, alpha bits included, so putting
// it back changes no byte of the state.
void TextureCommandsTest::saveAsPngThenReplaceGivesTheSameStateBack() {
    gen::StateOptions options;
    options.paletteAlpha = true;
    Load(options, QStringLiteral("GOLDENEYE.pj"), QStringLiteral("GOLDENEYE_new.pj"));
    const QString png = Path(QStringLiteral("face"));
    m_prompts->paths.push_back(png);
    RightClickItem(3, QStringLiteral("Save As PNG"));
    QCOMPARE(m_prompts->fileSpecs.back().defaultSuffix, QStringLiteral("png"));
    QCOMPARE(QImage(png, "PNG").format(), QImage::Format_Indexed8);

    m_prompts->paths.push_back(png);
    apptest::DoubleClickItem(*m_dialog, 3);
    QVERIFY(m_prompts->fileSpecs.back().filters.contains(QLatin1String("(*.png *.bmp)")));
    QVERIFY2(m_prompts->messages.empty(), qPrintable(m_prompts->MessageTexts().join(", ")));
    QVERIFY(apptest::ReadFile(m_outputPath) == m_state.file);
}

void TextureCommandsTest::saveAsBitmapFromThePopup() {
    Load();
    const gen::GeneratedTexture& face = m_faces[5];
    const QString chosen = Path(QStringLiteral("exported"));
    m_prompts->paths.push_back(chosen);
    RightClickItem(5, QStringLiteral("Save As Bitmap"));

    QCOMPARE(m_prompts->fileDialogs, (QStringList{QStringLiteral("open"), QStringLiteral("save")}));
    QVERIFY(m_prompts->messages.empty());
    // The bitmap at the path itself, the texture file beside it with ".tex".
    const QImage bitmap(chosen, "BMP");
    QCOMPARE(bitmap.size(), QSize(32, 64));
    const QString difference =
        apptest::CompareWithTexture(bitmap, gen::FaceTexture(face.faceNumber));
    QVERIFY2(difference.isEmpty(), qPrintable(difference));
    const std::vector<uint8_t> bitmapBytes = apptest::ReadFile(chosen);
    QCOMPARE(int(bitmapBytes[28] | (bitmapBytes[29] << 8)), 16);

    const std::vector<uint8_t> texture = apptest::ReadFile(chosen + QStringLiteral(".tex"));
    QCOMPARE(texture.size(), 16 + size_t{face.size});
    QCOMPARE(QByteArray(reinterpret_cast<const char*>(texture.data()), 4), QByteArray("GTEX"));
    QVERIFY(std::equal(texture.begin() + 16, texture.begin() + 16 + 2560,
                       gen::FaceTexture(face.faceNumber).begin()));
    // Nothing in the session changed; the bottom line says what was saved.
    QVERIFY(!QFile::exists(m_outputPath));
    QCOMPARE(apptest::StatusLine(*m_dialog)->text(), QStringLiteral("Extracted 8 textures"));
    QCOMPARE(apptest::WrittenPath(*m_dialog)->toolTip(),
             QStringLiteral("Saved %1\nSaved %1.tex").arg(chosen));
    QVERIFY2(apptest::WrittenPath(*m_dialog)->text().endsWith(
                 QLatin1String("exported and exported.tex")),
             qPrintable(apptest::WrittenPath(*m_dialog)->text()));

    // The 16-bit bitmap goes back as it came: every texel its colour.
    m_prompts->paths.push_back(chosen);
    apptest::DoubleClickItem(*m_dialog, 5);
    QVERIFY2(m_prompts->messages.empty(), qPrintable(m_prompts->MessageTexts().join(", ")));
    QVERIFY(apptest::WrittenPath(*m_dialog)->text().endsWith(
        QLatin1String("(colours reduced, exactly)")));
    QVERIFY(apptest::CompareWithTexture(m_dialog->imageList()[5], gen::FaceTexture(face.faceNumber))
                .isEmpty());
    // The next export's dialog starts in the folder of the last.
    RightClickItem(5, QStringLiteral("Save As PNG"));
    QCOMPARE(m_prompts->fileSpecs.back().start, m_folder->path());
}

// The file dialog asks about the bitmap's own name only.
void TextureCommandsTest::aTextureFileBesideTheBitmapIsReplacedOnlyOnceTheUserSaysSo() {
    Load();
    const QString first = Path(QStringLiteral("face.bmp"));
    const std::vector<uint8_t> earlier = {'e', 'a', 'r', 'l', 'i', 'e', 'r'};
    apptest::WriteFile(first + QStringLiteral(".tex"), earlier);

    m_prompts->paths = {first};
    m_prompts->replaceChoices = {ReplaceChoice::Cancel};
    RightClickItem(2, QStringLiteral("Save As Bitmap"));
    QCOMPARE(m_prompts->questions.size(), size_t{1});
    QCOMPARE(m_prompts->questions[0].text, QStringLiteral("face.bmp.tex already exists."));
    QVERIFY(!QFile::exists(first));
    QVERIFY(apptest::ReadFile(first + QStringLiteral(".tex")) == earlier);

    const QString second = Path(QStringLiteral("other.bmp"));
    m_prompts->paths = {first, second};
    m_prompts->replaceChoices = {ReplaceChoice::SaveElsewhere};
    RightClickItem(2, QStringLiteral("Save As Bitmap"));
    QCOMPARE(m_prompts->fileSpecs.back().start, first);
    QVERIFY(!QFile::exists(first));
    QVERIFY(apptest::ReadFile(first + QStringLiteral(".tex")) == earlier);
    QVERIFY(QFile::exists(second) && QFile::exists(second + QStringLiteral(".tex")));

    m_prompts->paths = {first};
    m_prompts->replaceChoices = {ReplaceChoice::Replace};
    RightClickItem(2, QStringLiteral("Save As Bitmap"));
    QVERIFY(apptest::ReadFile(first + QStringLiteral(".tex")) ==
            apptest::ReadFile(second + QStringLiteral(".tex")));
    QVERIFY2(m_prompts->messages.empty(), qPrintable(m_prompts->MessageTexts().join(", ")));
}

void TextureCommandsTest::saveAsTextureFromThePopup() {
    Load();
    const gen::GeneratedTexture& face = m_faces[1];
    const QString chosen = Path(QStringLiteral("face.gtex"));
    m_prompts->paths.push_back(chosen);
    RightClickItem(1, QStringLiteral("Save As Texture"));

    QVERIFY(m_prompts->messages.empty());
    const std::vector<uint8_t> texture = apptest::ReadFile(chosen);
    QCOMPARE(texture.size(), 16 + size_t{face.size});
    QCOMPARE(QByteArray(reinterpret_cast<const char*>(texture.data()), 4), QByteArray("GTEX"));
    QVERIFY(std::equal(texture.begin() + 16, texture.begin() + 16 + 2560,
                       gen::FaceTexture(face.faceNumber).begin()));
    // The texture file alone.
    QCOMPARE(QDir(m_folder->path()).entryList(QDir::Files, QDir::Name | QDir::IgnoreCase),
             (QStringList{QStringLiteral("face.gtex"), QStringLiteral("GOLDENEYE.pj")}));
}

void TextureCommandsTest::replaceTextureFromThePopup() {
    Load();
    m_prompts->paths.push_back(PictureOfFace(50));
    RightClickItem(7, QStringLiteral("Replace Texture"));
    QVERIFY(m_prompts->messages.empty());
    QVERIFY(apptest::Slice(apptest::RdramOfFile(m_outputPath), m_faces[7].address, 2560) ==
            Bytes(gen::FaceTexture(50)));
    QVERIFY(apptest::CompareWithTexture(m_dialog->imageList()[7], gen::FaceTexture(50)).isEmpty());
}

void TextureCommandsTest::cancellingSaveAsWritesNothing() {
    Load();
    RightClickItem(2, QStringLiteral("Save As Bitmap"));
    RightClickItem(2, QStringLiteral("Save As Texture"));
    QCOMPARE(m_prompts->fileDialogs.size(), 3);
    QCOMPARE(QDir(m_folder->path()).entryList(QDir::Files), QStringList{"GOLDENEYE.pj"});
    QVERIFY(m_prompts->messages.empty());
}

// The line names what the window opened, then what it wrote; where it is
// too narrow, the folder gives way and the name stays. Its menu copies the
// whole path and opens the folder.
void TextureCommandsTest::theBottomLineNeverHidesTheFilesName() {
    const QString deep = QStringLiteral("a-folder-with-a-long-name/and-another-one/and-a-third");
    QVERIFY(QDir(m_folder->path()).mkpath(deep));
    Load(gen::StateOptions{}, deep + QStringLiteral("/GOLDENEYE.pj"),
         deep + QStringLiteral("/GOLDENEYE_new.pj"));
    QLabel* line = apptest::WrittenPath(*m_dialog);
    QCOMPARE(line->toolTip(), QStringLiteral("Opened %1\nProject64, classic layout, 4 MiB RDRAM\n"
                                             "Goldeneye NTSC, 8 faces")
                                  .arg(m_statePath));
    QVERIFY2(line->text().startsWith(QLatin1String("Opened GOLDENEYE.pj: NTSC, 8 faces; Proj")),
             qPrintable(line->text()));

    m_prompts->paths.push_back(PictureOfFace(40));
    apptest::DoubleClickItem(*m_dialog, 2);
    QCOMPARE(line->toolTip(), QStringLiteral("Wrote ") + m_outputPath);
    // The folder gave way in its middle; the name is whole, the line fits.
    QVERIFY2(line->text().startsWith(QLatin1String("Wrote /")) &&
                 line->text().contains(QStringLiteral("\u2026")) &&
                 line->text().endsWith(QLatin1String("/GOLDENEYE_new.pj")) &&
                 line->fontMetrics().horizontalAdvance(line->text()) <= line->width(),
             qPrintable(line->text()));

    // However narrow, the name stays whole: the folder goes first, then the
    // words after the name, then those before it.
    using morvane::app::CPathLine;
    const QFontMetrics metrics = line->fontMetrics();
    const QString before = QStringLiteral("Wrote ");
    const QString folder = QStringLiteral("/home/player/states/");
    const QString name = QStringLiteral("GOLDENEYE_new.pj");
    const QString after = QStringLiteral(" (colours quantised)");
    const int whole = metrics.horizontalAdvance(before + folder + name + after);
    QCOMPARE(CPathLine::Fitted(metrics, whole, before, folder, name, after),
             before + folder + name + after);
    for (int width = whole - 1; width > 0; width -= 7) {
        const QString fitted = CPathLine::Fitted(metrics, width, before, folder, name, after);
        QVERIFY2(fitted.contains(name) && !fitted.contains(folder), qPrintable(fitted));
        QVERIFY2(fitted.contains(after) || !fitted.contains(QLatin1String("player")),
                 qPrintable(fitted));
    }
    QCOMPARE(CPathLine::Fitted(metrics, 1, before, folder, name, after), name);

    // The menu: the whole path, and the folder it is in.
    const auto menu = [&](const QString& choice) {
        m_prompts->menuChoices.push_back(choice);
        QContextMenuEvent event(QContextMenuEvent::Mouse, QPoint(2, 2),
                                line->mapToGlobal(QPoint(2, 2)));
        QApplication::sendEvent(line, &event);
    };
    menu(QStringLiteral("Copy Path"));
    QCOMPARE(m_prompts->menus.back().items,
             (QStringList{QStringLiteral("Copy Path"), QStringLiteral("Open Containing Folder")}));
    QCOMPARE(QGuiApplication::clipboard()->text(), m_outputPath);
    menu(QStringLiteral("Open Containing Folder"));
    QCOMPARE(m_prompts->openedFolders, QStringList{QFileInfo(m_outputPath).absolutePath()});
    QVERIFY(m_prompts->messages.empty());
}

// A face this session changed is marked; it can be seen large beside what
// it was, and put back, which writes the output again.
void TextureCommandsTest::aChangedFaceIsMarkedComparedAndPutBack() {
    Load();
    QListWidget* list = apptest::TextureList(*m_dialog);
    const std::vector<uint8_t> opened(gen::FaceTexture(m_faces[2].faceNumber).begin(),
                                      gen::FaceTexture(m_faces[2].faceNumber).end());
    m_prompts->paths = {PictureOfFace(40)};
    apptest::DoubleClickItem(*m_dialog, 2);
    for (int row = 0; row < 8; ++row) {
        QCOMPARE(list->item(row)->data(morvane::app::kChangedRole).toBool(), row == 2);
    }
    QVERIFY(
        list->item(2)->toolTip().endsWith(QLatin1String("\nchanged since the state was opened")));

    QImage before;
    QImage after;
    m_prompts->onModal = [&](QDialog& compare) {
        before = compare.findChild<QLabel*>(QStringLiteral("compareBefore"))->pixmap().toImage();
        after = compare.findChild<QLabel*>(QStringLiteral("compareAfter"))->pixmap().toImage();
    };
    RightClickItem(2, QStringLiteral("Compare Face"));
    QCOMPARE(m_prompts->modals.back().title,
             QStringLiteral("Record %1, as opened and now").arg(m_faces[2].record));
    QCOMPARE(before.size(), QSize(128, 256));
    QVERIFY(apptest::CompareWithTexture(before, opened, 4).isEmpty());
    QVERIFY(apptest::CompareWithTexture(after, gen::FaceTexture(40), 4).isEmpty());

    RightClickItem(2, QStringLiteral("Revert Face"));
    QVERIFY2(m_prompts->messages.empty(), qPrintable(m_prompts->MessageTexts().join(", ")));
    QVERIFY(apptest::ReadFile(m_outputPath) == m_state.file);
    QVERIFY(!list->item(2)->data(morvane::app::kChangedRole).toBool());
    QVERIFY(apptest::CompareWithTexture(m_dialog->imageList()[2], opened).isEmpty());
    QCOMPARE(apptest::WrittenPath(*m_dialog)->toolTip(), QStringLiteral("Wrote ") + m_outputPath);
    RightClickItem(2, QString());
    QCOMPARE(m_prompts->menus.back().disabled, QStringList{QStringLiteral("Revert Face")});
}

// Ctrl+V puts the clipboard's picture on the selected face, judged as a
// picture file is: refused pictures change nothing, and say why.
void TextureCommandsTest::pasteTakesTheClipboardsPictureWithEveryCheck() {
    Load();
    QClipboard* clipboard = QGuiApplication::clipboard();
    m_dialog->activateWindow();
    QVERIFY(QTest::qWaitForWindowActive(m_dialog.get()));
    const auto paste = [&] { QTest::keyClick(m_dialog.get(), Qt::Key_V, Qt::ControlModifier); };

    paste();
    QCOMPARE(m_prompts->MessageTexts(),
             QStringList{QStringLiteral("Select the face to paste onto")});
    apptest::TextureList(*m_dialog)->setCurrentRow(4);
    clipboard->clear();
    paste();
    QCOMPARE(m_prompts->MessageTexts().back(), QStringLiteral("The clipboard holds no picture"));

    clipboard->setImage(QImage(16, 16, QImage::Format_RGB32));
    paste();
    QCOMPARE(m_prompts->MessageTexts().back(), QStringLiteral("The file was not a 32x64 bitmap"));
    QCOMPARE(m_prompts->messages.back().details,
             QStringLiteral("the clipboard's picture\nIt is 16x16 pixels; a face texture is "
                            "32x64: scale it to 32x64."));
    QVERIFY(!QFile::exists(m_outputPath));

    // An editor's PNG, indexed: taken as it is.
    QVERIFY(morvane::SaveAsPng(m_dialog->session(), m_faces[1].record,
                               morvane::app::PathFromDialog(Path(QStringLiteral("one.png")))) ==
            morvane::Error::None);
    const std::vector<uint8_t> png = apptest::ReadFile(Path(QStringLiteral("one.png")));
    auto* mime = new QMimeData;
    mime->setData(QStringLiteral("image/png"),
                  QByteArray(reinterpret_cast<const char*>(png.data()), qsizetype(png.size())));
    clipboard->setMimeData(mime);
    apptest::TextureList(*m_dialog)->setCurrentRow(4);
    paste();
    QCOMPARE(m_prompts->messages.size(), size_t{3});
    QVERIFY(apptest::Slice(apptest::RdramOfFile(m_outputPath), m_faces[4].address, 2560) ==
            Bytes(gen::FaceTexture(m_faces[1].faceNumber)));

    // An image, true colour: reduced, as the line says.
    QImage picture(32, 64, QImage::Format_RGB32);
    picture.fill(qRgb(200, 16, 64));
    clipboard->setImage(picture);
    apptest::TextureList(*m_dialog)->setCurrentRow(6);
    paste();
    QCOMPARE(m_prompts->messages.size(), size_t{3});
    QCOMPARE(apptest::WrittenPath(*m_dialog)->toolTip(),
             QStringLiteral("Wrote %1\nthe clipboard's picture: its colours were reduced to the "
                            "texture's palette, exactly")
                 .arg(m_outputPath));
}

// A replacement keeps the gallery where it was scrolled, with the keyboard
// at the changed face; arrows, F2 and Ctrl+O reach the commands.
void TextureCommandsTest::theGalleryKeepsItsPlaceAndTheKeysReachTheCommands() {
    m_statePath = Path(QStringLiteral("GOLDENEYE.pj"));
    m_outputPath = Path(QStringLiteral("GOLDENEYE_new.pj"));
    gen::StateOptions options;
    options.faces = 40;
    m_state = apptest::WriteState(m_statePath, options);
    m_dialog->activateWindow();
    QVERIFY(QTest::qWaitForWindowActive(m_dialog.get()));
    m_prompts->paths.push_back(m_statePath);
    QTest::keyClick(m_dialog.get(), Qt::Key_O, Qt::ControlModifier);
    QListWidget* list = apptest::TextureList(*m_dialog);
    QCOMPARE(list->count(), 40);

    // The load gave the faces the keyboard: the first arrow selects the
    // first, and Enter still runs Browse.
    QTest::keyClick(QApplication::focusWidget(), Qt::Key_Down);
    QCOMPARE(m_dialog->SelectionMark(), 0);
    QTest::keyClick(QApplication::focusWidget(), Qt::Key_Return);
    QCOMPARE(m_prompts->fileDialogs.size(), 2);
    // Halfway down, a face well inside the view: a view scrolled back to the
    // top and then to the face would stand elsewhere.
    const int scrolled = list->verticalScrollBar()->maximum() / 2;
    list->verticalScrollBar()->setValue(scrolled);
    int row = 0;
    while (row < 40 && list->visualItemRect(list->item(row)).top() < 68) {
        ++row;
    }
    QVERIFY(list->viewport()->rect().contains(list->visualItemRect(list->item(row))));
    list->setCurrentRow(row);
    m_prompts->paths.push_back(PictureOfFace(41));
    QTest::keyClick(list, Qt::Key_F2);
    QCOMPARE(m_prompts->fileDialogs.size(), 3);
    QVERIFY2(m_prompts->messages.empty(), qPrintable(m_prompts->MessageTexts().join(", ")));
    QVERIFY(
        apptest::CompareWithTexture(m_dialog->imageList()[row], gen::FaceTexture(41)).isEmpty());
    QCOMPARE(list->verticalScrollBar()->value(), scrolled);
    QCOMPARE(m_dialog->SelectionMark(), -1);
    QCOMPARE(list->currentRow(), row);
    // Esc runs Exit from the faces too.
    QTest::keyClick(list, Qt::Key_Escape);
    QVERIFY(!m_dialog->isVisible());
}

QTEST_MAIN(TextureCommandsTest)
#include "test_texture_commands.moc"
