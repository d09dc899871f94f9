#include "UiFixture.h"
class SaveSlotTest : public QObject {
  Q_OBJECT
};
QTEST_MAIN(SaveSlotTest)
#include "SaveSlotTest.moc"
