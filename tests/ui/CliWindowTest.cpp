// tarvex-cli and the window make the same script from the same slot.
#include <QComboBox>
#include <QProcess>

#include "UiFixture.h"
#include "saves/SaveFile.h"

using namespace tarvex;
using namespace tarvex::test;

class CliWindowTest : public QObject {
  Q_OBJECT
 private slots:
  void renderedScriptEqualsTheWindowsScript_data();
  void renderedScriptEqualsTheWindowsScript();
};

void CliWindowTest::renderedScriptEqualsTheWindowsScript_data() {
  QTest::addColumn<int>("variant");
  QTest::newRow("start values, all maps") << 0;
  QTest::newRow("ctf, internet, network, limits") << 1;
  QTest::newRow("1 vs 1, every optional line") << 2;
}

void CliWindowTest::renderedScriptEqualsTheWindowsScript() {
  QFETCH(int, variant);
  UiFixture f;
  Configuration config;
  config.catalogue = loadCatalogueFile(f.appFolder / "maps.ini").catalogue;
  ServerSettings& s = config.settings;
  config.rotation.maps = {"hm_borg1", "hm_voy2", "hm_borg1"};
  if (variant == 1) {
    s.select("Game_CTF");
    s.select("dedicated_internet");
    s.setSwitch("NetPort_Yes", true);
    s.setText("NetPort", "27961");
    s.setSwitch("NetIP_Check", true);
    s.setText("NetIP", "198.51.100.4");
    config.rotation.maps = {"ctf_voy1", "ctf_kln2"};
    config.catalogue.rows[15].fragLimit = "25";
    config.catalogue.rows[15].captureLimit = "8";
  } else if (variant == 2) {
    s.select("game_1v1");
    s.setText("Server_Name", "Ensign's duel \xe9");
    for (const char* box :
         {"Player_Respawn_Yes", "kick_yes", "gamelogcheck", "write_max_yes", "write_memory", "Bot_Chat"})
      s.setSwitch(box, true);
    s.setSwitch("warmup_yes", false);
    s.setSwitch("download_yes", false);
    s.setText("Memory", "96");
    s.select("skill1");
  }
  f.writeFile(f.appFolder / "save" / "save5.sav", writeSave("Save File #5", "equal", config));

  auto w = f.loadedWindow();
  auto* select = child<QComboBox>(w.get(), "save_select");
  select->setCurrentIndex(4);
  click(w.get(), "Load");
  click(w.get(), "Engage");
  QCOMPARE(f.services.started.size(), std::size_t(1));
  const std::string windowScript = f.readFile(f.gameFolder / "BaseEF" / "tarvex.cfg");

  QProcess cli;
  cli.start(QStringLiteral(TARVEX_PROGRAM_DIR "/tarvex-cli"),
            {QStringLiteral("--app-folder"), QString::fromStdString(f.appFolder.string()), QStringLiteral("render"),
             QStringLiteral("--slot"), QStringLiteral("5")});
  QVERIFY(cli.waitForFinished(20000));
  QCOMPARE(cli.exitCode(), 0);
  QCOMPARE(cli.readAllStandardOutput().toStdString(), windowScript);
}

QTEST_MAIN(CliWindowTest)
#include "CliWindowTest.moc"
