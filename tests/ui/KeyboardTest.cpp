// The window without a mouse, and as a screen reader sees it: the whole main
// action by key presses alone, and a spoken name for every control that
// takes the focus.
#include <QAccessible>
#include <QApplication>
#include <QListView>
#include <QListWidget>
#include <QPushButton>
#include <QTabWidget>

#include "UiFixture.h"

using namespace tarvex;
using namespace tarvex::test;

namespace {
QWidget* focused() { return QApplication::focusWidget(); }

void press(int key, Qt::KeyboardModifiers modifiers = Qt::NoModifier) {
  QVERIFY(focused());
  QTest::keyClick(focused(), Qt::Key(key), modifiers);
}

// Tab until the control has the focus, as a user would.
bool tabTo(const char* name) {
  for (int i = 0; i < 300; ++i) {
    if (focused() && focused()->objectName() == QLatin1String(name)) return true;
    QTest::keyClick(focused(), Qt::Key_Tab);
  }
  return false;
}

QString spokenName(QWidget* widget) {
  QAccessibleInterface* face = QAccessible::queryAccessibleInterface(widget);
  return face ? face->text(QAccessible::Name) : QString();
}
}  // namespace

class KeyboardTest : public QObject {
  Q_OBJECT
 private slots:
  void theMainActionByKeysAlone() {
    UiFixture f;
    auto w = f.loadedWindow();
    QApplication::setActiveWindow(w.get());
    if (!QTest::qWaitForWindowActive(w.get())) QSKIP("this platform plugin gives no window the focus");
    QVERIFY(focused());

    // Game type: Tab lands on the selected option; arrows move within the group only.
    QVERIFY(tabTo("Game_DM"));
    f.services.clear();
    press(Qt::Key_Down);
    press(Qt::Key_Down);
    QCOMPARE(focused()->objectName(), QStringLiteral("Game_CTF"));
    QVERIFY(checked(w.get(), "Game_CTF") && checked(w.get(), "NonDedicated_Button"));
    QCOMPARE(f.services.sounds(), (Log{"button3.wav", "button2.wav"}));
    press(Qt::Key_Down);  // the last option: the group ends here
    QCOMPARE(focused()->objectName(), QStringLiteral("Game_CTF"));

    // Two CTF maps: the arrow keys show a map, Enter adds it.
    for (int tab = 0; tab < 2; ++tab) press(Qt::Key_Tab, Qt::ControlModifier);
    QVERIFY(tabTo("LoadedMaps"));
    press(Qt::Key_End);
    QCOMPARE(text(w.get(), "Options_Map_Name"), QStringLiteral("ctf_voy2"));
    press(Qt::Key_Return);
    press(Qt::Key_Up);
    press(Qt::Key_Enter);
    QCOMPARE(items(child<QListView>(w.get(), "SelectedMaps")), (QStringList{"ctf_voy2", "ctf_voy1"}));

    // One map's limits: choose it in the rotation, type, Enter (as "Change!").
    QVERIFY(tabTo("SelectedMaps"));
    press(Qt::Key_Home);
    QCOMPARE(text(w.get(), "Options_Map_Name"), QStringLiteral("ctf_voy2"));
    for (const auto& [box, typed] : {std::pair{"Custom_Frag_limit", "42"}, {"Custom_Capture_Limit", "7"}}) {
      QVERIFY(tabTo(box));
      press(Qt::Key_A, Qt::ControlModifier);
      QTest::keyClicks(focused(), QString::fromLatin1(typed));
    }
    press(Qt::Key_Return);

    // ENGAGE! from where the focus is, by its shortcut (its caption as it was).
    f.services.clear();
    QCOMPARE(child<QPushButton>(w.get(), "Engage")->text(), QStringLiteral("ENGAGE! "));
    press(Qt::Key_E, Qt::ControlModifier);
    QTRY_COMPARE(f.services.started.size(), std::size_t(1));  // a shortcut shows the button pressed first
    // Nothing changed but what the keys set.
    const std::string start = readFile(TARVEX_TEST_DATA "/script_start_values.cfg");
    QCOMPARE(readFile(f.game / "BaseEF" / "tarvex.cfg"),
             start.substr(0, start.find("set g_gametype 0")) + "set g_gametype 4\r\nset capturelimit 7\r\n" +
                 "Set m1 \"fraglimit 42; timelimit 0; capturelimit 7; map ctf_voy2; set nextmap vstr m2\"\r\n"
                 "Set m2 \"fraglimit 10; timelimit 0; capturelimit 5; map ctf_voy1; set nextmap vstr m1\"\r\nvstr "
                 "m1\r\n\r\n");
  }

  void everyFocusableControlHasAName() {
    UiFixture f;
    auto w = f.loadedWindow();
    auto* tabs = child<QTabWidget>(w.get(), "TAB_General");
    for (int page = 0; page < tabs->count(); ++page) {
      tabs->setCurrentIndex(page);
      QStringList names;
      for (QWidget* widget : tabs->widget(page)->findChildren<QWidget*>()) {
        const bool focusable = (widget->focusPolicy() & Qt::TabFocus) || qobject_cast<QAbstractButton*>(widget);
        if (!focusable || !widget->isVisible() || widget->focusProxy()) continue;
        const QString name = spokenName(widget);
        QVERIFY2(!name.trimmed().isEmpty(), qPrintable(widget->objectName()));
        QVERIFY2(!names.contains(name), qPrintable(name));
        names << name;
      }
    }
    // Links read as links; frames name their option groups.
    QCOMPARE(QAccessible::queryAccessibleInterface(child<QWidget>(w.get(), "Label101"))->role(), QAccessible::Link);
    QCOMPARE(spokenName(child<QWidget>(w.get(), "Frame1")), QStringLiteral("Game Type"));
    QCOMPARE(spokenName(child<QWidget>(w.get(), "Frame4")), QStringLiteral("Bot Skill Level"));
    // A link opens from the keyboard, with its sound first.
    tabs->setCurrentIndex(6);
    auto* link = child<QWidget>(w.get(), "Label101");
    link->setFocus();
    f.services.clear();
    QTest::keyClick(link, Qt::Key_Space);
    QCOMPARE(f.services.log, (Log{"sound:button1.wav", "link:https://tarvex.github.io/"}));
  }
};

QTEST_MAIN(KeyboardTest)
#include "KeyboardTest.moc"
