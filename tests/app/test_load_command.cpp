// The load command, Browse: a generated state in, the gallery, the status line
// and the instructions out; and every way a load is refused or cancelled.

#include <QDir>
#include <QLabel>
#include <QListWidget>
#include <QPushButton>
#include <QRegularExpression>
#include <QTemporaryDir>
#include <QTest>
#include <algorithm>

#include "app/main_dialog.h"
#include "app/prompts.h"
#include "app/texture_gallery.h"
#include "app_test_support.h"
#include "catalogue/session.h"
#include "scripted_prompts.h"

using morvane::app::CMainDialog;
using morvane::apptest::ScriptedPrompts;
namespace gen = morvane::gen;
namespace apptest = morvane::apptest;

namespace {

const char kInstructionsLoad[] =
    "Click the browse button to load in your pj64 save state of Goldeneye ( you must be in a "
    "level ).  This will extract all face textures in use at that time.";
const char kInstructionsReplace[] =
    "Double-click the texture you want to replace and then browse to your bitmap. (This must be "
    "32x64, 256 colour)  A new pj64 dump file will be created.";

gen::StateOptions Options(gen::Region region, int faces, int others) {
    gen::StateOptions options;
    options.region = region;
    options.faces = faces;
    options.others = others;
    return options;
}

// What the user sees of the gallery and the texts, to compare before and after.
struct Snapshot {
    QString status;
    QString instructions;
    std::vector<int> records;
    QList<QImage> images;
    std::filesystem::path output;

    bool operator==(const Snapshot&) const = default;
};

Snapshot Take(CMainDialog& dialog) {
    return Snapshot{apptest::StatusLine(dialog)->text(), apptest::Instructions(dialog)->text(),
                    apptest::ItemRecords(dialog), dialog.imageList(),
                    dialog.session().OutputStatePath};
}

}  // namespace

class LoadCommandTest : public QObject {
    Q_OBJECT

private slots:
    void init();

    void browseShowsEveryFaceTexture_data();
    void browseShowsEveryFaceTexture();
    void theBrowseButtonRunsTheCommand();
    void aRefusedStateAfterAGoodOneChangesNothing_data();
    void aRefusedStateAfterAGoodOneChangesNothing();
    void aStateWithoutFacesEmptiesTheGallery();
    void cancelChangesNothing();
    void aFileThatCannotBeOpenedChangesNothing();
    void aShortStateIsRefusedAndChangesNothing();
    void unreadableRecordsAreNamedInOneBox();
    void aNewLoadReplacesTheGalleryWhole();

private:
    std::unique_ptr<QTemporaryDir> m_folder;
    QString Path(const QString& name) const { return m_folder->filePath(name); }
};

void LoadCommandTest::init() {
    m_folder = std::make_unique<QTemporaryDir>();
    QVERIFY(m_folder->isValid());
}

void LoadCommandTest::browseShowsEveryFaceTexture_data() {
    QTest::addColumn<int>("region");
    QTest::newRow("NTSC") << int(gen::Region::Ntsc);
    QTest::newRow("PAL") << int(gen::Region::Pal);
}

void LoadCommandTest::browseShowsEveryFaceTexture() {
    QFETCH(int, region);
    const QString statePath = Path(QStringLiteral("GOLDENEYE.pj"));
    const gen::GeneratedState state =
        apptest::WriteState(statePath, Options(static_cast<gen::Region>(region), 8, 5));
    const std::vector<gen::GeneratedTexture> faces = apptest::Faces(state);
    QCOMPARE(faces.size(), size_t{8});

    ScriptedPrompts prompts;
    CMainDialog dialog(prompts);
    QVERIFY(apptest::StartShown(dialog));
    prompts.paths.push_back(statePath);
    dialog.OnOK();

    QVERIFY2(prompts.messages.empty(), qPrintable(prompts.MessageTexts().join(", ")));
    QVERIFY(dialog.isVisible());
    QCOMPARE(apptest::StatusLine(dialog)->text(), QStringLiteral("Extracted 8 textures"));
    QCOMPARE(apptest::Instructions(dialog)->text(), QString::fromLatin1(kInstructionsReplace));
    QCOMPARE(dialog.session().OutputStatePath,
             morvane::app::PathFromDialog(Path(QStringLiteral("GOLDENEYE_new.pj"))));

    QListWidget* list = apptest::TextureList(dialog);
    QCOMPARE(list->count(), 8);
    QCOMPARE(dialog.imageList().size(), 8);
    QVERIFY(list->selectedItems().isEmpty());
    QCOMPARE(dialog.SelectionMark(), -1);
    const QPoint expected[8] = {{4, 4},   {40, 4},  {76, 4}, {112, 4},
                                {148, 4}, {184, 4}, {4, 72}, {40, 72}};
    for (int i = 0; i < 8; ++i) {
        const gen::GeneratedTexture& face = faces[static_cast<size_t>(i)];
        QListWidgetItem* item = list->item(i);
        QCOMPARE(item->text(), QString());
        QCOMPARE(item->data(morvane::app::kRecordRole).toInt(), face.record);
        QCOMPARE(item->data(morvane::app::kImageIndexRole).toInt(), i);
        QCOMPARE(list->visualItemRect(item), QRect(expected[i], QSize(32, 64)));
        // The numbers that `morvane-cli list` prints, and export's name.
        QCOMPARE(item->toolTip(),
                 QString::asprintf("record %d (exported as tex_%03d.png)\nidentifier "
                                   "0x%04X\naddress 0x%08X",
                                   face.record, face.record, face.identifier, face.address));
        const QString difference =
            apptest::CompareWithTexture(dialog.imageList()[i], gen::FaceTexture(face.faceNumber));
        QVERIFY2(difference.isEmpty(), qPrintable(QStringLiteral("item %1: ").arg(i) + difference));
    }

    // What is on screen is what the image list holds, at the item's place
    // (the keyboard's frame, which the load put on the first face, aside).
    apptest::BrowseButton(dialog)->setFocus();
    const QImage screen = list->viewport()->grab().toImage();
    for (int i = 0; i < 8; ++i) {
        const QImage cell = screen.copy(QRect(expected[i], QSize(32, 64)));
        const QString difference = apptest::CompareWithTexture(
            cell, gen::FaceTexture(faces[static_cast<size_t>(i)].faceNumber));
        QVERIFY2(difference.isEmpty(), qPrintable(QStringLiteral("item %1: ").arg(i) + difference));
    }
}

void LoadCommandTest::theBrowseButtonRunsTheCommand() {
    const QString statePath = Path(QStringLiteral("state.pj"));
    apptest::WriteState(statePath, Options(gen::Region::Ntsc, 1, 2));
    ScriptedPrompts prompts;
    CMainDialog dialog(prompts);
    QVERIFY(apptest::StartShown(dialog));
    prompts.paths.push_back(statePath);
    QTest::mouseClick(apptest::BrowseButton(dialog), Qt::LeftButton);
    QCOMPARE(apptest::StatusLine(dialog)->text(), QStringLiteral("Extracted 1 textures"));
    QCOMPARE(apptest::TextureList(dialog)->count(), 1);
    QVERIFY(dialog.isVisible());
}

void LoadCommandTest::aRefusedStateAfterAGoodOneChangesNothing_data() {
    QTest::addColumn<QString>("gameName");
    QTest::addColumn<int>("region");
    QTest::addColumn<bool>("wrapped");
    QTest::addColumn<QString>("message");
    QTest::addColumn<QString>("hint");  // beneath the state's path: the next step
    QTest::newRow("not Goldeneye")
        << QStringLiteral("PERFECT DARK") << int(gen::Region::Ntsc) << false
        << QStringLiteral("Not a valid Goldeneye PJ64 file")
        << QStringLiteral(
               "Morvane reads the save states of Project64 (.pj, .pj.zip), of the mupen64plus "
               "family (.st0 to .st9) and of RetroArch's mupen64plus-next and parallel-n64 cores "
               "(.state, .state1 ...), saved while Goldeneye runs: save the state in a level and "
               "open that file.");
    QTest::newRow("Japanese release")
        << QStringLiteral("GOLDENEYE") << int(gen::Region::Japan) << false
        << QStringLiteral("Unsupported Goldeneye Region!")
        << QStringLiteral(
               "The state holds Goldeneye's Japanese release (region code J). Morvane supports "
               "the NTSC release (region code E) and the PAL release (region code P).");
    QTest::newRow("wrapped table") << QStringLiteral("GOLDENEYE") << int(gen::Region::Ntsc) << true
                                   << QStringLiteral("The texture table is not valid")
                                   << QStringLiteral(
                                          "The game's texture table is only in memory while a "
                                          "level is played: save the state in a level. If it was, "
                                          "the state may be damaged.");
}

void LoadCommandTest::aRefusedStateAfterAGoodOneChangesNothing() {
    QFETCH(QString, gameName);
    QFETCH(int, region);
    QFETCH(bool, wrapped);
    QFETCH(QString, message);
    QFETCH(QString, hint);
    const QString goodPath = Path(QStringLiteral("good.pj"));
    const gen::GeneratedState good =
        apptest::WriteState(goodPath, Options(gen::Region::Ntsc, 7, 3));
    gen::StateOptions refusedOptions = Options(static_cast<gen::Region>(region), 4, 1);
    refusedOptions.gameName = gameName.toStdString();
    refusedOptions.table = wrapped ? gen::TableShape::Wrapped : gen::TableShape::Normal;
    const QString refusedPath = Path(QStringLiteral("refused.pj"));
    apptest::WriteState(refusedPath, refusedOptions);

    ScriptedPrompts prompts;
    CMainDialog dialog(prompts);
    QVERIFY(apptest::StartShown(dialog));
    prompts.paths.push_back(goodPath);
    dialog.OnOK();
    QCOMPARE(apptest::TextureList(dialog)->count(), 7);
    const Snapshot before = Take(dialog);

    prompts.paths.push_back(refusedPath);
    dialog.OnOK();

    QCOMPARE(prompts.MessageTexts(), QStringList{message});
    QCOMPARE(prompts.messages[0].caption, QStringLiteral("Morvane"));
    QCOMPARE(prompts.messages[0].details,
             hint.isEmpty() ? refusedPath : refusedPath + QLatin1Char('\n') + hint);
    QVERIFY(Take(dialog) == before);
    // The bottom line still names the state the window holds.
    QVERIFY2(apptest::WrittenPath(dialog)->text().startsWith(QLatin1String("Opened good.pj: ")),
             qPrintable(apptest::WrittenPath(dialog)->text()));

    // The earlier state still works: its faces can be replaced, into its own
    // output.
    const QString picture = Path(QStringLiteral("face.bmp"));
    apptest::WriteFile(picture, gen::FaceBitmap(40));
    dialog.ReplaceTextureFrom(before.records.front(), picture);
    QCOMPARE(prompts.MessageTexts(), QStringList{message});
    QVERIFY(QFile::exists(Path(QStringLiteral("good_new.pj"))));
    QVERIFY(!QFile::exists(Path(QStringLiteral("refused_new.pj"))));
    const gen::GeneratedTexture face = apptest::Faces(good).front();
    const std::array<uint8_t, 2560> expected = gen::FaceTexture(40);
    QVERIFY(apptest::Slice(apptest::RdramOfFile(Path(QStringLiteral("good_new.pj"))), face.address,
                           2560) == std::vector<uint8_t>(expected.begin(), expected.end()));
}

void LoadCommandTest::aStateWithoutFacesEmptiesTheGallery() {
    const QString goodPath = Path(QStringLiteral("good.pj"));
    apptest::WriteState(goodPath, Options(gen::Region::Pal, 3, 3));
    const QString facelessPath = Path(QStringLiteral("faceless.pj"));
    apptest::WriteState(facelessPath, Options(gen::Region::Pal, 0, 5));

    ScriptedPrompts prompts;
    CMainDialog dialog(prompts);
    QVERIFY(apptest::StartShown(dialog));
    prompts.paths.push_back(facelessPath);
    dialog.OnOK();
    QCOMPARE(apptest::StatusLine(dialog)->text(), QStringLiteral("No textures found!"));
    QCOMPARE(apptest::Instructions(dialog)->text(), QString::fromLatin1(kInstructionsLoad));

    prompts.paths.push_back(goodPath);
    prompts.paths.push_back(facelessPath);
    dialog.OnOK();
    QCOMPARE(apptest::TextureList(dialog)->count(), 3);
    dialog.OnOK();
    QCOMPARE(apptest::StatusLine(dialog)->text(), QStringLiteral("No textures found!"));
    QCOMPARE(apptest::TextureList(dialog)->count(), 0);
    QVERIFY(dialog.imageList().isEmpty());
    QVERIFY(prompts.messages.empty());
}

void LoadCommandTest::cancelChangesNothing() {
    const QString statePath = Path(QStringLiteral("GOLDENEYE.pj"));
    apptest::WriteState(statePath, Options(gen::Region::Ntsc, 5, 2));
    ScriptedPrompts prompts;
    CMainDialog dialog(prompts);
    QVERIFY(apptest::StartShown(dialog));

    dialog.OnOK();  // no answer queued: the dialog is cancelled
    QVERIFY(apptest::StatusLine(dialog)->text().isEmpty());
    QCOMPARE(apptest::Instructions(dialog)->text(), QString::fromLatin1(kInstructionsLoad));
    QVERIFY(dialog.session().OutputStatePath.empty());

    prompts.paths.push_back(statePath);
    dialog.OnOK();
    const Snapshot before = Take(dialog);
    const auto rdram = dialog.session().image.RdramImage;
    prompts.paths.push_back(QString());
    dialog.OnOK();
    QCOMPARE(prompts.fileDialogs.size(), 3);
    QVERIFY(Take(dialog) == before);
    QVERIFY(dialog.session().image.RdramImage == rdram);
    QVERIFY(prompts.messages.empty());
    QCOMPARE(QDir(m_folder->path()).entryList(QDir::Files), QStringList{"GOLDENEYE.pj"});
}

void LoadCommandTest::aFileThatCannotBeOpenedChangesNothing() {
    const QString statePath = Path(QStringLiteral("GOLDENEYE.pj"));
    apptest::WriteState(statePath, Options(gen::Region::Ntsc, 5, 2));
    ScriptedPrompts prompts;
    CMainDialog dialog(prompts);
    QVERIFY(apptest::StartShown(dialog));
    prompts.paths.push_back(statePath);
    dialog.OnOK();
    const Snapshot before = Take(dialog);

    prompts.paths.push_back(Path(QStringLiteral("no such folder/state.pj")));
    dialog.OnOK();
    QVERIFY(Take(dialog) == before);
    QVERIFY(prompts.messages.empty());
}

void LoadCommandTest::aShortStateIsRefusedAndChangesNothing() {
    const QString statePath = Path(QStringLiteral("GOLDENEYE.pj"));
    apptest::WriteState(statePath, Options(gen::Region::Ntsc, 5, 2));
    gen::StateOptions shortOptions = Options(gen::Region::Ntsc, 5, 2);
    shortOptions.truncateTo = 4204380 - 1;
    const QString shortPath = Path(QStringLiteral("short.pj"));
    apptest::WriteState(shortPath, shortOptions);

    ScriptedPrompts prompts;
    CMainDialog dialog(prompts);
    QVERIFY(apptest::StartShown(dialog));
    prompts.paths.push_back(statePath);
    dialog.OnOK();
    const Snapshot before = Take(dialog);
    const auto rdram = dialog.session().image.RdramImage;

    prompts.paths.push_back(shortPath);
    dialog.OnOK();
    QCOMPARE(prompts.MessageTexts(),
             QStringList{QStringLiteral("The file is too short to be a save state")});
    QVERIFY(Take(dialog) == before);
    QVERIFY(dialog.session().image.RdramImage == rdram);
}

void LoadCommandTest::aNewLoadReplacesTheGalleryWhole() {
    const QString many = Path(QStringLiteral("many.pj"));
    const gen::GeneratedState manyState =
        apptest::WriteState(many, Options(gen::Region::Ntsc, 10, 4));
    const QString few = Path(QStringLiteral("few.pj"));
    const gen::GeneratedState fewState = apptest::WriteState(few, Options(gen::Region::Pal, 3, 6));

    ScriptedPrompts prompts;
    CMainDialog dialog(prompts);
    QVERIFY(apptest::StartShown(dialog));
    prompts.paths = {many, few, many};
    dialog.OnOK();
    QCOMPARE(apptest::TextureList(dialog)->count(), 10);
    apptest::TextureList(dialog)->item(4)->setSelected(true);
    QCOMPARE(dialog.SelectionMark(), 4);

    dialog.OnOK();
    QCOMPARE(apptest::TextureList(dialog)->count(), 3);
    QCOMPARE(dialog.imageList().size(), 3);
    QCOMPARE(dialog.SelectionMark(), -1);
    std::vector<int> fewRecords;
    for (const gen::GeneratedTexture& face : apptest::Faces(fewState)) {
        fewRecords.push_back(face.record);
    }
    QCOMPARE(apptest::ItemRecords(dialog), fewRecords);

    dialog.OnOK();
    QCOMPARE(apptest::TextureList(dialog)->count(), 10);
    QCOMPARE(dialog.imageList().size(), 10);
    QCOMPARE(apptest::TextureList(dialog)->visualItemRect(apptest::TextureList(dialog)->item(9)),
             QRect(QPoint(112, 72), QSize(32, 64)));
    QCOMPARE(apptest::StatusLine(dialog)->text(), QStringLiteral("Extracted 10 textures"));
}

// One box for every record of the table whose texture cannot be read, the
// records named beneath the message, however many there are.
void LoadCommandTest::unreadableRecordsAreNamedInOneBox() {
    gen::StateOptions options = Options(gen::Region::Ntsc, 6, 3);
    options.addressAbovePrevious = true;
    const QString statePath = Path(QStringLiteral("GOLDENEYE.pj"));
    const gen::GeneratedState state = apptest::WriteState(statePath, options);
    // Its size wrapped: it lies above the texture listed before it.
    const auto wrapped =
        std::find_if(state.textures.begin(), state.textures.end(),
                     [](const gen::GeneratedTexture& t) { return t.size > 4u * 1024 * 1024; });
    QVERIFY(wrapped != state.textures.end());

    ScriptedPrompts prompts;
    CMainDialog dialog(prompts);
    QVERIFY(apptest::StartShown(dialog));
    prompts.paths.push_back(statePath);
    dialog.OnOK();
    QCOMPARE(prompts.MessageTexts(), QStringList{QStringLiteral("Memory Allocation failure")});
    // "records 0, 2, 3: ...": the face moved above and what it now overlaps.
    const QString details = prompts.messages[0].details;
    const QString named = details.section(QLatin1Char(':'), 0, 0);
    QVERIFY2(
        named.startsWith(QLatin1String("record")) &&
            named.contains(QRegularExpression(QStringLiteral("\\b%1\\b").arg(wrapped->record))),
        qPrintable(details));
    QVERIFY2(details.endsWith(QLatin1String("The state may be damaged: save it again in the "
                                            "emulator.")),
             qPrintable(details));
    QCOMPARE(apptest::TextureList(dialog)->count(), 6);
    // Its face is marked as unreadable, and says so; the readable ones are not.
    int marked = 0;
    for (int row = 0; row < 6; ++row) {
        const QListWidgetItem* item = apptest::TextureList(dialog)->item(row);
        const bool unreadable = item->data(morvane::app::kUnreadableRole).toBool();
        marked += unreadable ? 1 : 0;
        QCOMPARE(item->toolTip().endsWith(QLatin1String(
                     "\nunreadable: its bytes lie past the end of memory or over another face")),
                 unreadable);
        if (item->data(morvane::app::kRecordRole).toInt() == wrapped->record) {
            QVERIFY(unreadable);
        }
    }
    QVERIFY(marked > 0 && marked < 6);
}

QTEST_MAIN(LoadCommandTest)
#include "test_load_command.moc"
