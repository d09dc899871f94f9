// tarvex: the window program.
#include <QApplication>
#include <QDir>

#include "platform/Platform.h"
#include "ui/Convert.h"
#include "ui/QtServices.h"
#include "ui/TarvexApp.h"

int main(int argc, char** argv) {
  tarvex::platform::settleTimeZone();
  QApplication app(argc, argv);
  tarvex::setUpApplication(app);
  tarvex::QtServices services;
  const std::filesystem::path appFolder =
      tarvex::toPathBytes(QDir::toNativeSeparators(QApplication::applicationDirPath()));
  tarvex::TarvexApp tarvexApp(services, appFolder);
  tarvexApp.start();
  return app.exec();
}
