// The whole window: its first look, the order it is built in, the logo's
// animation and the links. (Pictures of every tab: window_bench --screenshots.)
#include <QDialog>
#include <QFile>
#include <QMessageBox>
#include <QResource>
#include <QTabWidget>
#include <QTimer>

#include "UiFixture.h"
#include "ui/Layout.h"
#include "ui/Logo.h"
#include "ui/TarvexApp.h"

using namespace tarvex;
using namespace tarvex::test;

namespace {
// A GIF of three 1x1 frames with the given delays (hundredths of a second), as
// the logo tool writes it: a spare 00 before the trailer, so that the last
// frame keeps its block terminator when the cutter drops two bytes.
QByteArray threeFrameGif(int d1, int d2, int d3) {
  QByteArray gif = "GIF89a" + QByteArray::fromHex("01000100f00000ffffff000000");  // screen, 2-colour table
  for (int delay : {d1, d2, d3})
    gif += QByteArray::fromHex("21f90400") + char(delay & 0xff) + char(delay >> 8) +
           QByteArray::fromHex("00002c0000000001000100000202440100");
  return gif + QByteArray::fromHex("003b");
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
    // The score picture is read without a decoder: the same pixels as Qt's own
    // reader gives, from a resource stored uncompressed.
    const QString score = QStringLiteral(":/tarvex/scoretable.ppm");
    QCOMPARE(QResource(score).compressionAlgorithm(), QResource::NoCompression);
    const QImage shown = child<QLabel>(window.get(), "Image2")->pixmap().toImage();
    QCOMPARE(shown.size(), QSize(553, 175));
    QCOMPARE(shown.convertToFormat(QImage::Format_RGB32), QImage(score).convertToFormat(QImage::Format_RGB32));

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
    const auto& log = f.services.log;
    QCOMPARE(log.size(), std::size_t(6));
    QVERIFY(log[0] == "sound:button1.wav" && log[1].starts_with("link:http"));
    QVERIFY(log[2] == "sound:button3.wav" && log[3].starts_with("link:mailto:"));
    QVERIFY(log[4] == "sound:button7.wav" && log[5].starts_with("link:http"));
  }

  // A logo of its own: each frame for its delay, looping, resting on a delay of
  // zero; files that are no logo reported with a stop icon.
  void logoFramesTheirDelaysAndFailures() {
    UiFixture f;
    QWidget holder;
    Logo logo{new QLabel(&holder), f.services};
    const auto gif = [&](const QByteArray& bytes) {
      writeFile(f.app / "test.gif", bytes.toStdString());
      return (f.app / "test.gif").string();
    };
    QVERIFY(logo.load(gif(threeFrameGif(10, 20, 30))));
    logo.start();
    logo.finishLoading();
    QCOMPARE(logo.elements().size(), 3);
    QList<int> shown, intervals;
    for (int tick = 0; tick < 6; ++tick) {
      logo.tick();
      shown << logo.frameIndex();
      intervals << logo.timer().interval();
      QVERIFY(!logo.elements()[logo.frameIndex()]->isHidden());
    }
    QCOMPARE(shown, (QList<int>{1, 2, 0, 1, 2, 0}));
    QCOMPARE(intervals, (QList<int>{200, 300, 100, 200, 300, 100}));
    QVERIFY(logo.load(gif(threeFrameGif(10, 0, 30))));
    logo.start();
    logo.tick();
    QCOMPARE(logo.frameIndex(), 1);
    QVERIFY(!logo.timer().isActive());
    QVERIFY(!logo.load((f.app / "nothing.gif").string()));
    QVERIFY(!logo.load(gif("GIF89a no extension at all")));
    QVERIFY(!logo.load(gif("GIF89a" + QByteArray::fromHex("0021f9040000") + "junk")));
    QCOMPARE(f.services.messages(), (Log{"File " + (f.app / "nothing.gif").string() + " not found",
                                         "This file is not a *.gif file", "Error No. 481 when reading file"}));
    QCOMPARE(f.services.icons, std::vector<Services::Icon>(3, Services::Icon::Stop));
    QVERIFY(!logo.timer().isActive());
  }
};

QTEST_MAIN(WindowTest)
#include "WindowTest.moc"
