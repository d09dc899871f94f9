// The whole window: its first look, the fonts, the logo and the links.
// (Pictures of every tab: window_bench --screenshots.)
#include <QDialog>
#include <QFile>
#include <QMessageBox>
#include <QTabWidget>
#include <QTimer>

#include "UiFixture.h"
#include "ui/Layout.h"
#include "ui/Logo.h"
#include "ui/TarvexApp.h"

using namespace tarvex;
using namespace tarvex::test;

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
    QCOMPARE(logo.lastFrameIndex(), 5);
    const QStringList delays{"1200", "120", "120", "900", "120", "120"};
    for (int i = 0; i < 6; ++i) QCOMPARE(logo.elements()[i]->property("tag").toString(), delays[i]);
    QCOMPARE(logo.timer().interval(), 1200);
    QCOMPARE(window->findChild<QTimer*>(QStringLiteral("Timer1")), &logo.timer());
    QVERIFY(logo.timer().isActive() && !logo.elements()[0]->pixmap().isNull());
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
};

QTEST_MAIN(WindowTest)
#include "WindowTest.moc"
