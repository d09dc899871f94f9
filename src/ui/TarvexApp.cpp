#include "ui/TarvexApp.h"

#include <QIcon>

#include "platform/Files.h"
#include "startup/DataFolder.h"
#include "startup/GameFolder.h"
#include "ui/Convert.h"
#include "ui/Form1.h"
#include "ui/Form2.h"
#include "ui/Layout.h"

static void initResources() { Q_INIT_RESOURCE(resources); }

namespace tarvex {

namespace {
constexpr const char* kNotInRegistry =
    "Tarvex was unable to find the Tarvex Executable (stvoyHM.exe) location in the registry.  Please Locate "
    "stvoyHM.exe:";
constexpr const char* kPleaseLocate = "Please locate the Tarvex Executable (stvoyHM.exe)";
constexpr const char* kDialogTitle = "Locate \"StvoyHM\" Executable";
constexpr const char* kDialogFilter = "stvoyHM.exe (stvoyHM.exe)";
}  // namespace

void setUpApplication(QApplication& app) {
  app.setApplicationName(QStringLiteral("Tarvex"));
  initResources();
  app.setWindowIcon(QIcon(layout::builtInPicture(QStringLiteral(":/tarvex/emblem.ppm"))));
  // Dialogs (messages, prompts, file choosers) keep the platform's fonts.
  const QFont platformFont = QApplication::font();
  const QFont messageFont = QApplication::font("QMessageBox");
  QApplication::setFont(layout::windowFont());
  QApplication::setFont(platformFont, "QDialog");
  QApplication::setFont(messageFont, "QMessageBox");
}

TarvexApp::TarvexApp(WindowServices& services, std::filesystem::path appFolder)
    : services_(services), appFolder_(std::move(appFolder)), dataFolder_(dataFolderFor(appFolder_)) {}

TarvexApp::~TarvexApp() {
  delete form1_.data();
  delete form2_.data();
}

void TarvexApp::start() {
  // What a killed Tarvex left half-written is never the real file: remove it.
  for (const auto& folder : {dataFolder_, dataFolder_ / "Map_Images", dataFolder_ / "save"})
    removeStaleTemporaries(folder);
  gate();
}

void TarvexApp::gate() {
  PathIni ini = readPathIni(dataFolder_);
  if (ini.state == PathIniState::Missing) {
    if (const Problem error = createEmptyPathIni(dataFolder_); !error.ok()) {
      services_.message("Tarvex could not create " + fromPath(dataFolder_ / kPathIniName) + " (" + error +
                        ").  The game folder cannot be remembered.");
      openMainWindow();
      return;
    }
    ini.state = PathIniState::Empty;
  }
  if (ini.state != PathIniState::Empty) {  // known, or unreadable: go straight on
    openMainWindow();
    return;
  }
  std::string executable = services_.readRegistry(kRegistryKey, kRegistryValue);
  if (executable.empty()) {
    services_.message(kNotInRegistry);
    const auto chosen = services_.openFile(kDialogTitle, "stvoyHM.exe", kDialogFilter);
    if (!chosen) {
      showForm2({});  // nothing written: the next start asks again
      return;
    }
    executable = *chosen;
  }
  const std::string folder = writeFolder(executable);
  if (folder.empty()) {
    openMainWindow();
    return;
  }
  showForm2(folder);
}

std::string TarvexApp::writeFolder(const std::string& executable) {
  const std::string folder = folderOfExecutable(executable, kSeparator);
  if (folder.empty()) return {};
  const std::string line = folder + kSeparator;
  if (const Problem error = writePathIni(dataFolder_, line); !error.ok()) {
    services_.message("Tarvex could not write " + fromPath(dataFolder_ / kPathIniName) + " (" + error + ").");
    return {};
  }
  return line;
}

void TarvexApp::showForm2(const std::string& folder) {
  if (!form2_) {
    form2_ = new Form2;
    form2_->setAttribute(Qt::WA_DeleteOnClose);
    connect(form2_, &Form2::yes, this, [this] { openMainWindow(); });
    connect(form2_, &Form2::no, this, &TarvexApp::onNo);
  }
  form2_->setPath(fromPathBytes(folder));
  form2_->show();
}

void TarvexApp::openMainWindow() {
  auto* window = new Form1(services_, appFolder_, dataFolder_);
  connect(window, &Form1::refindRequested, this, &TarvexApp::onRefind);
  connect(window, &Form1::launched, this, &TarvexApp::onLaunched);
  window->load();
  window->show();
  form1_ = window;
  if (form2_) form2_->close();
}

void TarvexApp::onNo() {
  form2_->hide();
  services_.message(kPleaseLocate);
  const auto chosen = services_.openFile(kDialogTitle, "stvoyHM.exe", kDialogFilter);
  std::string folder;
  if (chosen) {
    folder = writeFolder(*chosen);
  } else if (const Problem error = createEmptyPathIni(dataFolder_); !error.ok()) {
    services_.message("Tarvex could not write " + fromPath(dataFolder_ / kPathIniName) + " (" + error + ").");
  }
  showForm2(folder);
}

void TarvexApp::onRefind() {
  std::error_code ec;
  std::filesystem::remove(dataFolder_ / kPathIniName, ec);
  QPointer<Form1> old = form1_;
  form1_ = nullptr;
  gate();
  if (old) old->close();
}

void TarvexApp::onLaunched() {
  if (form2_) form2_->close();
  if (form1_) form1_->close();
  emit finished();
}

}  // namespace tarvex
