// The "Save/Load" tab of the real main window: saving with the prompt, and
// loading: the window and tarvex-cli never part ways.
#include <QComboBox>
#include <QListWidget>
#include <QProcess>

#include "UiFixture.h"
#include "config/ServerSettings.h"
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
// A value other than its start value for every setting of the table: each
// switch the other way (so that every box a switch empties is open), the
// last option of each group, a text the box takes.
struct Changed {
  const FieldSpec* field;
  std::string value;  // texts: the text; switches and options: "1" on, "0" off
};
std::vector<Changed> changedSettings() {
  std::vector<Changed> all;
  for (const auto& field : fieldTable()) {
    if (field.readOnly || !keptInSave(field.name)) continue;
    if (field.kind == FieldKind::Switch) all.push_back({&field, field.start == "1" ? "0" : "1"});
    if (field.kind == FieldKind::Choice) {
      const FieldSpec* last = nullptr;
      for (const auto& member : fieldTable())
        if (member.kind == FieldKind::Choice && member.group == field.group) last = &member;
      all.push_back({&field, &field == last ? "1" : "0"});
    }
    if (field.kind == FieldKind::Text) {
      std::string value = field.digitsOnly        ? "7"
                          : field.name == "NetIP" ? "10.0.0.7"
                                                  : "Changed " + std::string(field.key);
      all.push_back({&field, value.substr(0, std::size_t(field.maxLength))});
    }
  }
  return all;
}

// tarvex-cli with these words on the fixture's program folder; its output.
QString tarvexCli(const UiFixture& f, QStringList words, int expectedStatus = 0) {
  words.prepend(QString::fromStdString(f.app.string()));
  words.prepend(QStringLiteral("--app-folder"));
  QProcess cli;
  cli.start(QStringLiteral(TARVEX_PROGRAM_DIR "/tarvex-cli"), words);
  if (!cli.waitForFinished(20000)) qFatal("tarvex-cli did not end");
  const QString err = QString::fromUtf8(cli.readAllStandardError());
  if (cli.exitCode() != expectedStatus) qFatal("tarvex-cli: %s", qPrintable(err));
  return QString::fromUtf8(cli.readAllStandardOutput());
}
}  // namespace

class SaveSlotTest : public QObject {
  Q_OBJECT
 private slots:
  // Nine slots; picking one shows its description and changes nothing else.
  // Save asks for a description and keeps its first line; a cancelled prompt
  // saves with none; a missing sound is silence.
  void savingWithThePromptsAnswerItsFirstLineOrNothing() {
    UiFixture f;
    writeFile(f.app / "save" / "save6.sav", writeSave("Save File #6", "Friday", Configuration()));
    auto window = f.loadedWindow();
    Form1* w = window.get();
    auto* select = child<QComboBox>(w, "save_select");
    QCOMPARE(select->count(), 9);
    QCOMPARE(select->currentText() + select->itemText(8), QStringLiteral("Save File #1Save File #9"));
    QCOMPARE(text(w, "save_text"), QStringLiteral("Unused"));
    const Configuration before = w->configuration();
    pickSlot(w, 6);
    QCOMPARE(text(w, "save_text"), QStringLiteral("Friday"));
    QVERIFY(f.services.log.empty() && w->configuration() == before);
    pickSlot(w, 4);
    f.services.promptAnswers.push_back("My Save File");
    click(w, "Save");
    QCOMPARE(f.services.log, (Log{kPrompt, "sound:button3.wav", "message:File Saved!"}));
    QCOMPARE(text(w, "save_text"), QStringLiteral("My Save File"));
    QCOMPARE(readFile(f.app / "save" / "save4.sav"), writeSave("Save File #4", "My Save File", w->configuration()));
    f.services.promptAnswers.push_back("First line\nsecond");
    click(w, "Save");
    QCOMPARE(text(w, "save_text"), QStringLiteral("First line"));
    click(w, "Load");
    QCOMPARE(f.services.messages().back(), std::string(kRestoredMessage));
    std::filesystem::remove(f.app / "button3.wav");
    pickSlot(w, 1);
    f.services.clear();
    click(w, "Save");
    QCOMPARE(f.services.log, (Log{kPrompt, "message:File Saved!"}));
    QCOMPARE(text(w, "save_text"), QString());
    QCOMPARE(readFile(f.app / "save" / "save1.sav").substr(0, 16), std::string("Save File #1\r\n\r\n"));
  }

  // What Load shows besides the values (the comparison with tarvex-cli below
  // holds every value): the boxes its switches govern open, and the shown
  // map's limits are the restored ones, so that "Change!" keeps them.
  void loadShowsWhatItRestored() {
    UiFixture f;
    auto window = f.loadedWindow();
    Form1* w = window.get();
    clickItem(child<QListWidget>(w, "LoadedMaps"), QStringLiteral("hm_borg1"));
    click(w, "kick_yes");
    setText(w, "Custom_Frag_limit", QStringLiteral("25"));
    click(w, "Set_Custom");
    f.services.promptAnswers.push_back("keep");
    click(w, "Save");
    click(w, "kick_yes");
    setText(w, "Custom_Frag_limit", QStringLiteral("40"));
    click(w, "Set_Custom");
    f.services.clear();
    click(w, "Load");
    QCOMPARE(f.services.log, (Log{"sound:button7.wav", "message:Settings restored!"}));
    QVERIFY(child<QLineEdit>(w, "kick_text")->isEnabled());
    QCOMPARE(text(w, "Custom_Frag_limit"), QStringLiteral("25"));
    click(w, "Set_Custom");
    QCOMPARE(w->configuration().catalogue.find("hm_borg1")->fragLimit, std::string("25"));
  }

  // Every setting of the table, both ways: what config writes into a slot,
  // the window's Load shows; what the window saves, config prints.
  void theWindowAndConfigAgreeOnEverySetting() {
    UiFixture f;
    auto window = f.loadedWindow();
    Form1* w = window.get();
    const auto changed = changedSettings();
    const auto line = [](const Changed& c) {
      const FieldSpec& field = *c.field;
      if (field.kind == FieldKind::Text) return std::string(field.key) + " = " + c.value;
      if (field.kind == FieldKind::Switch) return std::string(field.key) + " = " + (c.value == "1" ? "yes" : "no");
      return std::string(groupKey(field.group)) + " = " + std::string(field.key);
    };
    QStringList sets{QStringLiteral("config"), QStringLiteral("--slot"), QStringLiteral("5"), QStringLiteral("--set"),
                     QStringLiteral("map=ctf_kln1")};
    for (const Changed& c : changed)
      if (c.field->kind != FieldKind::Choice || c.value == "1") {
        std::string set = line(c);
        set.replace(set.find(" = "), 3, "=");
        sets << QString::fromStdString(set);
      }
    tarvexCli(f, sets);
    pickSlot(w, 5);
    click(w, "Load");
    for (const Changed& c : changed) {
      const char* name = c.field->name.data();
      if (c.field->kind == FieldKind::Text)
        QVERIFY2(text(w, name) == QString::fromStdString(c.value), name);
      else
        QVERIFY2(checked(w, name) == (c.value == "1"), name);
    }
    // A new window with the start values, each changed by hand and saved in slot 6.
    window = f.loadedWindow();
    w = window.get();
    for (const Changed& c : changed) {
      const char* name = c.field->name.data();
      if (c.field->kind == FieldKind::Text)
        setText(w, name, QString::fromStdString(c.value));
      else if (checked(w, name) != (c.value == "1") && (c.field->kind == FieldKind::Switch || c.value == "1"))
        click(w, name);
    }
    pickSlot(w, 6);
    f.services.promptAnswers.push_back("by hand");
    click(w, "Save");
    const std::string printed =
        tarvexCli(f, {QStringLiteral("config"), QStringLiteral("--slot"), QStringLiteral("6")}).toStdString();
    for (const Changed& c : changed)
      if (c.field->kind != FieldKind::Choice || c.value == "1")
        QVERIFY2(contains(printed, "\n" + line(c) + "\n"), qPrintable(QString::fromStdString(line(c))));
  }

  // For 120 random slots (long values, high bytes, NUL, Linux line ends,
  // values the launch refuses) the window's Load holds exactly the
  // configuration tarvex-cli reads from the same slot, so both launch the same
  // script or refuse with the same messages.
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

QTEST_MAIN(SaveSlotTest)
#include "SaveSlotTest.moc"
