// The whole window: its first look, the fonts, the logo and the links; the
// main action by key presses alone, and a spoken name for every control that
// takes the focus, as a screen reader sees it. (Pictures of every tab:
// window_bench --screenshots.)
#include <QAccessible>
#include <QApplication>
#include <QDialog>
#include <QFile>
#include <QListView>
#include <QMessageBox>
#include <QPushButton>
#include <QTabWidget>
#include <QTimer>

#include "UiFixture.h"
#include "ui/Layout.h"
#include "ui/Logo.h"
#include "ui/TarvexApp.h"

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

class WindowTest : public QObject {
  Q_OBJECT
 private slots:
  void startsOnServerTabWithStartValuesTheLogoAndLinks() {
    // Set up as the program is: the window font for windows, the platform's for dialogs.
    const QFont platformFont = QApplication::font();
    const QFont messageFont = QApplication::font("QMessageBox");
    setUpApplication(*qApp);
    QWidget plain;
    QDialog question;
    QMessageBox message;
    for (QWidget* shown : {&plain, static_cast<QWidget*>(&question), static_cast<QWidget*>(&message)})
      shown->ensurePolished();
    QCOMPARE(plain.font(), layout::windowFont());
    QCOMPARE(question.font(), platformFont);
    QCOMPARE(message.font(), messageFont);
    UiFixture f;
    auto window = f.loadedWindow();
    QCOMPARE(window->windowTitle(), QStringLiteral("Tarvex     beta 3.13"));
    QCOMPARE(window->size(), QSize(630, 528));
    QCOMPARE(child<QTabWidget>(window.get(), "TAB_General")->currentIndex(), 0);
    QCOMPARE(child<QAbstractButton>(window.get(), "Engage")->text(), QStringLiteral("ENGAGE! "));
    // The logo: the first frame is there before the window shows; the others right after.
    Logo& logo = window->logo();
    QCOMPARE(logo.elements().size(), 1);
    QTRY_COMPARE(logo.elements().size(), 6);
    const QStringList delays{"1200", "120", "120", "900", "120", "120"};
    for (int i = 0; i < 6; ++i) QCOMPARE(logo.elements()[i]->property("tag").toString(), delays[i]);
    QCOMPARE(logo.timer().interval(), 1200);
    QCOMPARE(window->findChild<QTimer*>(QStringLiteral("Timer1")), &logo.timer());
    for (int i = 0; i < 6; ++i) logo.tick();  // once around: the first frame shows again, the last is hidden
    QVERIFY(logo.timer().isActive() && !logo.elements()[0]->pixmap().isNull() && !logo.elements()[0]->isHidden() &&
            logo.elements()[5]->isHidden());
    QVERIFY(!QFile::exists(QStringLiteral("temp.gif")));
    // Links play their sound before they open.
    for (const char* name : {"Label101", "Label97", "Label96"}) {
      auto* label = child<QLabel>(window.get(), name);
      reveal(label);
      QCOMPARE(label->cursor().shape(), Qt::PointingHandCursor);
      QTest::mouseClick(label, Qt::LeftButton, {}, label->rect().center());
    }
    QCOMPARE(f.services.log, (Log{"sound:button1.wav", "link:https://tarvex.github.io/", "sound:button3.wav",
                                  f.services.log.at(3), "sound:button7.wav", f.services.log.at(5)}));
    QVERIFY(f.services.log[3].starts_with("link:mailto:") && f.services.log[5].starts_with("link:http"));
  }

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

QTEST_MAIN(WindowTest)
#include "WindowTest.moc"
