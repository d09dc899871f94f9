// The settings tabs of the real main window: disabled boxes, enabling rules,
// what the text boxes let in, option groups.
#include <QApplication>
#include <QClipboard>
#include <QKeyEvent>
#include <QLabel>

#include "UiFixture.h"
#include "config/ServerSettings.h"

using namespace tarvex;
using namespace tarvex::test;

class Form1SettingsTest : public QObject {
  Q_OBJECT
 private slots:
  // The boxes disabled at the start; each switch enables the box it governs,
  // empties it when unchecked where it must, and plays its sound.
  void enablingRules() {
    UiFixture f;
    auto w = f.loadedWindow();
    QStringList disabled;
    for (const auto& field : fieldTable())
      if (const QString name = QString::fromLatin1(field.name.data(), field.name.size());
          field.kind == FieldKind::Text && !child<QLineEdit>(w.get(), name.toLatin1().constData())->isEnabled())
        disabled << name;
    QCOMPARE(disabled, (QStringList{"Player_Respawn_Time", "kick_text", "NetPort", "NetIP", "Memory", "MaxRate",
                                    "GameLogText", "Master2"}));
    const std::tuple<const char*, const char*, bool, const char*> rules[] = {
        {"Player_Respawn_Yes", "Player_Respawn_Time", false, "button1.wav"},
        {"kick_yes", "kick_text", false, "button3.wav"},
        {"warmup_yes", "WarmupTime", false, "button5.wav"},
        {"NetPort_Yes", "NetPort", false, "button2.wav"},
        {"NetIP_Check", "NetIP", true, "button3.wav"},
        {"write_memory", "Memory", true, "button3.wav"},
        {"download_yes", "MaxPackets", false, "button2.wav"},
        {"write_max_yes", "MaxRate", false, "button7.wav"},
        {"gamelogcheck", "GameLogText", false, "button1.wav"}};
    for (const auto& [box, text, emptied, sound] : rules) {
      auto* edit = child<QLineEdit>(w.get(), text);
      auto* check = child<QAbstractButton>(w.get(), box);
      f.services.clear();
      for (int round = 0; round < 4; ++round) {
        QCOMPARE(edit->isEnabled(), check->isChecked());
        if (check->isChecked()) edit->setText(QStringLiteral("123"));
        click(w.get(), box);
        if (!check->isChecked()) QCOMPARE(edit->text().isEmpty(), emptied);
      }
      QCOMPARE(f.services.sounds(), Log(4, sound));
    }
  }

  void typingFilters() {
    UiFixture f;
    auto w = f.loadedWindow();
    click(w.get(), "NetPort_Yes");
    auto* port = child<QLineEdit>(w.get(), "NetPort");
    reveal(port);
    port->setFocus();
    port->end(false);
    QTest::keyClicks(port, QStringLiteral("a-."));
    QCOMPARE(port->text(), QStringLiteral("27660"));
    QTest::keyClick(port, Qt::Key_Backspace);
    QCOMPARE(port->text(), QStringLiteral("2766"));
    QTest::keyClicks(port, QStringLiteral("123"));
    QCOMPARE(port->text(), QStringLiteral("276612"));  // the seventh digit is refused
    port->clear();
    QApplication::clipboard()->setText(QStringLiteral("12ab"));
    port->paste();
    QVERIFY(port->text().isEmpty() || port->text() == QStringLiteral("12"));
    QApplication::clipboard()->setText(QStringLiteral("4711"));
    port->paste();
    QCOMPARE(port->text().right(4), QStringLiteral("4711"));

    auto* frag = child<QLineEdit>(w.get(), "Custom_Frag_limit");
    reveal(frag);
    frag->clear();  // the map the list shows on taking the focus has put its limit here
    QTest::keyClicks(frag, QStringLiteral("1x2-34"));
    QCOMPARE(frag->text(), QStringLiteral("123"));

    // The IP box takes any character, up to fifteen.
    click(w.get(), "NetIP_Check");
    auto* ip = child<QLineEdit>(w.get(), "NetIP");
    QTest::keyClicks(ip, QStringLiteral("192.168.100.200.7"));
    QCOMPARE(ip->text(), QStringLiteral("192.168.100.200"));

    // The free texts stop where the game stops keeping a value.
    auto* quote = child<QLineEdit>(w.get(), "Server_Quote_Text");
    reveal(quote);
    quote->clear();
    QApplication::clipboard()->setText(QString(1011, QLatin1Char('q')));
    quote->paste();
    QCOMPARE(quote->text().size(), qsizetype(kMaxValueBytes));
  }

  void boxesTakeOneLineOfTheGamesCodePageAndRestoredTextsWhole() {
    UiFixture f;
    auto w = f.loadedWindow();
    auto* name = child<QLineEdit>(w.get(), "Server_Name");
    reveal(name);
    name->setText(QStringLiteral("[]"));
    name->setCursorPosition(1);
    // A paste keeps its text before the first line break; the box's own text stays.
    QApplication::clipboard()->setText(QStringLiteral("Pasted\r\nName"));
    name->paste();
    QCOMPARE(name->text(), QStringLiteral("[Pasted]"));
    // Every character of the game's code page goes in and comes back as its byte.
    name->setText(QString());
    QApplication::clipboard()->setText(QString::fromUtf8("\u20ac \u201cQ\u201d \u2014 \u2026 \u00e9"));
    name->paste();
    QCOMPARE(w->configuration().settings.text("Server_Name"), std::string("\x80 \x93Q\x94 \x97 \x85 \xe9"));
    // One it cannot hold is refused, never turned into '?'.
    QApplication::clipboard()->setText(QString::fromUtf8("\u03a9\u65e5"));
    name->paste();
    QKeyEvent typed(QEvent::KeyPress, Qt::Key_unknown, Qt::NoModifier, QString::fromUtf8("\u03a9"));
    QApplication::sendEvent(name, &typed);
    QCOMPARE(w->configuration().settings.text("Server_Name"), std::string("\x80 \x93Q\x94 \x97 \x85 \xe9"));
    // A restored text stands whole, whatever the box's typing limit (the Load
    // comparison holds that), and can be edited.
    ServerSettings restored;
    restored.setText("MaxPlayers", "123");
    w->applySettings(restored);
    auto* players = child<QLineEdit>(w.get(), "MaxPlayers");
    reveal(players);
    players->end(false);
    QTest::keyClicks(players, QStringLiteral("4"));
    QCOMPARE(players->text(), QStringLiteral("123"));
    QTest::keyClick(players, Qt::Key_Backspace);
    QCOMPARE(players->text(), QStringLiteral("12"));
  }
};

QTEST_MAIN(Form1SettingsTest)
#include "Form1SettingsTest.moc"
