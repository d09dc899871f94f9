// The "Save/Load" tab of the real main window: saving with the prompt,
// loading, never-used and unreadable slots, and what a restore changes.
#include <QComboBox>
#include <QListWidget>

#include "UiFixture.h"
#include "saves/SaveFile.h"

using namespace tarvex;
using namespace tarvex::test;

namespace {
const std::string kPrompt =
    "prompt:Please enter a custom description for this save file:|Title of Save File|My Save File";

void pickSlot(Form1* w, int slot) {
  auto* select = child<QComboBox>(w, "save_select");
  reveal(select);
  select->setCurrentIndex(slot - 1);
  emit select->activated(slot - 1);
}
QString description(Form1* w) { return child<QLineEdit>(w, "save_text")->text(); }
}  // namespace

class SaveSlotTest : public QObject {
  Q_OBJECT
 private slots:
  void nineSlotsAndPickingOneShowsOnlyItsDescription();
  void savingWithThePromptsAnswerItsFirstLineOrNothing();
  void saveAndLoadRestoreTheWindow();
  void slotsThatCannotBeLoadedChangeNothing();
};

void SaveSlotTest::nineSlotsAndPickingOneShowsOnlyItsDescription() {
  UiFixture f;
  writeFile(f.app / "save" / "save6.sav", writeSave("Save File #6", "Friday", Configuration()));
  auto w = f.loadedWindow();
  auto* select = child<QComboBox>(w.get(), "save_select");
  QCOMPARE(select->count(), 9);
  QCOMPARE(select->itemText(8), QStringLiteral("Save File #9"));
  QCOMPARE(select->currentText(), QStringLiteral("Save File #1"));
  QVERIFY(!select->isEditable());
  QCOMPARE(description(w.get()), QStringLiteral("Unused"));
  const Configuration before = w->configuration();
  pickSlot(w.get(), 6);
  QCOMPARE(description(w.get()), QStringLiteral("Friday"));
  QVERIFY(f.services.log.empty());
  QVERIFY(w->configuration() == before);
}

void SaveSlotTest::savingWithThePromptsAnswerItsFirstLineOrNothing() {
  UiFixture f;
  auto w = f.loadedWindow();
  pickSlot(w.get(), 4);
  f.services.promptAnswers.push_back("My Save File");
  click(w.get(), "Save");
  QCOMPARE(f.services.log, (std::vector<std::string>{kPrompt, "sound:button3.wav", "message:File Saved!"}));
  QCOMPARE(description(w.get()), QStringLiteral("My Save File"));
  QCOMPARE(readFile(f.app / "save" / "save4.sav"), writeSave("Save File #4", "My Save File", w->configuration()));
  // A description pasted with a line break keeps its first line, and the slot loads.
  f.services.promptAnswers.push_back("First line\nsecond");
  click(w.get(), "Save");
  QCOMPARE(description(w.get()), QStringLiteral("First line"));
  click(w.get(), "Load");
  QCOMPARE(f.services.messages().back(), std::string(kRestoredMessage));
  // A cancelled prompt still saves, with an empty description; a missing sound is silence.
  std::filesystem::remove(f.app / "button3.wav");
  pickSlot(w.get(), 1);
  f.services.clear();
  click(w.get(), "Save");
  QCOMPARE(f.services.log, (std::vector<std::string>{kPrompt, "message:File Saved!"}));
  QCOMPARE(description(w.get()), QString());
  QCOMPARE(readFile(f.app / "save" / "save1.sav").substr(0, 16), std::string("Save File #1\r\n\r\n"));
}

void SaveSlotTest::saveAndLoadRestoreTheWindow() {
  UiFixture f;
  auto w = f.loadedWindow();
  click(w.get(), "AllMaps");
  click(w.get(), "Game_CTF");
  click(w.get(), "kick_yes");
  child<QLineEdit>(w.get(), "Server_Name")->setText(QStringLiteral("Saved name"));
  child<QLineEdit>(w.get(), "inter_time")->setText(QStringLiteral("30"));
  clickItem(child<QListWidget>(w.get(), "LoadedMaps"), QStringLiteral("hm_borg1"));
  child<QLineEdit>(w.get(), "Custom_Frag_limit")->setText(QStringLiteral("25"));
  click(w.get(), "Set_Custom");
  f.services.promptAnswers.push_back("keep");
  click(w.get(), "Save");
  const Configuration saved = w->configuration();

  click(w.get(), "CLEAR");
  click(w.get(), "Game_DM");
  click(w.get(), "kick_yes");
  child<QLineEdit>(w.get(), "Server_Name")->setText(QStringLiteral("Changed"));
  child<QLineEdit>(w.get(), "inter_time")->setText(QStringLiteral("45"));
  child<QLineEdit>(w.get(), "Custom_Frag_limit")->setText(QStringLiteral("40"));
  click(w.get(), "Set_Custom");
  f.services.clear();
  click(w.get(), "Load");
  QCOMPARE(f.services.log, (std::vector<std::string>{"sound:button7.wav", "message:Settings restored!"}));
  const Configuration restored = w->configuration();
  QCOMPARE(restored.rotation.maps, saved.rotation.maps);
  QVERIFY(restored.settings.isOn("Game_CTF"));
  QVERIFY(child<QLineEdit>(w.get(), "kick_text")->isEnabled());
  QCOMPARE(child<QLineEdit>(w.get(), "Server_Name")->text(), QStringLiteral("Saved name"));
  QCOMPARE(child<QLineEdit>(w.get(), "inter_time")->text(), QStringLiteral("45"));  // not kept in a slot
  QVERIFY(child<QLineEdit>(w.get(), "Generic_Frag_Limit")->text().isEmpty());
  // The shown map's boxes show what was restored: "Change!" now keeps it.
  QCOMPARE(child<QLineEdit>(w.get(), "Custom_Frag_limit")->text(), QStringLiteral("25"));
  click(w.get(), "Set_Custom");
  QCOMPARE(w->configuration().catalogue.find("hm_borg1")->fragLimit, std::string("25"));
}

// Slot 9 as shipped and slot 1 saved with "Unused" as its description have
// never been used; slot 2 is cut short, slot 3 is gone.
void SaveSlotTest::slotsThatCannotBeLoadedChangeNothing() {
  UiFixture f;
  auto w = f.loadedWindow();
  click(w.get(), "AllMaps");
  const Configuration before = w->configuration();
  f.services.promptAnswers.push_back("Unused");
  click(w.get(), "Save");
  std::string broken = writeSave("Save File #2", "half", before);
  writeFile(f.app / "save" / "save2.sav", broken.substr(0, broken.size() / 3));
  std::filesystem::remove(f.app / "save" / "save3.sav");
  for (int slot : {9, 1, 2, 3}) {
    pickSlot(w.get(), slot);
    f.services.clear();
    click(w.get(), "Load");
    if (slot == 9 || slot == 1) {
      QCOMPARE(f.services.log,
               (std::vector<std::string>{"message:ERROR:  This save file has never been used", "sound:button7.wav"}));
    } else {
      QCOMPARE(f.services.messages().size(), std::size_t(1));
      QVERIFY(f.services.messages()[0].find("save" + std::to_string(slot) + ".sav") != std::string::npos);
    }
    QVERIFY(w->configuration() == before);
  }
}

QTEST_MAIN(SaveSlotTest)
#include "SaveSlotTest.moc"
