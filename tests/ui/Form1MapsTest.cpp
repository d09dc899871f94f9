// The "Maps" tab of the real main window: the rotation commands with their
// sounds and messages, per-map limits, the preview picture, Find New Maps.
#include <QLabel>
#include <QPixmap>
#include <QPushButton>
#ifndef _WIN32
#include <sys/stat.h>
#endif

#include <QTableWidget>
#include <atomic>
#include <thread>

#include "UiFixture.h"
#include "maps/MapLimits.h"
#include "maps/Rotation.h"
#include "ui/FindMapsDialog.h"
#include "ui/TarvexApp.h"

using namespace tarvex;
using namespace tarvex::test;

namespace {
const std::string kCatalogue =
    "[start]\r\n"
    "pak0.pk3\r\nalpha\r\nAlpha one\r\nAlpha two\r\n0\r\n\\alpha.png\r\n\r\n"
    "pak0.pk3\r\nflag\r\nFlag one\r\nFlag two\r\n1\r\n\\flag.png\r\n\r\n"
    "pak0.pk3\r\nodd\r\nOdd one\r\nOdd two\r\n2\r\nno-backslash.png\r\n\r\n"
    "missing.pk3\r\nghost\r\nGhost\r\n\r\n0\r\n\\ghost.png\r\n\r\n"
    "pak0.pk3\r\nalpha\r\nAlpha later\r\nAlpha two\r\n0\r\n\\alpha.png\r\n\r\n";

struct MapsFixture : UiFixture {
  std::unique_ptr<Form1> window;
  Form1* w;
  QListWidget* loaded;
  QListView* selected;
  MapsFixture() {
    writeFile(app / "maps.ini", kCatalogue);
    picture("alpha", 20, 30);
    picture("flag", 20, 30);
    window = loadedWindow();
    w = window.get();
    loaded = child<QListWidget>(w, "LoadedMaps");
    selected = child<QListView>(w, "SelectedMaps");
  }
  void picture(const char* map, int width, int height) {
    QPixmap picture(width, height);
    picture.fill(Qt::red);
    picture.save(QString::fromStdString((app / "Map_Images" / (std::string(map) + ".png")).string()));
  }
  void add(const QString& name) {
    clickItem(loaded, name);
    click(w, "b_add_map");
  }
  QStringList rotation() const { return items(selected); }
};
}  // namespace

class Form1MapsTest : public QObject {
  Q_OBJECT
 private slots:
  // Single adds count up to forty a load, across clears; a CTF game refuses
  // other maps with a message, then the sound.
  void singleAddsCountAndCtfRefuses() {
    MapsFixture f, ctf;
    for (int i = 0; i < 40; ++i) {
      f.add(QStringLiteral("odd"));
      if (i == 20) click(f.w, "CLEAR");
    }
    QCOMPARE(f.rotation().size(), 19);
    f.services.clear();
    f.add(QStringLiteral("odd"));
    QCOMPARE(f.services.log, Log{"message:" + std::string(kTooManyMessage)});
    QCOMPARE(f.rotation().size(), 19);
    click(ctf.w, "Game_CTF");
    ctf.services.clear();
    ctf.add(QStringLiteral("alpha"));
    ctf.add(QStringLiteral("flag"));
    ctf.add(QStringLiteral("odd"));
    QCOMPARE(ctf.services.log, (Log{"message:" + std::string(kCtfRefusedMessage), "sound:button4.wav",
                                    "sound:button4.wav", "sound:button4.wav"}));
    QCOMPARE(ctf.rotation(), (QStringList{"flag", "odd"}));
  }

  // The bulk commands ignore the add limit and take missing maps, Randomize
  // keeps them; removing takes the selected map, or the one double-clicked.
  void bulkCommandsAndRemoving() {
    MapsFixture f;
    click(f.w, "Random");  // an empty rotation: only the sound
    click(f.w, "AllMaps");
    QCOMPARE(f.rotation(), (QStringList{"alpha", "flag", "odd", "ghost", "alpha"}));
    // Randomize keeps the maps and changes their order: of its 60 orders, twenty clicks that all
    // leave the first one would be a shuffle that does nothing.
    const QStringList first = f.rotation();
    bool reordered = false;
    for (int i = 0; i < 20; ++i) {
      click(f.w, "Random");
      QStringList shuffled = f.rotation();
      reordered = reordered || shuffled != first;
      shuffled.sort();
      QCOMPARE(shuffled, (QStringList{"alpha", "alpha", "flag", "ghost", "odd"}));
    }
    QVERIFY(reordered);
    click(f.w, "ALLCTFMaps");
    QCOMPARE(f.rotation(), (QStringList{"flag"}));
    click(f.w, "Add_DM");
    QCOMPARE(f.rotation(), (QStringList{"alpha", "odd", "ghost", "alpha"}));
    QCOMPARE(f.services.sounds(), Log(24, "button1.wav"));
    f.add(QStringLiteral("flag"));  // single adds still count from zero
    QCOMPARE(f.rotation().size(), 5);
    click(f.w, "CLEAR");
    f.add(QStringLiteral("odd"));
    f.services.clear();
    click(f.w, "b_del_map");  // nothing selected: silent
    QCOMPARE(f.rotation().size(), 1);
    QVERIFY(f.services.log.empty());
    clickItem(f.selected, QStringLiteral("odd"));
    click(f.w, "b_del_map");
    QCOMPARE(f.rotation().size(), 0);
    QCOMPARE(f.services.sounds(), Log{"button5.wav"});
    clickItem(f.loaded, QStringLiteral("flag"), true);
    clickItem(f.loaded, QStringLiteral("odd"), true);
    QCOMPARE(f.rotation(), (QStringList{"flag", "odd"}));
    f.services.clear();
    clickItem(f.selected, QStringLiteral("flag"), true);
    QCOMPARE(f.rotation(), (QStringList{"odd"}));
    QCOMPARE(f.services.sounds(), Log{"button2.wav"});
    QCOMPARE(text(f.w, "Options_Map_Name"), QStringLiteral("flag"));  // the removed map stays shown
  }

  void showingAMapAndItsLimits() {
    MapsFixture f;
    QCOMPARE(items(f.loaded), (QStringList{"alpha", "flag", "odd", "alpha"}));  // installed, in the list's order
    auto* picture = child<QLabel>(f.w, "MapPictures");
    reveal(picture);
    const auto shows = [&](const char* map, QSize size, const char* caption) {
      clickItem(f.loaded, QString::fromLatin1(map));
      QCOMPARE(picture->pixmap().size(), size);
      QCOMPARE(text(f.w, "MapText"), QString::fromLatin1(caption));
    };
    QCOMPARE(picture->pixmap().size(), QSize(150, 150));  // the emblem until the first click
    QVERIFY(text(f.w, "MapText").isEmpty());
    click(f.w, "Set_Custom");  // before any map was chosen
    QCOMPARE(f.services.log, (Log{"sound:button3.wav", "message:" + std::string(kNoMapSelectedMessage)}));
    f.services.clear();
    shows("alpha", QSize(20, 30), "Alpha later");  // the later row wins
    QCOMPARE(text(f.w, "Options_Map_Name"), QStringLiteral("alpha"));
    QCOMPARE(text(f.w, "Custom_Frag_limit") + text(f.w, "Custom_Time_Limit") + text(f.w, "Custom_Capture_Limit"),
             QStringLiteral("1005"));
    auto* capture = child<QLineEdit>(f.w, "Custom_Capture_Limit");
    QVERIFY(!capture->isEnabled());  // only a CTF map's capture limit is open
    clickItem(f.loaded, QStringLiteral("flag"));
    QVERIFY(capture->isEnabled());
    // A picture name without its backslash: the picture stays, the captions follow.
    shows("odd", QSize(20, 30), "Odd one");
    QVERIFY(capture->isEnabled());    // a flag other than 0 or 1 leaves the box as it was
    QVERIFY(f.services.log.empty());  // single clicks are silent
    f.picture("flag", 40, 10);        // a replaced picture shows at the next click
    shows("flag", QSize(40, 10), "Flag one");
#ifndef _WIN32
    // A picture name that leads to a FIFO is never opened (reading it would hold the window).
    std::filesystem::remove(f.app / "Map_Images" / "alpha.png");
    QCOMPARE(mkfifo((f.app / "Map_Images" / "alpha.png").c_str(), 0600), 0);
    shows("alpha", QSize(40, 10), "Alpha later");
#endif
    // "Change!" sets the shown map's limits, "Set" every map's.
    clickItem(f.loaded, QStringLiteral("alpha"));
    setText(f.w, "Custom_Frag_limit", QStringLiteral("25"));
    setText(f.w, "Custom_Time_Limit", QString());
    f.services.clear();
    click(f.w, "Set_Custom");
    QCOMPARE(f.services.log, Log{"sound:button3.wav"});
    for (const MapEntry& row : f.w->configuration().catalogue.rows) {  // both rows of the name, no other
      QCOMPARE(row.fragLimit, std::string(row.name == "alpha" ? "25" : "10"));
      QCOMPARE(row.timeLimit, std::string(row.name == "alpha" ? "" : "0"));
    }
    setText(f.w, "Generic_Frag_Limit", QStringLiteral("20"));
    setText(f.w, "Generic_Time_Limit", QStringLiteral("15"));
    setText(f.w, "Generic_Capture_Limit", QString());
    f.services.clear();
    click(f.w, "Set_Generic");
    // An empty box leaves that limit as it is, and says so.
    QCOMPARE(f.services.log,
             (Log{"sound:button2.wav",
                  "message:The default capture limit box is empty, so every map keeps its capture limit."}));
    for (const auto& row : f.w->configuration().catalogue.rows)
      QCOMPARE(row.fragLimit + row.timeLimit + row.captureLimit, std::string("20155"));
    QCOMPARE(text(f.w, "Custom_Frag_limit"), QStringLiteral("20"));  // the shown map follows at once
  }

  void findNewMapsAddsThemAndKeepsRotationAndLimits() {
    MapsFixture f;
    QVERIFY(writePk3(f.game / "BaseEF" / "zz-custom.pk3",
                     {{"maps/custom1.bsp", "b"},
                      {"maps/custom2.bsp", "b"},
                      {"scripts/custom.arena", "{ map custom1 longname \"Custom One\" type \"ctf\" }"}}));
    f.add(QStringLiteral("flag"));
    clickItem(f.loaded, QStringLiteral("flag"));
    setText(f.w, "Custom_Frag_limit", QStringLiteral("33"));
    click(f.w, "Set_Custom");
    const std::string before = readFile(f.app / "maps.ini");
    // Cancel changes nothing.
    f.services.mapChoice.reset();
    click(f.w, "find_maps");
    QCOMPARE(f.services.offeredMaps.size(), std::size_t(2));
    QCOMPARE(f.services.offeredMaps[0].caption, std::string("Custom One"));
    QVERIFY(f.services.offeredMaps[0].ctf);
    QCOMPARE(readFile(f.app / "maps.ini"), before);
    // Add the first only: it is in the map list at once, the rotation and limits stay.
    f.services.mapChoice = std::vector<bool>{true, false};
    click(f.w, "find_maps");
    QCOMPARE(f.services.messages().back(), std::string("1 map was added to the map list."));
    QVERIFY(items(f.loaded).contains(QStringLiteral("custom1")));
    QVERIFY(!items(f.loaded).contains(QStringLiteral("custom2")));
    QCOMPARE(f.rotation(), QStringList{"flag"});
    QCOMPARE(f.w->configuration().catalogue.find("flag")->fragLimit, std::string("33"));
    QCOMPARE(f.w->configuration().catalogue.find("custom1")->ctfFlag, std::string("1"));
    QCOMPARE(readFile(f.app / "maps.ini.bak"), before);
    // Nothing new is left but custom2; after adding it, nothing is found.
    f.services.mapChoice = std::vector<bool>{};
    click(f.w, "find_maps");
    click(f.w, "find_maps");
    QVERIFY(f.services.messages().back().starts_with("No new maps were found"));
  }

  // An installed program's folder is never written: the maps found go into the
  // data folder's map list with their pictures, and every window reads the
  // shipped list with them.
  void addedMapsGoIntoTheDataFolderOfAnInstalledProgram() {
    UiFixture f;
    TempFolder data;
    std::filesystem::copy(f.app / "path.ini", data / "path.ini");
    const std::string jpeg = readFile(TARVEX_PROGRAM_DIR "/Map_Images/hm_borg1.jpg");
    QVERIFY(
        writePk3(f.game / "BaseEF" / "zz-custom.pk3", {{"maps/custom1.bsp", "b"}, {"levelshots/custom1.jpg", jpeg}}));
    const std::string shipped = readFile(f.app / "maps.ini");
    const auto open = [&] {
      auto window = std::make_unique<Form1>(f.services, f.app, data.path());
      window->load();
      window->show();
      if (!QTest::qWaitFor([&] { return window->isComplete(); })) qFatal("the window did not complete itself");
      return window;
    };
    auto window = open();
    f.services.mapChoice = std::vector<bool>{true};
    click(window.get(), "find_maps");
    QCOMPARE(f.services.messages().back(), std::string("1 map was added to the map list."));
    QCOMPARE(readFile(f.app / "maps.ini"), shipped);
    QVERIFY(!std::filesystem::exists(f.app / "Map_Images" / "custom1.jpg"));
    QVERIFY(contains(readFile(data / "maps.ini"), "\r\ncustom1\r\n"));
    QVERIFY(std::filesystem::exists(data / "Map_Images" / "custom1.jpg"));
    QVERIFY(items(child<QListWidget>(window.get(), "LoadedMaps")).contains(QStringLiteral("custom1")));
    auto again = open();
    QVERIFY(items(child<QListWidget>(again.get(), "LoadedMaps")).contains(QStringLiteral("custom1")));
    QVERIFY(items(child<QListWidget>(again.get(), "LoadedMaps")).contains(QStringLiteral("hm_borg1")));
  }

  // The dialog is there at once; the pictures come from a thread of their own
  // while the window goes on; Add counts the ticked maps and waits for the pictures.
  void theDialogListsTheMapsAllTickedAndGivesTheChoice() {
    FindMapsDialog dialog({{"one", "One", true, "a.pk3", ""}, {"two", "Two", false, "b.pk3", ""}});
    auto* table = child<QTableWidget>(&dialog, "FoundMaps");
    auto* add = child<QPushButton>(&dialog, "Add");
    QCOMPARE(table->rowCount(), 2);
    QCOMPARE(table->item(0, 2)->text(), QStringLiteral("CTF"));
    QCOMPARE(dialog.chosen(), (std::vector<bool>{true, true}));
    QCOMPARE(add->text(), QStringLiteral("Add 2"));
    table->item(1, 0)->setCheckState(Qt::Unchecked);
    QCOMPARE(dialog.chosen(), (std::vector<bool>{true, false}));
    QCOMPARE(add->text(), QStringLiteral("Add 1"));
    // A picture job that waits until the test lets it go on: Add waits for it.
    std::atomic<bool> go{false};
    const std::string jpeg = readFile(TARVEX_PROGRAM_DIR "/Map_Images/hm_borg1.jpg");
    dialog.makePictures([&](const auto& made) {
      made(0, jpeg);
      while (!go) std::this_thread::sleep_for(std::chrono::milliseconds(5));
      made(1, std::string());
    });
    QTRY_VERIFY(!table->item(0, 3)->data(Qt::DecorationRole).value<QPixmap>().isNull());
    QCOMPARE(table->item(0, 3)->data(Qt::DecorationRole).value<QPixmap>().size(), QSize(64, 64));
    dialog.accept();
    QVERIFY(!add->isEnabled());
    QCOMPARE(dialog.result(), int(QDialog::Rejected));  // not yet
    go = true;
    QTRY_COMPARE(dialog.result(), int(QDialog::Accepted));
    QCOMPARE(table->item(1, 3)->text(), QStringLiteral("none"));
    QCOMPARE(child<QLabel>(&dialog, "PictureProgress")->text(), QStringLiteral("2 pictures made."));
  }

  // Every column but the caption is as wide as its texts, measured in the
  // font the dialog is shown in: a name cut short cannot be told apart.
  void theColumnsShowTheirTextsWhole() {
    setUpApplication(*qApp);  // the program's fonts: a dialog's is not its children's until it is polished
    FindMapsDialog dialog(
        {{"a_long_map_name_1", "One", false, "a_long_archive_name.pk3", ""}, {"two", "Two", true, "b.pk3", ""}});
    dialog.show();
    QVERIFY(QTest::qWaitForWindowExposed(&dialog));
    auto* table = child<QTableWidget>(&dialog, "FoundMaps");
    const QFontMetrics metrics(table->font());
    for (const int column : {0, 2, 4})
      for (int row = 0; row < table->rowCount(); ++row)
        QVERIFY2(metrics.horizontalAdvance(table->item(row, column)->text()) < table->columnWidth(column),
                 qPrintable(table->item(row, column)->text()));
  }

  // Cancel while a slow picture is being made: the window's thread never
  // waits for it; the dialog closes when the job has stopped.
  void cancelNeverWaitsForAPictureOnTheWindowsThread() {
    FindMapsDialog dialog({{"one", "One", true, "a.pk3", ""}, {"two", "Two", false, "b.pk3", ""}});
    std::atomic<bool> go{false}, inPicture{false};
    dialog.makePictures([&](const auto& made) {
      inPicture = true;
      // A picture that takes long (at most 10 s here, should Cancel wait for it).
      for (int i = 0; i < 2000 && !go; ++i) std::this_thread::sleep_for(std::chrono::milliseconds(5));
      inPicture = false;
      if (made(0, std::string())) made(1, std::string());
    });
    QTRY_VERIFY(inPicture);
    dialog.reject();
    QVERIFY2(inPicture, "Cancel waited for the picture");
    QCOMPARE(child<QLabel>(&dialog, "PictureProgress")->text(), QStringLiteral("Stopping..."));
    go = true;
    QTRY_COMPARE(dialog.result(), int(QDialog::Rejected));
    QTRY_VERIFY(!dialog.isVisible() && child<QLabel>(&dialog, "PictureProgress")->text().endsWith("made."));
  }
};

QTEST_MAIN(Form1MapsTest)
#include "Form1MapsTest.moc"
