#include "UiFixture.h"
class StartupLaunchTest : public QObject {
  Q_OBJECT
};
QTEST_MAIN(StartupLaunchTest)
#include "StartupLaunchTest.moc"
