#pragma once
// The controls of the declared settings, wherever their tabs place them: each
// made from its declaration, read back and filled through the settings table.

#include <QHash>
#include <QRect>
#include <QString>

#include "config/ServerSettings.h"

class QButtonGroup;
class QWidget;

namespace tarvex {

class WindowSounds;

class SettingControls {
 public:
  // window: the main window, which owns the option groups and the connections.
  SettingControls(QWidget* window, const WindowSounds& sounds) : window_(window), sounds_(sounds) {}

  // Creates the control of a setting from its declaration and wires its click.
  QWidget* place(const char* name, QWidget* parent, QRect rect);
  // A switch or option with its caption as a separate label to its right.
  QWidget* placeWithLabel(const char* name, QWidget* parent, int left, int top, int labelWidth = 0);

  // Every declared setting has its control.
  bool complete() const;
  bool isChecked(const char* name) const;
  const QHash<QString, QWidget*>& controls() const { return controls_; }

  // The settings as the controls hold them.
  ServerSettings read() const;
  // The settings' values in the controls that exist so far, without click
  // sounds; those in skip keep what they show.
  void show(const ServerSettings& settings, const QHash<QString, QWidget*>& skip = {});

 private:
  void onClicked(const char* name, bool checked);

  QWidget* window_;
  const WindowSounds& sounds_;
  QHash<QString, QWidget*> controls_;
  QButtonGroup* choiceGroups_[4] = {};  // by ChoiceGroup
};

}  // namespace tarvex
