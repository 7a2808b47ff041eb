// The commands on a texture: replace by double-click or from the popup menu,
// every refusal, replacements accumulating in the written state, the question
// before an earlier output is replaced, and the exports from the popup menu.

#include <QApplication>
#include <QContextMenuEvent>
#include <QDir>
#include <QFileInfo>
#include <QLabel>
#include <QListWidget>
#include <QTemporaryDir>
#include <QTest>
#include <algorithm>

#include "app/main_dialog.h"
#include "app/prompts.h"
#include "app_test_support.h"
#include "catalogue/session.h"
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
    void thePopupOffersTheFourCommands();
    void saveAsPngThenReplaceGivesTheSameStateBack();
    void saveAsBitmapFromThePopup();
    void aTextureFileBesideTheBitmapIsReplacedOnlyOnceTheUserSaysSo();
    void saveAsTextureFromThePopup();
    void replaceTextureFromThePopup();
    void cancellingSaveAsWritesNothing();

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
    const auto rdram = m_dialog->session().image.RdramImage;
    const QList<QImage> images = m_dialog->imageList();
    const QStringList files = QDir(m_folder->path()).entryList(QDir::Files);

    m_prompts->paths.push_back(picture);
    apptest::DoubleClickItem(*m_dialog, 1);

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

void TextureCommandsTest::thePopupOffersTheFourCommands() {
    Load();
    RightClickItem(4, QString());
    QCOMPARE(m_prompts->menus.size(), size_t{1});
    QCOMPARE(m_prompts->menus[0].title, QStringLiteral("Tex View Popup"));
    QCOMPARE(m_prompts->menus[0].items,
             (QStringList{QStringLiteral("Save As Bitmap"), QStringLiteral("Save As Texture"),
                          QStringLiteral("Save As PNG"), QStringLiteral("-"),
                          QStringLiteral("Replace Texture")}));
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
    // Nothing in the session changed.
    QVERIFY(!QFile::exists(m_outputPath));
    QCOMPARE(apptest::StatusLine(*m_dialog)->text(), QStringLiteral("Extracted 8 textures"));
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

QTEST_MAIN(TextureCommandsTest)
#include "test_texture_commands.moc"
