#include "UiFixture.h"
class Form1MapsTest : public QObject {
  Q_OBJECT
};
QTEST_MAIN(Form1MapsTest)
#include "Form1MapsTest.moc"
