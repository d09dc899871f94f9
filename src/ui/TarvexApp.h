#pragma once
// The program's course: the start gate that finds the game folder, Form2's
// answers, the main window, "Refind Game Path" and the end after a launch.

#include <QApplication>
#include <QObject>
#include <QPointer>
#include <filesystem>

#include "services/Services.h"
#include "ui/Form1.h"
#include "ui/Form2.h"

namespace tarvex {

// What every Tarvex window shares, set once before the first one opens: the
// program's name, its built-in pictures and icon, and the window font as the
// application's font (text that Qt lays out before a control takes its
// window's font, as every new text box does, then uses a font already loaded);
// dialogs keep the platform's fonts.
void setUpApplication(QApplication& app);

class TarvexApp : public QObject {
  Q_OBJECT
 public:
  TarvexApp(WindowServices& services, std::filesystem::path appFolder);
  ~TarvexApp() override;

  // Runs the start gate: the main window at once when path.ini names a
  // folder, otherwise discovery and Form2.
  void start();

  Form1* mainWindow() const { return form1_; }
  Form2* gameFolderDialog() const { return form2_; }

 signals:
  void finished();  // after a launch every window is closed

 private:
  void gate();
  // Asks for stvoyHM.exe; the folder + separator, or empty when cancelled.
  std::string locateExecutable();
  std::string writeFolder(const std::string& executable);
  void showForm2(const std::string& folder);
  void openMainWindow();
  void onNo();
  void onRefind();
  void onLaunched();

  WindowServices& services_;
  std::filesystem::path appFolder_;
  std::filesystem::path dataFolder_;  // path.ini and the save slots
  QPointer<Form1> form1_;
  QPointer<Form2> form2_;
};

}  // namespace tarvex
