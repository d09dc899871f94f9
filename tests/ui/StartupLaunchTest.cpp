// The program's course with the real windows: the start gate and Form2,
// "Refind Game Path", the load step, and ENGAGE!.
#include <QComboBox>
#include <QListWidget>
#include <QPushButton>
#include <QTabWidget>

#include "UiFixture.h"
#include "launch/Launch.h"
#include "ui/Form2.h"
#include "ui/TarvexApp.h"

using namespace tarvex;
using namespace tarvex::test;

namespace {
const std::string kNotInRegistry =
    "message:Tarvex was unable to find the Tarvex Executable (stvoyHM.exe) location in the registry.  Please Locate "
    "stvoyHM.exe:";
const std::string kDialog = "dialog:Locate \"StvoyHM\" Executable|stvoyHM.exe|stvoyHM.exe (stvoyHM.exe)";

std::string pathIni(const UiFixture& f) { return readFile(f.app / "path.ini"); }

// A path of the examples as the platform writes it: /games/EF/ is C:\games\EF\ on Windows.
std::string osPath(std::string path) {
#ifdef _WIN32
  for (char& c : path)
    if (c == '/') c = '\\';
  return "C:" + path;
#else
  return path;
#endif
}

// The user's data folder of the test's own, as each platform names it.
void setUserDataHome(const std::filesystem::path& folder) {
  qputenv("XDG_DATA_HOME", QByteArray::fromStdString(folder.string()));
  qputenv("APPDATA", QByteArray::fromStdString((folder / "tarvex").parent_path().string()));
}
void unsetUserDataHome() {
  qunsetenv("XDG_DATA_HOME");
  qunsetenv("APPDATA");
}

QString form2Path(TarvexApp& app) { return child<QLineEdit>(app.gameFolderDialog(), "Path")->text(); }
}  // namespace

class StartupLaunchTest : public QObject {
  Q_OBJECT
 private slots:
  void knownFolderOpensTheMainWindowAtOnce();
  void firstStartTakesTheRegistryFolder();
  void withoutRegistryTheUserLocatesTheGame();
  void cancelledDialogWritesNoFolder();
  void emptyFirstLineRunsDiscovery();
  void noAsksAgainAndRewritesPathIni();
  void pathIniThatCannotBeCreatedIsReported();
  void aProgramFolderTheUserCannotWriteKeepsPathAndSlotsInTheUsersFolder();
  void refindRunsDiscoveryAndReplacesTheWindow();
  void loadStepPlaysStartupSoundAndSurvivesMissingFiles();
  void aLaunchThatFailsIsReportedAndTheWindowStays();
};

void StartupLaunchTest::knownFolderOpensTheMainWindowAtOnce() {
  UiFixture f;
  TarvexApp app(f.services, f.app);
  app.start();
  QVERIFY(app.mainWindow());
  QVERIFY(app.mainWindow()->isVisible());
  QVERIFY(!app.gameFolderDialog() || !app.gameFolderDialog()->isVisible());
  QCOMPARE(child<QLineEdit>(app.mainWindow(), "PathText")->text(), QString::fromStdString(f.gameFolderText()));
}

void StartupLaunchTest::firstStartTakesTheRegistryFolder() {
  UiFixture f(false);
  f.services.registryValue = osPath("/games/EF/stvoyHM.exe") + std::string(1, '\0');  // as Windows may store it
  {
    TarvexApp app(f.services, f.app);
    app.start();
    QCOMPARE(pathIni(f), osPath("/games/EF/") + "\r\n");
    QVERIFY(!app.mainWindow());
    QCOMPARE(form2Path(app), QString::fromStdString(osPath("/games/EF/")));
    QVERIFY(f.services.messages().empty());
    click(app.gameFolderDialog(), "Yes");
    QVERIFY(app.mainWindow() && app.mainWindow()->isVisible());
  }
  f.services.clear();
  TarvexApp again(f.services, f.app);
  again.start();
  QVERIFY(again.mainWindow());
  QCOMPARE(f.services.sounds(), std::vector<std::string>{"cfiles.wav"});
}

void StartupLaunchTest::withoutRegistryTheUserLocatesTheGame() {
  UiFixture f(false);
  f.services.fileAnswers.push_back(osPath("/opt/ef/stvoyHM.exe"));
  TarvexApp app(f.services, f.app);
  app.start();
  QCOMPARE(f.services.log, (std::vector<std::string>{kNotInRegistry, kDialog}));
  QCOMPARE(pathIni(f), osPath("/opt/ef/") + "\r\n");
  QCOMPARE(form2Path(app), QString::fromStdString(osPath("/opt/ef/")));
}

void StartupLaunchTest::cancelledDialogWritesNoFolder() {
  UiFixture f(false);
  TarvexApp app(f.services, f.app);
  app.start();
  QCOMPARE(pathIni(f), std::string("\r\n\r\n"));
  QVERIFY(app.gameFolderDialog()->isVisible());
  QCOMPARE(form2Path(app), QString());
  // No folder, no "Yes": only "No" (look again) or closing is left.
  QVERIFY(!child<QPushButton>(app.gameFolderDialog(), "Yes")->isEnabled());
  QVERIFY(child<QPushButton>(app.gameFolderDialog(), "No")->isEnabled());
}

void StartupLaunchTest::emptyFirstLineRunsDiscovery() {
  UiFixture f;
  writeFile(f.app / "path.ini", "\r\nsomething\r\n");
  f.services.registryValue = osPath("/g/stvoyHM.exe");
  TarvexApp app(f.services, f.app);
  app.start();
  QCOMPARE(pathIni(f), osPath("/g/") + "\r\n");
  QVERIFY(!app.mainWindow());
}

void StartupLaunchTest::noAsksAgainAndRewritesPathIni() {
  UiFixture f(false);
  f.services.registryValue = osPath("/first/stvoyHM.exe");
  TarvexApp app(f.services, f.app);
  app.start();
  f.services.clear();
  f.services.fileAnswers.push_back(osPath("/second/stvoyHM.exe"));
  click(app.gameFolderDialog(), "No");
  QCOMPARE(f.services.log,
           (std::vector<std::string>{"message:Please locate the Tarvex Executable (stvoyHM.exe)", kDialog}));
  QCOMPARE(pathIni(f), osPath("/second/") + "\r\n");
  QCOMPARE(form2Path(app), QString::fromStdString(osPath("/second/")));
  QVERIFY(app.gameFolderDialog()->isVisible());
  QVERIFY(!app.mainWindow());
}

// Folders are made read-only by their permission bits; Windows folders keep
// no such bits (their ACLs decide, and Wine run as root passes every one).
#ifdef _WIN32
#define SKIP_WITHOUT_READ_ONLY_FOLDERS() QSKIP("no read-only folders here")
#else
#define SKIP_WITHOUT_READ_ONLY_FOLDERS()
#endif

void StartupLaunchTest::pathIniThatCannotBeCreatedIsReported() {
  SKIP_WITHOUT_READ_ONLY_FOLDERS();
  UiFixture f(false);
  // A program folder that cannot be written, and a user folder that cannot be made.
  std::filesystem::permissions(f.app, std::filesystem::perms::owner_read | std::filesystem::perms::owner_exec);
  writeFile(f.root.path() / "a-file", "x");
  setUserDataHome(f.root.path() / "a-file");
  TarvexApp app(f.services, f.app);
  app.start();
  unsetUserDataHome();
  std::filesystem::permissions(f.app, std::filesystem::perms::owner_all);
  QVERIFY(!f.services.messages().empty());
  QVERIFY(f.services.messages()[0].find("path.ini") != std::string::npos);
  QVERIFY(app.mainWindow() && app.mainWindow()->isVisible());  // discovery abandoned, the window opens
}

void StartupLaunchTest::aProgramFolderTheUserCannotWriteKeepsPathAndSlotsInTheUsersFolder() {
  SKIP_WITHOUT_READ_ONLY_FOLDERS();
  UiFixture f;
  namespace fs = std::filesystem;
  const fs::path user = f.root.path() / "user-data";
  const std::string shippedSlot = readFile(f.app / "save" / "save4.sav");
  for (const fs::path& folder : {f.app / "save", f.app})
    fs::permissions(folder, fs::perms::owner_read | fs::perms::owner_exec);
  setUserDataHome(user);
  {
    TarvexApp app(f.services, f.app);
    app.start();
    // The game folder found before is still known: the window opens with its maps.
    QPointer<Form1> w = app.mainWindow();
    QVERIFY(w);
    QCOMPARE(readFile(user / "tarvex" / "path.ini"), f.gameFolderText() + "\r\n");
    QVERIFY(!child<QListWidget>(w, "LoadedMaps")->findItems(QStringLiteral("hm_borg1"), Qt::MatchExactly).isEmpty());
    // A save goes to the user's folder; the shipped slot stays as it was.
    auto* select = child<QComboBox>(w, "save_select");
    reveal(select);
    select->setCurrentIndex(3);
    f.services.promptAnswers.push_back("mine");
    click(w, "Save");
    QCOMPARE(f.services.messages().back(), std::string(kSavedMessage));
    QVERIFY(readFile(user / "tarvex" / "save" / "save4.sav").starts_with("Save File #4\r\nmine\r\n"));
    QCOMPARE(readFile(f.app / "save" / "save4.sav"), shippedSlot);
    click(w, "AllMaps");
    f.services.clear();
    click(w, "Engage");
    QCOMPARE(f.services.started.size(), std::size_t(1));
  }
  unsetUserDataHome();
  for (const fs::path& folder : {f.app, f.app / "save"}) fs::permissions(folder, fs::perms::owner_all);
}

void StartupLaunchTest::refindRunsDiscoveryAndReplacesTheWindow() {
  UiFixture f;
  f.services.registryValue = osPath("/found/stvoyHM.exe");
  TarvexApp app(f.services, f.app);
  app.start();
  QPointer<Form1> first = app.mainWindow();
  f.services.clear();
  click(first, "refind_path");
  QCOMPARE(f.services.log, std::vector<std::string>{"sound:button4.wav"});  // registry found: no message, no dialog
  QCOMPARE(pathIni(f), osPath("/found/") + "\r\n");
  QVERIFY(app.gameFolderDialog()->isVisible());
  QCOMPARE(form2Path(app), QString::fromStdString(osPath("/found/")));
  QTRY_VERIFY(!first);  // closed and gone
  click(app.gameFolderDialog(), "Yes");
  QVERIFY(app.mainWindow());
  QCOMPARE(child<QLineEdit>(app.mainWindow(), "PathText")->text(), QString::fromStdString(osPath("/found/")));
}

void StartupLaunchTest::loadStepPlaysStartupSoundAndSurvivesMissingFiles() {
  UiFixture f;
  std::filesystem::remove(f.app / "maps.ini");
  std::filesystem::remove(f.app / "save" / "save1.sav");
  Form1 window(f.services, f.app);
  window.setAttribute(Qt::WA_DeleteOnClose, false);
  window.load();
  window.show();
  QCOMPARE(f.services.log.size(), std::size_t(2));
  QCOMPARE(f.services.log[0], std::string("sound:cfiles.wav"));
  QVERIFY(f.services.log[1].find("maps.ini") != std::string::npos);
  QCOMPARE(child<QListWidget>(&window, "LoadedMaps")->count(), 0);
  QCOMPARE(child<QLineEdit>(&window, "save_text")->text(), QString());
}

void StartupLaunchTest::aLaunchThatFailsIsReportedAndTheWindowStays() {
  UiFixture f;
  const auto game = f.game / "stvoyHM.exe";
  std::filesystem::rename(game, f.game / "moved.exe");
  TarvexApp app(f.services, f.app);
  app.start();
  QPointer<Form1> w = app.mainWindow();
  click(w, "AllMaps");
  // No game: said so, no launch sound.
  f.services.clear();
  click(w, "Engage");
  QCOMPARE(f.services.messages().size(), std::size_t(1));
  QVERIFY(f.services.messages()[0].find("stvoyHM.exe") != std::string::npos);
  QVERIFY(f.services.sounds().empty());
  QVERIFY(w && w->isVisible());
  // A game that ends at once: the launch sound first, then the report.
  std::filesystem::rename(f.game / "moved.exe", game);
  f.services.clear();
  f.services.processFailure = ProcessFailure{"exit status 53", "wine: could not load kernel32.dll", "game.log"};
  click(w, "Engage");
  QVERIFY(QString::fromStdString(f.services.started.at(0).logFile).endsWith(QStringLiteral("game.log")));
  QCOMPARE(f.services.sounds(), std::vector<std::string>{"stegize.wav"});
  QCOMPARE(f.services.messages().size(), std::size_t(1));
  QVERIFY(f.services.messages()[0].find("(exit status 53)") != std::string::npos);
  QVERIFY(f.services.messages()[0].find("could not load kernel32.dll") != std::string::npos);
  QVERIFY(w && w->isVisible());
}

QTEST_MAIN(StartupLaunchTest)
#include "StartupLaunchTest.moc"
