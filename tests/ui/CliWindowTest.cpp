// The window and tarvex-cli never part ways: for 120 random slots
// (long values, high bytes, Linux line ends, values the launch refuses), Load
// then ENGAGE! in the window and "tarvex-cli render" of the same slot give the
// same script, or the same messages.
#include <QComboBox>
#include <random>
#include <sstream>

#include "UiFixture.h"
#include "cli/Cli.h"
#include "saves/SaveFile.h"

using namespace tarvex;
using namespace tarvex::test;

namespace {
// Messages as the console prints them: a line each.
std::vector<std::string> lines(const std::vector<std::string>& texts) {
  std::vector<std::string> out;
  for (const auto& text : texts) {
    std::istringstream in(text);
    for (std::string line; std::getline(in, line);) out.push_back(line);
  }
  return out;
}
}  // namespace

class CliWindowTest : public QObject {
  Q_OBJECT
 private slots:
  void windowAndCliGiveTheSameScriptOrTheSameRefusal() {
    std::mt19937 rng(20261206);
    int launched = 0, refused = 0;
    for (int round = 0; round < 120; ++round) {
      UiFixture f;
      const MapCatalogue catalogue = loadCatalogueFile(f.app / "maps.ini").catalogue;
      std::string file = writeSave("Save File #5", "random", test::randomConfiguration(rng, catalogue));
      if (rng() % 4 == 0) std::erase(file, '\r');  // written on Linux
      writeFile(f.app / "save" / "save5.sav", file);
      std::string windowScript;
      std::vector<std::string> windowMessages;
      {
        auto w = f.loadedWindow();
        child<QComboBox>(w.get(), "save_select")->setCurrentIndex(4);
        click(w.get(), "Load");
        f.services.clear();
        click(w.get(), "Engage");
        windowMessages = lines(f.services.messages());
        if (!f.services.started.empty()) windowScript = readFile(f.game / "BaseEF" / "tarvex.cfg");
      }
      std::ostringstream out, err;
      ConsoleServices console(err);
      const int status = runCli({"--app-folder", f.app.string(), "render", "--slot", "5"}, "", out, err, console);
      QVERIFY2(windowScript == (status == 0 ? out.str() : std::string()), qPrintable(QString::number(round)));
      QVERIFY2(windowMessages == lines({err.str()}),
               qPrintable(QStringLiteral("round %1: %2").arg(round).arg(QString::fromStdString(err.str()))));
      (windowScript.empty() ? refused : launched)++;
    }
    // Both kinds of outcome were met often enough to mean something.
    QVERIFY2(launched > 20 && refused > 20,
             qPrintable(QStringLiteral("%1 launched, %2 refused").arg(launched).arg(refused)));
  }
};

QTEST_MAIN(CliWindowTest)
#include "CliWindowTest.moc"
