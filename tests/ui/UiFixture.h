#pragma once
// A fresh program folder and game folder for each test, and helpers to find
// and drive the real windows by control name.

#include <QAbstractButton>
#include <QLineEdit>
#include <QListView>
#include <QListWidget>
#include <QTest>
#include <filesystem>
#include <memory>

#include "RecordingServices.h"
#include "core/TestSupport.h"
#include "ui/Form1.h"

namespace tarvex::test {

// The program folder holds a copy of the shipped program folder's data; the
// game folder the data file of every shipped map.
struct UiFixture : GameInstall {
  RecordingServices services;

  explicit UiFixture(bool installGame = true);

  // A main window after its load step.
  std::unique_ptr<Form1> loadedWindow();
};

// The named control; a main window's later tabs are built right after its
// first paint, so a control not there yet is waited for.
template <typename T>
T* child(QWidget* window, const char* name) {
  T* found = nullptr;
  (void)QTest::qWaitFor([&] { return (found = window->findChild<T*>(QString::fromLatin1(name))) != nullptr; });
  if (!found) qFatal("no control named %s", name);
  return found;
}

using Log = std::vector<std::string>;  // what the recording services saw, in order

// A text box's text, and a switch or option's state, by control name.
QString text(QWidget* window, const char* name);
bool checked(QWidget* window, const char* name);
void setText(QWidget* window, const char* name, const QString& text);

// Shows the tab that holds the widget, as a user would before clicking.
void reveal(QWidget* widget);
void click(QWidget* window, const char* name);
// A click on the list entry with that text; twice: then a double click.
void clickItem(QAbstractItemView* list, const QString& text, bool twice = false);
QStringList items(const QAbstractItemView* list);

}  // namespace tarvex::test
