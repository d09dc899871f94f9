#include "ui/QtServices.h"

#include <QApplication>
#include <QDesktopServices>
#include <QDir>
#include <QFileDialog>
#include <QInputDialog>
#include <QMessageBox>
#include <QUrl>

#include "platform/Registry.h"
#include "platform/Sound.h"
#include "query/ServerQuery.h"
#include "server/Instance.h"
#include "ui/Convert.h"
#include "ui/FindMapsDialog.h"

namespace tarvex {

void QtServices::message(const std::string& text, Icon icon) {
  QMessageBox box(icon == Icon::Stop ? QMessageBox::Critical : QMessageBox::NoIcon, QStringLiteral("Tarvex"),
                  fromPathBytes(text), QMessageBox::Ok, QApplication::activeWindow());
  box.exec();
}

std::optional<std::string> QtServices::prompt(const std::string& text, const std::string& title,
                                              const std::string& preset) {
  bool ok = false;
  const QString answer = QInputDialog::getText(QApplication::activeWindow(), fromBytes(title), fromBytes(text),
                                               QLineEdit::Normal, fromBytes(preset), &ok);
  if (!ok) return std::nullopt;
  return toBytes(answer);
}

std::optional<std::string> QtServices::openFile(const std::string& title, const std::string& presetName,
                                                const std::string& filter) {
  QFileDialog dialog(QApplication::activeWindow(), fromBytes(title), QString(), fromBytes(filter));
  dialog.setFileMode(QFileDialog::ExistingFile);
  dialog.selectFile(fromBytes(presetName));
  if (dialog.exec() != QDialog::Accepted || dialog.selectedFiles().isEmpty()) return std::nullopt;
  // Qt answers with forward slashes even on Windows; the folder rule wants the platform's separator.
  return toPathBytes(QDir::toNativeSeparators(dialog.selectedFiles().constFirst()));
}

void QtServices::playWave(const std::string& path) { platform::playWave(path); }

Problem QtServices::startProcess(const ProcessRequest& request) { return game_.start(request); }

// The window is painted between the steps of a wait for the game.
std::optional<ProcessFailure> QtServices::startedProcessFailure(int waitMilliseconds) {
  QApplication::processEvents();
  return game_.failure(waitMilliseconds);
}

std::optional<std::string> QtServices::serverIdentity(const std::string& address, int port) {
  QApplication::processEvents();
  return answeringIdentity(address, port);
}

Problem QtServices::portProblem(const std::string& address, int port) { return tarvex::portProblem(address, port); }

void QtServices::openLink(const std::string& target) { QDesktopServices::openUrl(QUrl(fromBytes(target))); }

std::optional<std::vector<bool>> QtServices::chooseMaps(const std::vector<MapChoice>& maps,
                                                        const PictureJob& pictures) {
  FindMapsDialog dialog(maps, QApplication::activeWindow());
  dialog.makePictures(pictures);
  if (dialog.exec() != QDialog::Accepted) return std::nullopt;
  return dialog.chosen();
}

std::string QtServices::readRegistry(const std::string& key, const std::string& value) {
  return platform::readMachineRegistry(key, value);
}

}  // namespace tarvex
