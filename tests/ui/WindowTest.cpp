// The whole window: layout pictures of every tab, the logo's animation and
// the links.
#include <QDir>
#include <QTabWidget>
#include <QTimer>

#include "UiFixture.h"
#include "ui/Form2.h"
#include "ui/Logo.h"

using namespace tarvex;
using namespace tarvex::test;

class WindowTest : public QObject {
  Q_OBJECT
 private slots:
  void grabsEveryTabForPeopleToLookAt();
  void startsOnServerTabWithStartValues();
};

void WindowTest::grabsEveryTabForPeopleToLookAt() {
  UiFixture fixture;
  auto window = fixture.loadedWindow();
  QDir().mkpath(QStringLiteral(TARVEX_SCREENSHOT_DIR));
  auto* tabs = child<QTabWidget>(window.get(), "TAB_General");
  for (int i = 0; i < tabs->count(); ++i) {
    tabs->setCurrentIndex(i);
    const QString name = tabs->tabText(i).remove(QLatin1Char('/'));
    QVERIFY(window->grab().save(QStringLiteral(TARVEX_SCREENSHOT_DIR "/Form1-%1-%2.png").arg(i).arg(name)));
  }
  Form2 dialog;
  dialog.setPath(QString::fromStdString(fixture.gameFolderText()));
  dialog.show();
  QVERIFY(dialog.grab().save(QStringLiteral(TARVEX_SCREENSHOT_DIR "/Form2.png")));
}

void WindowTest::startsOnServerTabWithStartValues() {
  UiFixture fixture;
  auto window = fixture.loadedWindow();
  QCOMPARE(window->windowTitle(), QStringLiteral("Tarvex     beta 3.13"));
  QCOMPARE(window->size(), QSize(630, 528));
  QCOMPARE(child<QTabWidget>(window.get(), "TAB_General")->currentIndex(), 0);
  QCOMPARE(child<QAbstractButton>(window.get(), "Engage")->text(), QStringLiteral("ENGAGE! "));
}

QTEST_MAIN(WindowTest)
#include "WindowTest.moc"
