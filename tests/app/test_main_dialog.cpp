// The application and its main window: start-up, the template's layout, the
// About box and its ways in, Enter, Esc and the close box, and the texts.

#include <sys/stat.h>

#include <QApplication>
#include <QContextMenuEvent>
#include <QDir>
#include <QLabel>
#include <QListWidget>
#include <QProcess>
#include <QPushButton>
#include <QTemporaryDir>
#include <QTest>
#include <QTimer>

#include "app/dialog_units.h"
#include "app/main_dialog.h"
#include "app/morvane_app.h"
#include "app/prompts.h"
#include "app/strings.h"
#include "app/texture_gallery.h"
#include "app_test_support.h"
#include "catalogue/session.h"
#include "scripted_prompts.h"

using morvane::app::CMainDialog;
using morvane::apptest::ScriptedPrompts;

namespace {

const char kInstructionsLoad[] =
    "Click the browse button to load in your pj64 save state of Goldeneye ( you must be in a "
    "level ).  This will extract all face textures in use at that time.";

// A window whose RDRAM buffer cannot be had.
class StarvedDialog final : public CMainDialog {
public:
    using CMainDialog::CMainDialog;

protected:
    bool AllocateRdramImage() override { return false; }
};

QStringList LabelTexts(const QWidget& widget) {
    QStringList texts;
    for (const QLabel* label : widget.findChildren<QLabel*>()) {
        if (!label->text().isEmpty()) {
            texts << label->text();
        }
    }
    return texts;
}

}  // namespace

class MainDialogTest : public QObject {
    Q_OBJECT

private slots:
    void startUpShowsTheAboutBoxFirstThenTheWindow();
    void theAboutBoxIsARealModalDialog();
    void theTemplateTextsStandUntilInitialisation();
    void initialisationSetsTextsIconAndBuffer();
    void dialogUnitsConvertAsThePlatformDoes();
    void theControlsKeepTheTemplatesArrangement();
    void enterRunsBrowseAndTheWindowStays_data();
    void enterRunsBrowseAndTheWindowStays();
    void escExitAndCloseBoxEndTheWindow_data();
    void escExitAndCloseBoxEndTheWindow();
    void systemCommandsMaskTheLowFourBits_data();
    void systemCommandsMaskTheLowFourBits();
    void theBackgroundsContextMenuOffersAbout();
    void f1OpensTheAboutBox();
    void withoutTheBufferTheProgramSaysSoAndStops();
    void messageBoxesBearTheApplicationsName();
    void theCommandLineIsAnsweredWithoutADisplay_data();
    void theCommandLineIsAnsweredWithoutADisplay();
    void aStateOnTheCommandLineOpensOnceTheWindowIsUp();
};

void MainDialogTest::startUpShowsTheAboutBoxFirstThenTheWindow() {
    ScriptedPrompts prompts;
    CMainDialog dialog(prompts);
    QStringList seenInAbout;
    QString titleAtAbout;
    prompts.onModal = [&](QDialog& about) {
        seenInAbout = LabelTexts(about);
        titleAtAbout = dialog.windowTitle();
    };
    bool visibleInLoop = false;
    QString titleInLoop;
    QString browseInLoop;
    QTimer::singleShot(0, &dialog, [&] {
        visibleInLoop = dialog.isVisible();
        titleInLoop = dialog.windowTitle();
        browseInLoop = morvane::apptest::BrowseButton(dialog)->text();
        dialog.reject();
    });

    const int result = dialog.DoModal();

    QCOMPARE(result, int(QDialog::Rejected));
    QCOMPARE(prompts.modals.size(), size_t{1});
    QCOMPARE(prompts.modals[0].title, QStringLiteral("About Morvane"));
    QVERIFY2(!prompts.modals[0].ownerVisible, "the main window appeared before the About box");
    QVERIFY(seenInAbout.contains(QStringLiteral("Morvane Version 1.0b")));
    QVERIFY(seenInAbout.contains(QStringLiteral("( Project 64 Version )")));
    QVERIFY(seenInAbout.contains(QStringLiteral("File version 1.0.0.1")));
    QVERIFY(visibleInLoop);
    QCOMPARE(titleInLoop, QStringLiteral("Morvane for Project 64"));
    QCOMPARE(browseInLoop, QStringLiteral("Browse"));
    QVERIFY(prompts.fileDialogs.isEmpty());
    QVERIFY(prompts.messages.empty());
}

void MainDialogTest::theAboutBoxIsARealModalDialog() {
    ScriptedPrompts prompts;
    CMainDialog dialog(prompts);
    bool wasModal = false;
    QSize pictureSize;
    QString okText;
    prompts.onModal = [&](QDialog& about) {
        QTimer::singleShot(0, &about, [&] {
            wasModal = QApplication::activeModalWidget() == &about;
            pictureSize = about.findChild<QLabel*>(QStringLiteral("aboutPicture"))->pixmap().size();
            auto* ok = about.findChild<QPushButton*>(QStringLiteral("aboutOk"));
            okText = ok->text();
            QVERIFY(ok->isDefault());
            // Enter presses OK, which ends the box.
            QTest::keyClick(&about, Qt::Key_Return);
        });
        about.exec();
    };
    QVERIFY(dialog.OnInitDialog());
    QVERIFY(wasModal);
    QCOMPARE(pictureSize, QSize(124, 78));
    QCOMPARE(okText, QStringLiteral("OK"));
    QVERIFY(!dialog.isVisible());
}

void MainDialogTest::theTemplateTextsStandUntilInitialisation() {
    ScriptedPrompts prompts;
    CMainDialog dialog(prompts);
    QCOMPARE(dialog.windowTitle(), QStringLiteral("Morvane for Nintendo 64"));
    QCOMPARE(morvane::apptest::BrowseButton(dialog)->text(), QStringLiteral("X"));
    QVERIFY(morvane::apptest::Instructions(dialog)->text().isEmpty());
    QVERIFY(dialog.session().image.RdramImage.empty());
    QVERIFY(prompts.modals.empty());
}

void MainDialogTest::initialisationSetsTextsIconAndBuffer() {
    ScriptedPrompts prompts;
    CMainDialog dialog(prompts);
    QVERIFY(dialog.OnInitDialog());
    QCOMPARE(dialog.windowTitle(), QStringLiteral("Morvane for Project 64"));
    QCOMPARE(morvane::apptest::BrowseButton(dialog)->text(), QStringLiteral("Browse"));
    QVERIFY(morvane::apptest::BrowseButton(dialog)->isDefault());
    QCOMPARE(dialog.findChild<QPushButton*>(QStringLiteral("exitButton"))->text(),
             QStringLiteral("Exit"));
    QCOMPARE(morvane::apptest::Instructions(dialog)->text(),
             QString::fromLatin1(kInstructionsLoad));
    QVERIFY(morvane::apptest::StatusLine(dialog)->text().isEmpty());
    QCOMPARE(morvane::apptest::TextureList(dialog)->count(), 0);
    QCOMPARE(dialog.session().image.RdramImage.size(), size_t{4 * 1024 * 1024});

    const QList<QSize> sizes = dialog.windowIcon().availableSizes();
    QVERIFY(sizes.contains(QSize(32, 32)));
    QVERIFY(sizes.contains(QSize(16, 16)));
    // The icon is drawn in 16 colours.
    for (const QSize size : {QSize(16, 16), QSize(32, 32)}) {
        const QImage image = dialog.windowIcon().pixmap(size).toImage();
        QSet<QRgb> colours;
        for (int y = 0; y < image.height(); ++y) {
            for (int x = 0; x < image.width(); ++x) {
                colours.insert(image.pixel(x, y));
            }
        }
        QVERIFY2(colours.size() <= 16, qPrintable(QString::number(colours.size())));
        QVERIFY(colours.size() > 4);
    }
}

void MainDialogTest::dialogUnitsConvertAsThePlatformDoes() {
    // The base units of the template's font on the platform it was made for.
    const morvane::app::DialogBaseUnits msSansSerif{6, 13};
    using morvane::app::DialogUnitsToPixels;
    QCOMPARE(DialogUnitsToPixels(msSansSerif, 215, 223), QSize(323, 362));
    QCOMPARE(DialogUnitsToPixels(msSansSerif, 152, 170, 50, 14), QRect(228, 276, 75, 23));
    QCOMPARE(DialogUnitsToPixels(msSansSerif, 9, 19, 188, 147), QRect(14, 31, 282, 239));

    // Average width: 52 letters' advance, halved and rounded.
    const morvane::app::DialogBaseUnits units = morvane::app::BaseUnitsFor(QApplication::font());
    QVERIFY(units.averageWidth > 0);
    QCOMPARE(units.height, QFontMetrics(QApplication::font()).height());
}

void MainDialogTest::theControlsKeepTheTemplatesArrangement() {
    ScriptedPrompts prompts;
    CMainDialog dialog(prompts);
    QVERIFY(morvane::apptest::StartShown(dialog));
    const QRect client = dialog.rect();
    const QRect status = morvane::apptest::StatusLine(dialog)->geometry();
    const QRect list = morvane::apptest::TextureList(dialog)->geometry();
    const QRect instructions = morvane::apptest::Instructions(dialog)->geometry();
    const QRect browse = morvane::apptest::BrowseButton(dialog)->geometry();
    const QRect exit = dialog.findChild<QPushButton*>(QStringLiteral("exitButton"))->geometry();
    for (const QRect& control : {status, list, instructions, browse, exit}) {
        QVERIFY(client.contains(control));
    }
    // Top to bottom: status, gallery, then the instructions beside the buttons.
    QVERIFY(status.bottom() < list.top());
    QVERIFY(list.bottom() < instructions.top());
    QVERIFY(list.bottom() < browse.top());
    QVERIFY(browse.bottom() < exit.top());
    QVERIFY(instructions.right() < browse.left());
    QVERIFY(!instructions.intersects(exit));
    // The window keeps the template's proportion, 215 : 223, within rounding.
    QVERIFY(qAbs(client.width() * 223.0 / (client.height() * 215.0) - 1.0) < 0.25);
    // A row of six thumbnails fits across the gallery.
    QVERIFY(morvane::apptest::TextureList(dialog)->viewport()->width() >= 4 + 36 * 5 + 32);

    // It starts at its template's size, which is its least, and grows: the
    // gallery takes what it gains, with a thumbnail more to a row for every
    // 36 pixels across; the rest keeps to the bottom and the right.
    QCOMPARE(dialog.size(), dialog.minimumSize());
    QVERIFY(dialog.maximumWidth() > client.width() && dialog.maximumHeight() > client.height());
    QListWidget* gallery = morvane::apptest::TextureList(dialog);
    std::vector<morvane::ShownFace> faces(9);
    for (size_t i = 0; i < faces.size(); ++i) {
        faces[i].record = static_cast<int32_t>(i);
    }
    dialog.RebuildGallery(faces);
    const QRect bottomLine = morvane::apptest::WrittenPath(dialog)->geometry();
    dialog.resize(client.width() + 80, client.height() + 150);
    QCoreApplication::processEvents();
    QCOMPARE(gallery->geometry(), list.adjusted(0, 0, 80, 150));
    QCOMPARE(morvane::apptest::BrowseButton(dialog)->geometry(), browse.translated(80, 150));
    QCOMPARE(morvane::apptest::Instructions(dialog)->geometry(),
             instructions.translated(0, 150).adjusted(0, 0, 80, 0));
    QCOMPARE(morvane::apptest::WrittenPath(dialog)->geometry(),
             bottomLine.translated(0, 150).adjusted(0, 0, 80, 0));
    auto* thumbnails = static_cast<morvane::app::CTextureList*>(gallery);
    QCOMPARE(thumbnails->ItemPosition(6), QPoint(4 + 36 * 6, 4));
    QCOMPARE(thumbnails->ItemPosition(8), QPoint(4, 72));
    dialog.resize(client.size());
    QCoreApplication::processEvents();
    QCOMPARE(thumbnails->ItemPosition(6), QPoint(4, 72));
}

void MainDialogTest::enterRunsBrowseAndTheWindowStays_data() {
    QTest::addColumn<bool>("focusOnGallery");
    QTest::newRow("focus on Browse") << false;
    QTest::newRow("focus on the gallery") << true;
}

void MainDialogTest::enterRunsBrowseAndTheWindowStays() {
    QFETCH(bool, focusOnGallery);
    ScriptedPrompts prompts;
    CMainDialog dialog(prompts);
    QVERIFY(morvane::apptest::StartShown(dialog));
    if (focusOnGallery) {
        morvane::apptest::TextureList(dialog)->setFocus();
    }
    QTest::keyClick(&dialog, Qt::Key_Return);
    QCOMPARE(prompts.fileDialogs, QStringList{QStringLiteral("open")});
    QVERIFY(dialog.isVisible());
    QTest::keyClick(&dialog, Qt::Key_Enter);
    QCOMPARE(prompts.fileDialogs.size(), 2);
    QVERIFY(dialog.isVisible());
    QVERIFY(prompts.messages.empty());
}

void MainDialogTest::escExitAndCloseBoxEndTheWindow_data() {
    QTest::addColumn<QString>("how");
    QTest::newRow("Esc") << QStringLiteral("esc");
    QTest::newRow("Exit button") << QStringLiteral("exit");
    QTest::newRow("close box") << QStringLiteral("close");
    QTest::newRow("system Close command") << QStringLiteral("syscommand");
}

void MainDialogTest::escExitAndCloseBoxEndTheWindow() {
    QFETCH(QString, how);
    QTemporaryDir folder;
    QVERIFY(folder.isValid());
    ScriptedPrompts prompts;
    CMainDialog dialog(prompts);
    int finished = -1;
    connect(&dialog, &QDialog::finished, &dialog, [&](int result) { finished = result; });
    QVERIFY(morvane::apptest::StartShown(dialog));

    if (how == QStringLiteral("esc")) {
        QTest::keyClick(&dialog, Qt::Key_Escape);
    } else if (how == QStringLiteral("exit")) {
        QTest::mouseClick(dialog.findChild<QPushButton*>(QStringLiteral("exitButton")),
                          Qt::LeftButton);
    } else if (how == QStringLiteral("close")) {
        dialog.close();
    } else {
        dialog.OnSysCommand(0xF060);
    }

    QVERIFY(!dialog.isVisible());
    QCOMPARE(finished, int(QDialog::Rejected));
    QVERIFY(dialog.session().image.RdramImage.empty());
    QVERIFY(prompts.fileDialogs.isEmpty());
    QVERIFY(prompts.messages.empty());
    QCOMPARE(prompts.modals.size(), size_t{1});
    QVERIFY(QDir(folder.path()).isEmpty());
}

void MainDialogTest::systemCommandsMaskTheLowFourBits_data() {
    QTest::addColumn<unsigned>("command");
    QTest::addColumn<bool>("opensAbout");
    QTest::newRow("15") << 15u << false;
    QTest::newRow("16") << 16u << true;
    QTest::newRow("17") << 17u << true;
    QTest::newRow("31") << 31u << true;
    QTest::newRow("32") << 32u << false;
    QTest::newRow("0xF010, Move") << 0xF010u << false;
}

void MainDialogTest::systemCommandsMaskTheLowFourBits() {
    QFETCH(unsigned, command);
    QFETCH(bool, opensAbout);
    ScriptedPrompts prompts;
    CMainDialog dialog(prompts);
    QVERIFY(morvane::apptest::StartShown(dialog));
    dialog.OnSysCommand(command);
    QCOMPARE(prompts.modals.size(), size_t{opensAbout ? 2u : 1u});
    QVERIFY(dialog.isVisible());
    if (opensAbout) {
        QCOMPARE(prompts.modals[1].title, QStringLiteral("About Morvane"));
        QVERIFY(prompts.modals[1].ownerVisible);
    }
}

void MainDialogTest::theBackgroundsContextMenuOffersAbout() {
    ScriptedPrompts prompts;
    CMainDialog dialog(prompts);
    QVERIFY(morvane::apptest::StartShown(dialog));
    const QPoint background(dialog.width() - 5, 5);

    QContextMenuEvent dismissed(QContextMenuEvent::Mouse, background,
                                dialog.mapToGlobal(background));
    QApplication::sendEvent(&dialog, &dismissed);
    QCOMPARE(prompts.menus.size(), size_t{1});
    QCOMPARE(prompts.menus[0].items, QStringList{QStringLiteral("&About Morvane...")});
    QCOMPARE(prompts.modals.size(), size_t{1});

    prompts.menuChoices.push_back(QStringLiteral("&About Morvane..."));
    QContextMenuEvent chosen(QContextMenuEvent::Mouse, background, dialog.mapToGlobal(background));
    QApplication::sendEvent(&dialog, &chosen);
    QCOMPARE(prompts.modals.size(), size_t{2});
    QCOMPARE(prompts.modals[1].title, QStringLiteral("About Morvane"));
}

void MainDialogTest::f1OpensTheAboutBox() {
    ScriptedPrompts prompts;
    CMainDialog dialog(prompts);
    QVERIFY(morvane::apptest::StartShown(dialog));
    dialog.activateWindow();
    QVERIFY(QTest::qWaitForWindowActive(&dialog));
    QTest::keyClick(&dialog, Qt::Key_F1);
    QCOMPARE(prompts.modals.size(), size_t{2});
    QCOMPARE(prompts.modals[1].title, QStringLiteral("About Morvane"));
}

void MainDialogTest::withoutTheBufferTheProgramSaysSoAndStops() {
    ScriptedPrompts prompts;
    StarvedDialog dialog(prompts);
    bool everShown = false;
    QTimer::singleShot(0, &dialog, [&] {
        everShown = dialog.isVisible();
        dialog.reject();
    });
    QCOMPARE(dialog.DoModal(), -1);
    QCOMPARE(prompts.MessageTexts(), QStringList{QStringLiteral("Not enough memory to start.")});
    QVERIFY(prompts.modals.empty());
    QVERIFY(!dialog.isVisible());
    QCoreApplication::processEvents();
    QVERIFY(!everShown);
}

void MainDialogTest::messageBoxesBearTheApplicationsName() {
    ScriptedPrompts prompts;
    CMainDialog dialog(prompts);
    dialog.ShowMessage(morvane::Error::NotGoldeneye);
    QCOMPARE(prompts.messages.size(), size_t{1});
    // The product's name, whatever the executable is called.
    QCOMPARE(prompts.messages[0].caption, QStringLiteral("Morvane"));
    QCOMPARE(prompts.messages[0].text, QStringLiteral("Not a valid Goldeneye PJ64 file"));
}

void MainDialogTest::theCommandLineIsAnsweredWithoutADisplay_data() {
    QTest::addColumn<QStringList>("arguments");
    QTest::addColumn<int>("status");
    QTest::addColumn<QString>("out");
    QTest::addColumn<QString>("firstErrorLine");
    QTest::newRow("version") << QStringList{QStringLiteral("--version")} << 0
                             << QStringLiteral("morvane 1.0.0.1\n") << QString();
    QTest::newRow("unknown option") << QStringList{QStringLiteral("--bogus")} << 2 << QString()
                                    << QStringLiteral("morvane: unknown option '--bogus'");
    // The toolkit's own options are no states.
    QTest::newRow("two states")
        << QStringList{QStringLiteral("-platform"), QStringLiteral("xcb"), QStringLiteral("a"),
                       QStringLiteral("--style=fusion"), QStringLiteral("b")}
        << 2 << QString()
        << QStringLiteral("morvane: unexpected argument 'b': one state at a time");
}

// A display is what the application would need first; these are answered
// before it is made.
void MainDialogTest::theCommandLineIsAnsweredWithoutADisplay() {
    QFETCH(QStringList, arguments);
    QFETCH(int, status);
    QFETCH(QString, out);
    QFETCH(QString, firstErrorLine);
    QProcess process;
    QProcessEnvironment environment = QProcessEnvironment::systemEnvironment();
    // Needs no display at all.
    environment.remove(QStringLiteral("DISPLAY"));
    environment.remove(QStringLiteral("WAYLAND_DISPLAY"));
    environment.remove(QStringLiteral("QT_QPA_PLATFORM"));
    process.setProcessEnvironment(environment);
    process.start(QStringLiteral(MORVANE_EXECUTABLE), arguments);
    QVERIFY(process.waitForFinished(10000));
    QCOMPARE(process.exitStatus(), QProcess::NormalExit);
    QCOMPARE(process.exitCode(), status);
    QCOMPARE(QString::fromLocal8Bit(process.readAllStandardOutput()), out);
    const QStringList errors =
        QString::fromLocal8Bit(process.readAllStandardError()).split(QLatin1Char('\n'));
    if (firstErrorLine.isEmpty()) {
        QCOMPARE(errors, QStringList{QString()});
    } else {
        QCOMPARE(errors.first(), firstErrorLine);
        QVERIFY(errors.at(1).startsWith(QLatin1String("usage: morvane")));
    }
}

// `morvane STATE`, as a file manager starts it: no About box, the window
// first, and the state loads in the window's loop as Browse loads it. A name
// that cannot be opened is said so, with the reason.
void MainDialogTest::aStateOnTheCommandLineOpensOnceTheWindowIsUp() {
    QTemporaryDir folder;
    QVERIFY(folder.isValid());
    morvane::gen::StateOptions options;
    options.faces = 3;
    const QString good = folder.filePath(QStringLiteral("GOLDENEYE.pj"));
    morvane::apptest::WriteState(good, options);
    options.gameName = "PERFECTDARK";
    const QString otherGame = folder.filePath(QStringLiteral("other.pj"));
    morvane::apptest::WriteState(otherGame, options);
    const QString subfolder = folder.filePath(QStringLiteral("states"));
    QVERIFY(QDir().mkdir(subfolder));
    const QString fifo = folder.filePath(QStringLiteral("fifo.pj"));
    QCOMPARE(::mkfifo(QFile::encodeName(fifo).constData(), 0600), 0);

    struct Seen {
        int itemsBeforeTheLoop = -1;
        bool visible = false;
        QString status;
        int items = -1;
    };
    const auto open = [](const QString& path, ScriptedPrompts& prompts) {
        CMainDialog dialog(prompts);
        Seen seen;
        // Posted ahead of the load, which the window posts as it starts; the
        // check it posts in turn comes after the load.
        QTimer::singleShot(0, &dialog, [&] {
            seen.itemsBeforeTheLoop = morvane::apptest::TextureList(dialog)->count();
            QTimer::singleShot(0, &dialog, [&] {
                seen.visible = dialog.isVisible();
                seen.status = morvane::apptest::StatusLine(dialog)->text();
                seen.items = morvane::apptest::TextureList(dialog)->count();
                dialog.reject();
            });
        });
        dialog.DoModal(path);
        return seen;
    };

    ScriptedPrompts prompts;
    const Seen loaded = open(good, prompts);
    QVERIFY(prompts.modals.empty());
    QCOMPARE(loaded.itemsBeforeTheLoop, 0);
    QVERIFY(loaded.visible);
    QCOMPARE(loaded.status, QStringLiteral("Extracted 3 textures"));
    QCOMPARE(loaded.items, 3);
    QVERIFY(prompts.fileDialogs.isEmpty());
    QVERIFY(prompts.messages.empty());

    ScriptedPrompts refusedPrompts;
    const Seen refused = open(otherGame, refusedPrompts);
    QCOMPARE(refusedPrompts.MessageTexts(),
             QStringList{QStringLiteral("Not a valid Goldeneye PJ64 file")});
    QVERIFY(refusedPrompts.messages[0].details.startsWith(
        otherGame + QStringLiteral("\nMorvane reads the save states of Project64")));
    QCOMPARE(refused.items, 0);

    for (const auto& [path, kind] : {std::pair{subfolder, QStringLiteral("a folder")},
                                     std::pair{fifo, QStringLiteral("a FIFO")}}) {
        ScriptedPrompts unopenedPrompts;
        const Seen unopened = open(path, unopenedPrompts);
        QCOMPARE(unopenedPrompts.MessageTexts(),
                 QStringList{QStringLiteral("Could not open file.")});
        QCOMPARE(unopenedPrompts.messages[0].details,
                 QStringLiteral("%1 is %2, not a save state.").arg(path, kind));
        QVERIFY(unopened.visible);
        QCOMPARE(unopened.items, 0);
    }

    QString state;
    QString problem;
    const QString program = QStringLiteral("morvane");
    QVERIFY(morvane::app::StateToOpen({program, QStringLiteral("--"), QStringLiteral("-a.pj")},
                                      state, problem));
    QCOMPARE(state, QStringLiteral("-a.pj"));
    QVERIFY(!morvane::app::StateToOpen({program, QStringLiteral("a.pj"), QStringLiteral("b.pj")},
                                       state, problem));
    QCOMPARE(problem, QStringLiteral("unexpected argument 'b.pj': one state at a time"));
    QVERIFY(!morvane::app::StateToOpen({program, QStringLiteral("--frob")}, state, problem));
    QCOMPARE(problem, QStringLiteral("unknown option '--frob'"));
    // What the toolkit takes for itself is not judged; what it leaves is.
    QVERIFY(morvane::app::StateToOpen(
        morvane::app::WithoutToolkitOptions(
            {program, QStringLiteral("-platform"), QStringLiteral("offscreen"),
             QStringLiteral("-style=fusion"), QStringLiteral("--reverse"), QStringLiteral("a.pj")}),
        state, problem));
    QCOMPARE(state, QStringLiteral("a.pj"));
    QVERIFY(!morvane::app::StateToOpen(
        morvane::app::WithoutToolkitOptions({program, QStringLiteral("-bogus")}), state, problem));
}

QTEST_MAIN(MainDialogTest)
#include "test_main_dialog.moc"
