// The program's course with the real windows: the start gate and Form2,
// "Refind Game Path", the load step, and ENGAGE!.
#include <QPushButton>

#include "UiFixture.h"
#include "ui/Form2.h"
#include "ui/TarvexApp.h"

using namespace tarvex;
using namespace tarvex::test;
namespace fs = std::filesystem;

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

QString form2Path(TarvexApp& app) { return child<QLineEdit>(app.gameFolderDialog(), "Path")->text(); }
}  // namespace

class StartupLaunchTest : public QObject {
  Q_OBJECT
 private slots:
  // Without a known folder: the registry's, else the one the user locates, else
  // none; Form2 shows it and only "Yes" opens the main window.
  void anUnknownFolderIsFoundAndShownInForm2() {
    struct Case {
      std::string pathIni, registry;
      std::optional<std::string> located;
      Log log;
      std::string found;
    };
    const Case cases[] = {
        {"", osPath("/games/EF/stvoyHM.exe") + '\0', {}, {}, osPath("/games/EF/")},  // as Windows may store it
        {"", "", osPath("/opt/ef/stvoyHM.exe"), {kNotInRegistry, kDialog}, osPath("/opt/ef/")},
        {"", "", {}, {kNotInRegistry, kDialog}, ""},                              // cancelled: no folder
        {"\r\nsomething\r\n", osPath("/g/stvoyHM.exe"), {}, {}, osPath("/g/")}};  // an empty first line
    for (const Case& c : cases) {
      UiFixture f(false);
      if (!c.pathIni.empty()) writeFile(f.app / "path.ini", c.pathIni);
      f.services.registryValue = c.registry;
      f.services.fileAnswers.push_back(c.located);
      TarvexApp app(f.services, f.app);
      app.start();
      QCOMPARE(f.services.log, c.log);
      QCOMPARE(pathIni(f), c.found.empty() ? std::string("\r\n\r\n") : c.found + "\r\n");
      QVERIFY(!app.mainWindow() && app.gameFolderDialog()->isVisible());
      QCOMPARE(form2Path(app), QString::fromStdString(c.found));
      QCOMPARE(child<QPushButton>(app.gameFolderDialog(), "Yes")->isEnabled(), !c.found.empty());
      QVERIFY(child<QPushButton>(app.gameFolderDialog(), "No")->isEnabled());
    }
    // "No" asks again and rewrites path.ini; "Yes" opens the window, and the next start at once.
    UiFixture f(false);
    f.services.registryValue = osPath("/first/stvoyHM.exe");
    {
      TarvexApp app(f.services, f.app);
      app.start();
      f.services.clear();
      f.services.fileAnswers.push_back(osPath("/second/stvoyHM.exe"));
      click(app.gameFolderDialog(), "No");
      QCOMPARE(f.services.log, (Log{"message:Please locate the Tarvex Executable (stvoyHM.exe)", kDialog}));
      QCOMPARE(pathIni(f), osPath("/second/") + "\r\n");
      QCOMPARE(form2Path(app), QString::fromStdString(osPath("/second/")));
      QVERIFY(app.gameFolderDialog()->isVisible() && !app.mainWindow());
      click(app.gameFolderDialog(), "Yes");
      QVERIFY(app.mainWindow() && app.mainWindow()->isVisible());
    }
    f.services.clear();
    TarvexApp again(f.services, f.app);
    again.start();
    QVERIFY(again.mainWindow());
    QCOMPARE(f.services.sounds(), Log{"cfiles.wav"});
  }

  // A known folder opens the main window at once. No game there: said so, no
  // launch sound. A game that ends at once: the launch sound first, then the
  // report. The window stays.
  void aLaunchThatFailsIsReportedAndTheWindowStays() {
    UiFixture f;
    fs::rename(f.game / "stvoyHM.exe", f.game / "moved.exe");
    TarvexApp app(f.services, f.app);
    app.start();
    QPointer<Form1> w = app.mainWindow();
    QVERIFY(w && w->isVisible() && (!app.gameFolderDialog() || !app.gameFolderDialog()->isVisible()));
    QCOMPARE(text(w, "PathText"), QString::fromStdString(f.gameFolderText()));
    click(w, "AllMaps");
    f.services.clear();
    click(w, "Engage");
    QCOMPARE(f.services.log.size(), std::size_t(1));
    QVERIFY(contains(f.services.log[0], "message:") && contains(f.services.log[0], "stvoyHM.exe"));
    fs::rename(f.game / "moved.exe", f.game / "stvoyHM.exe");
    f.services.clear();
    f.services.processFailure = ProcessFailure{"exit status 53", "wine: could not load kernel32.dll", "game.log", {}};
    click(w, "Engage");
    QCOMPARE(f.services.started.at(0).logFile.substr(f.services.started[0].logFile.size() - 8),
             std::string("game.log"));
    QCOMPARE(f.services.sounds(), Log{"stegize.wav"});
    QCOMPARE(f.services.messages().size(), std::size_t(1));
    for (const char* part : {"(exit status 53)", "could not load kernel32.dll"})
      QVERIFY(contains(f.services.messages()[0], part));
    // The window waited for the game busy and closed to input; it takes input again.
    QVERIFY(w && w->isVisible() && w->isEnabled());
    QVERIFY(!QApplication::overrideCursor());
  }
};

QTEST_MAIN(StartupLaunchTest)
#include "StartupLaunchTest.moc"
