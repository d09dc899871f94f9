// The window and tarvex-cli never part ways: for 120 random slots (long
// values, high bytes, NUL, Linux line ends, values the launch refuses), the
// window's Load holds exactly the configuration tarvex-cli reads from the
// same slot, so both launch the same script or refuse with the same messages.
#include <QComboBox>

#include "UiFixture.h"
#include "saves/SaveFile.h"

using namespace tarvex;
using namespace tarvex::test;

class CliWindowTest : public QObject {
  Q_OBJECT
 private slots:
  void theWindowLoadsWhatTarvexCliReads() {
    std::mt19937 rng(20261206);
    UiFixture f;
    auto w = f.loadedWindow();
    const Configuration start = w->configuration();
    for (int round = 0; round < 120; ++round) {
      std::string file = writeSave("Save File #5", "random", randomConfiguration(rng, start.catalogue));
      if (rng() % 4 == 0) std::erase(file, '\r');  // written on Linux
      writeFile(f.app / "save" / "save5.sav", file);
      child<QComboBox>(w.get(), "save_select")->setCurrentIndex(4);
      click(w.get(), "Load");
      Configuration read = start;  // as tarvex-cli reads it: over the start values and the map list
      QCOMPARE(restoreSave(file, read), RestoreOutcome::Restored);
      QVERIFY2(w->configuration() == read, qPrintable(QString::number(round)));
    }
  }
};

QTEST_MAIN(CliWindowTest)
#include "CliWindowTest.moc"
