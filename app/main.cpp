// tarvex: the window program.
#include <QApplication>
#include <QDir>
#include <cstdio>
#include <string>

#include "platform/Time.h"
#include "ui/Convert.h"
#include "ui/QtServices.h"
#include "ui/TarvexApp.h"

int main(int argc, char** argv) {
  if (argc == 2 && std::string(argv[1]) == "--version") {
    std::printf("tarvex %s\n", TARVEX_VERSION);
    return 0;
  }
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
