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

class CliWindowTest : public QObject {
  Q_OBJECT
 private slots:
  void windowAndCliGiveTheSameScriptOrTheSameRefusal();
};

namespace {
struct Outcome {
  std::string script;
  std::vector<std::string> messages;
};

std::string randomText(std::mt19937& rng, bool digits) {
  static const std::string pool = std::string("abcXYZ 019;\"\\+.-_^\t") + "\x80\x93\x94\xe9\xff\x81\x9d" + '\0';
  std::uniform_int_distribution<int> kind(0, 9);
  const int k = kind(rng);
  std::size_t length = std::uniform_int_distribution<std::size_t>(0, 8)(rng);
  if (k == 0) length = std::uniform_int_distribution<std::size_t>(20, 300)(rng);  // longer than any box allows
  std::string text;
  for (std::size_t i = 0; i < length; ++i) {
    const bool clean = k < 8;
    text.push_back(clean ? char((digits ? '0' : 'a') + rng() % 10) : pool[rng() % pool.size()]);
  }
  return text;
}

Configuration randomConfiguration(std::mt19937& rng, const MapCatalogue& catalogue) {
  Configuration config;
  config.catalogue = catalogue;
  ServerSettings& s = config.settings;
  for (const auto& field : fieldTable()) {
    if (field.readOnly) continue;
    if (field.kind == FieldKind::Switch) s.setSwitch(field.name, rng() % 2);
    if (field.kind == FieldKind::Choice && rng() % 3 == 0) s.select(field.name);
  }
  for (const auto& field : fieldTable()) {
    if (field.kind == FieldKind::Text && !field.readOnly && rng() % 3 == 0)
      s.setText(field.name, randomText(rng, field.digitsOnly));
  }
  const std::size_t maps = rng() % 6;
  for (std::size_t i = 0; i < maps; ++i)
    config.rotation.maps.push_back(rng() % 15 ? catalogue.rows[rng() % catalogue.rows.size()].name : "no_such_map");
  for (auto& row : config.catalogue.rows) {
    if (rng() % 4 == 0) row.fragLimit = randomText(rng, true);
    if (rng() % 8 == 0) row.captureLimit = randomText(rng, true);
  }
  return config;
}

std::vector<std::string> lines(const std::string& text) {
  std::vector<std::string> out;
  std::istringstream in(text);
  for (std::string line; std::getline(in, line);) out.push_back(line);
  return out;
}
}  // namespace

void CliWindowTest::windowAndCliGiveTheSameScriptOrTheSameRefusal() {
  std::mt19937 rng(20261206);
  int launched = 0, refused = 0;
  for (int round = 0; round < 120; ++round) {
    UiFixture f;
    const MapCatalogue catalogue = loadCatalogueFile(f.app / "maps.ini").catalogue;
    std::string file = writeSave("Save File #5", "random", randomConfiguration(rng, catalogue));
    if (rng() % 4 == 0) std::erase(file, '\r');  // written on Linux
    writeFile(f.app / "save" / "save5.sav", file);

    Outcome window;
    {
      auto w = f.loadedWindow();
      child<QComboBox>(w.get(), "save_select")->setCurrentIndex(4);
      click(w.get(), "Load");
      f.services.clear();
      click(w.get(), "Engage");
      window.messages = f.services.messages();
      if (!f.services.started.empty()) window.script = readFile(f.game / "BaseEF" / "tarvex.cfg");
    }
    Outcome cli;
    std::ostringstream out, err;
    ConsoleServices console(err);
    const int status = runCli({"--app-folder", f.app.string(), "render", "--slot", "5"}, "", out, err, console);
    cli.script = status == 0 ? out.str() : std::string();
    cli.messages = lines(err.str());
    // A message may span lines; compare the texts as the console prints them.
    std::vector<std::string> windowLines;
    for (const auto& message : window.messages)
      for (const auto& line : lines(message)) windowLines.push_back(line);

    QVERIFY2(window.script == cli.script, qPrintable(QStringLiteral("round %1: scripts differ").arg(round)));
    QVERIFY2(windowLines == cli.messages,
             qPrintable(QStringLiteral("round %1: messages differ: %2 | %3")
                            .arg(round)
                            .arg(QString::fromStdString(err.str()))
                            .arg(window.messages.empty() ? QString() : QString::fromStdString(window.messages[0]))));
    (window.script.empty() ? refused : launched)++;
  }
  // Both kinds of outcome were met often enough to mean something.
  QVERIFY2(launched > 20 && refused > 20,
           qPrintable(QStringLiteral("%1 launched, %2 refused").arg(launched).arg(refused)));
}

QTEST_MAIN(CliWindowTest)
#include "CliWindowTest.moc"
