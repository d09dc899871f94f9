// The "Maps" tab of the real main window: the rotation commands with their
// sounds and messages, per-map limits and the preview picture.
#include <QBuffer>
#include <QImage>
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
#include "core/TestSupport.h"
#include "maps/MapLimits.h"
#include "maps/Rotation.h"
#include "ui/FindMapsDialog.h"

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
  std::unique_ptr<Form1> w;
  QListWidget* loaded;
  QListView* selected;
  MapsFixture() {
    writeFile(app / "maps.ini", kCatalogue);
    QPixmap picture(20, 30);
    picture.fill(Qt::red);
    picture.save(QString::fromStdString((app / "Map_Images" / "alpha.png").string()));
    picture.fill(Qt::blue);
    picture.save(QString::fromStdString((app / "Map_Images" / "flag.png").string()));
    w = loadedWindow();
    loaded = child<QListWidget>(w.get(), "LoadedMaps");
    selected = child<QListView>(w.get(), "SelectedMaps");
  }
  void add(const QString& name) {
    clickItem(loaded, name);
    click(w.get(), "b_add_map");
  }
  QLineEdit* box(const char* name) { return child<QLineEdit>(w.get(), name); }
};
}  // namespace

class Form1MapsTest : public QObject {
  Q_OBJECT
 private slots:
  void fortySingleAddsPerLoadAcrossClears();
  void ctfRefusalShowsMessageThenSound();
  void bulkCommandsIgnoreTheLimitAndTakeMissingMapsRandomizeKeepsThem();
  void removingByButtonAndDoubleClick();
  void showingAMapFillsNamePictureCaptionsAndLimits();
  void changeAndSetDefaults();
  void findNewMapsAddsThemAndKeepsRotationAndLimits();
  void theDialogListsTheMapsAllTickedAndGivesTheChoice();
};

void Form1MapsTest::fortySingleAddsPerLoadAcrossClears() {
  MapsFixture f;
  for (int i = 0; i < 40; ++i) {
    f.add(QStringLiteral("odd"));
    if (i == 20) click(f.w.get(), "CLEAR");
  }
  QCOMPARE(items(f.selected).size(), 19);
  f.services.clear();
  f.add(QStringLiteral("odd"));
  QCOMPARE(f.services.log, (std::vector<std::string>{"message:" + std::string(kTooManyMessage)}));
  QCOMPARE(items(f.selected).size(), 19);
}

void Form1MapsTest::ctfRefusalShowsMessageThenSound() {
  MapsFixture f;
  click(f.w.get(), "Game_CTF");
  f.services.clear();
  f.add(QStringLiteral("alpha"));
  QCOMPARE(f.services.log,
           (std::vector<std::string>{"message:" + std::string(kCtfRefusedMessage), "sound:button4.wav"}));
  QCOMPARE(items(f.selected).size(), 0);
  f.services.clear();
  f.add(QStringLiteral("flag"));
  f.add(QStringLiteral("odd"));
  QCOMPARE(items(f.selected), (QStringList{"flag", "odd"}));
  QCOMPARE(f.services.log, (std::vector<std::string>{"sound:button4.wav", "sound:button4.wav"}));
}

void Form1MapsTest::bulkCommandsIgnoreTheLimitAndTakeMissingMapsRandomizeKeepsThem() {
  MapsFixture f;
  click(f.w.get(), "Random");  // an empty rotation: only the sound
  click(f.w.get(), "AllMaps");
  QCOMPARE(items(f.selected), (QStringList{"alpha", "flag", "odd", "ghost", "alpha"}));
  click(f.w.get(), "Random");
  QStringList shuffled = items(f.selected);
  shuffled.sort();
  QCOMPARE(shuffled, (QStringList{"alpha", "alpha", "flag", "ghost", "odd"}));
  click(f.w.get(), "ALLCTFMaps");
  QCOMPARE(items(f.selected), (QStringList{"flag"}));
  click(f.w.get(), "Add_DM");
  QCOMPARE(items(f.selected), (QStringList{"alpha", "odd", "ghost", "alpha"}));
  QCOMPARE(f.services.sounds(), std::vector<std::string>(5, "button1.wav"));
  f.add(QStringLiteral("flag"));  // single adds still count from zero
  QCOMPARE(items(f.selected).size(), 5);
}

void Form1MapsTest::removingByButtonAndDoubleClick() {
  MapsFixture f;
  f.add(QStringLiteral("odd"));
  f.services.clear();
  click(f.w.get(), "b_del_map");  // nothing selected: silent
  QCOMPARE(items(f.selected).size(), 1);
  QVERIFY(f.services.log.empty());
  clickItem(f.selected, QStringLiteral("odd"));
  click(f.w.get(), "b_del_map");
  QCOMPARE(items(f.selected).size(), 0);
  QCOMPARE(f.services.sounds(), std::vector<std::string>{"button5.wav"});
  doubleClickItem(f.loaded, QStringLiteral("flag"));
  doubleClickItem(f.loaded, QStringLiteral("odd"));
  QCOMPARE(items(f.selected), (QStringList{"flag", "odd"}));
  f.services.clear();
  doubleClickItem(f.selected, QStringLiteral("flag"));
  QCOMPARE(items(f.selected), (QStringList{"odd"}));
  QCOMPARE(f.services.sounds(), std::vector<std::string>{"button2.wav"});
  QCOMPARE(f.box("Options_Map_Name")->text(), QStringLiteral("flag"));  // the removed map stays shown
}

void Form1MapsTest::showingAMapFillsNamePictureCaptionsAndLimits() {
  MapsFixture f;
  QCOMPARE(items(f.loaded), (QStringList{"alpha", "flag", "odd", "alpha"}));  // installed, in the list's order
  QVERIFY(items(f.selected).isEmpty());
  auto* picture = child<QLabel>(f.w.get(), "MapPictures");
  reveal(picture);
  QCOMPARE(picture->pixmap().size(), QSize(150, 150));  // the emblem until the first click
  QVERIFY(f.box("MapText")->text().isEmpty());
  clickItem(f.loaded, QStringLiteral("alpha"));
  QCOMPARE(f.box("Options_Map_Name")->text(), QStringLiteral("alpha"));
  QCOMPARE(f.box("MapText")->text(), QStringLiteral("Alpha later"));  // the later row wins
  QCOMPARE(picture->pixmap().size(), QSize(20, 30));
  QCOMPARE(f.box("Custom_Frag_limit")->text(), QStringLiteral("10"));
  QCOMPARE(f.box("Custom_Time_Limit")->text(), QStringLiteral("0"));
  QCOMPARE(f.box("Custom_Capture_Limit")->text(), QStringLiteral("5"));
  QVERIFY(!f.box("Custom_Capture_Limit")->isEnabled());  // only a CTF map's capture limit is open
  clickItem(f.loaded, QStringLiteral("flag"));
  QVERIFY(f.box("Custom_Capture_Limit")->isEnabled());
  // A picture name without its backslash: the picture stays, the captions follow.
  clickItem(f.loaded, QStringLiteral("odd"));
  QCOMPARE(picture->pixmap().size(), QSize(20, 30));
  QCOMPARE(f.box("MapText")->text(), QStringLiteral("Odd one"));
  QVERIFY(f.box("Custom_Capture_Limit")->isEnabled());  // a flag other than 0 or 1 leaves the box as it was
  QVERIFY(f.services.log.empty());                      // single clicks are silent
  // A replaced picture shows at the next click.
  clickItem(f.loaded, QStringLiteral("flag"));
  QPixmap replaced(40, 10);
  replaced.fill(Qt::green);
  replaced.save(QString::fromStdString((f.app / "Map_Images" / "flag.png").string()));
  clickItem(f.loaded, QStringLiteral("flag"));
  QCOMPARE(picture->pixmap().size(), QSize(40, 10));
#ifndef _WIN32
  // A picture name that leads to a FIFO is never opened (reading it would hold the window).
  std::filesystem::remove(f.app / "Map_Images" / "alpha.png");
  QCOMPARE(mkfifo((f.app / "Map_Images" / "alpha.png").c_str(), 0600), 0);
  clickItem(f.loaded, QStringLiteral("alpha"));
  QCOMPARE(picture->pixmap().size(), QSize(40, 10));
  QCOMPARE(f.box("MapText")->text(), QStringLiteral("Alpha later"));
#endif
}

void Form1MapsTest::changeAndSetDefaults() {
  MapsFixture f;
  click(f.w.get(), "Set_Custom");  // before any map was chosen
  QCOMPARE(f.services.log,
           (std::vector<std::string>{"sound:button3.wav", "message:" + std::string(kNoMapSelectedMessage)}));
  clickItem(f.loaded, QStringLiteral("alpha"));
  f.box("Custom_Frag_limit")->setText(QStringLiteral("25"));
  f.box("Custom_Time_Limit")->clear();
  f.services.clear();
  click(f.w.get(), "Set_Custom");
  QCOMPARE(f.services.log, std::vector<std::string>{"sound:button3.wav"});
  for (const MapEntry& row : f.w->configuration().catalogue.rows) {  // both rows of the name, no other
    QCOMPARE(row.fragLimit, std::string(row.name == "alpha" ? "25" : "10"));
    QCOMPARE(row.timeLimit, std::string(row.name == "alpha" ? "" : "0"));
  }

  f.box("Generic_Frag_Limit")->setText(QStringLiteral("20"));
  f.box("Generic_Time_Limit")->setText(QStringLiteral("15"));
  f.box("Generic_Capture_Limit")->clear();
  f.services.clear();
  click(f.w.get(), "Set_Generic");
  // An empty box leaves that limit as it is, and says so.
  QCOMPARE(f.services.log, (std::vector<std::string>{"sound:button2.wav",
                                                     "message:The default capture limit box is empty, so every map "
                                                     "keeps its capture limit."}));
  for (const auto& row : f.w->configuration().catalogue.rows) {
    QCOMPARE(row.fragLimit, std::string("20"));
    QCOMPARE(row.timeLimit, std::string("15"));
    QCOMPARE(row.captureLimit, std::string("5"));
  }
  QCOMPARE(f.box("Custom_Frag_limit")->text(), QStringLiteral("20"));  // the shown map follows at once
}

void Form1MapsTest::findNewMapsAddsThemAndKeepsRotationAndLimits() {
  MapsFixture f;
  QVERIFY(test::writePk3(f.game / "BaseEF" / "zz-custom.pk3",
                         {{"maps/custom1.bsp", "b"},
                          {"maps/custom2.bsp", "b"},
                          {"scripts/custom.arena", "{ map custom1 longname \"Custom One\" type \"ctf\" }"}}));
  f.add(QStringLiteral("flag"));
  clickItem(f.loaded, QStringLiteral("flag"));
  f.box("Custom_Frag_limit")->setText(QStringLiteral("33"));
  click(f.w.get(), "Set_Custom");
  const std::string before = readFile(f.app / "maps.ini");

  // Cancel changes nothing.
  f.services.clear();
  f.services.mapChoice.reset();
  click(f.w.get(), "find_maps");
  QCOMPARE(f.services.offeredMaps.size(), std::size_t(2));
  QCOMPARE(f.services.offeredMaps[0].caption, std::string("Custom One"));
  QVERIFY(f.services.offeredMaps[0].ctf);
  QCOMPARE(readFile(f.app / "maps.ini"), before);

  // Add the first only: it is in the map list at once, the rotation and limits stay.
  f.services.mapChoice = std::vector<bool>{true, false};
  click(f.w.get(), "find_maps");
  QCOMPARE(f.services.messages().back(), std::string("1 map was added to the map list."));
  QVERIFY(items(f.loaded).contains(QStringLiteral("custom1")));
  QVERIFY(!items(f.loaded).contains(QStringLiteral("custom2")));
  QCOMPARE(items(f.selected), QStringList{"flag"});
  QCOMPARE(f.w->configuration().catalogue.find("flag")->fragLimit, std::string("33"));
  QCOMPARE(f.w->configuration().catalogue.find("custom1")->ctfFlag, std::string("1"));
  QCOMPARE(readFile(f.app / "maps.ini.bak"), before);

  // Nothing new is left but custom2; after adding it, nothing is found.
  f.services.mapChoice = std::vector<bool>{};
  click(f.w.get(), "find_maps");
  f.services.clear();
  click(f.w.get(), "find_maps");
  QVERIFY(f.services.messages().back().starts_with("No new maps were found"));
}

// The dialog is there at once; the pictures come from a thread of their own
// while the window goes on; Add counts the ticked maps and waits for the pictures.
void Form1MapsTest::theDialogListsTheMapsAllTickedAndGivesTheChoice() {
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
  QTest::mouseClick(child<QPushButton>(&dialog, "SelectNone"), Qt::LeftButton);
  QVERIFY(!add->isEnabled());
  QTest::mouseClick(child<QPushButton>(&dialog, "SelectAll"), Qt::LeftButton);
  QCOMPARE(add->text(), QStringLiteral("Add 2"));

  // A picture job that waits until the test lets it go on: Add waits for it.
  std::atomic<bool> go{false};
  QImage image(8, 8, QImage::Format_RGB32);
  image.fill(Qt::red);
  QByteArray jpeg;
  QBuffer buffer(&jpeg);
  image.save(&buffer, "JPEG");
  const std::string bytes(jpeg.constData(), std::size_t(jpeg.size()));
  dialog.makePictures([&](const auto& made) {
    made(0, bytes);
    while (!go) std::this_thread::sleep_for(std::chrono::milliseconds(5));
    made(1, std::string());
  });
  QTRY_VERIFY(table->cellWidget(0, 3) != nullptr);
  dialog.accept();
  QVERIFY(!add->isEnabled());
  QCOMPARE(dialog.result(), int(QDialog::Rejected));  // not yet
  go = true;
  QTRY_COMPARE(dialog.result(), int(QDialog::Accepted));
  QCOMPARE(table->item(1, 3)->text(), QStringLiteral("none"));
  QCOMPARE(child<QLabel>(&dialog, "PictureProgress")->text(), QStringLiteral("2 pictures made."));
}

QTEST_MAIN(Form1MapsTest)
#include "Form1MapsTest.moc"
