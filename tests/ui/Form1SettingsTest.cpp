#include "UiFixture.h"
class Form1SettingsTest : public QObject {
  Q_OBJECT
};
QTEST_MAIN(Form1SettingsTest)
#include "Form1SettingsTest.moc"
