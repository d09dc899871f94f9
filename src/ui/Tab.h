#pragma once
// A page of the main window, and what every page reaches of the window: the
// host's services, the button sounds, the settings' controls, the folders.

#include <QColor>
#include <QList>
#include <QRect>
#include <QString>
#include <QWidget>
#include <cstddef>
#include <filesystem>
#include <initializer_list>
#include <string>
#include <string_view>
#include <utility>

#include "maps/MapCatalogue.h"

namespace tarvex {

struct Configuration;
class SettingControls;
class WindowServices;

namespace form1 {
inline const QColor kRed(0xD0, 0x00, 0x00);
inline const QColor kBlue(0x00, 0x00, 0xE0);
inline const QColor kGreen(0x00, 0x80, 0x00);
// The property of a label whose text is centred on its top edge.
inline constexpr const char* kCentredTop = "tarvexCentredTop";
// A slot's description is its second line; this much of the file holds it.
inline constexpr std::size_t kDescriptionBytes = 64 * 1024;

// Names and captions of the settings table, which are plain ASCII.
inline QString latin1(std::string_view text) { return QString::fromLatin1(text.data(), qsizetype(text.size())); }
}  // namespace form1

// The wave files of the program folder (known once the window has loaded).
class WindowSounds {
 public:
  explicit WindowSounds(WindowServices& services) : services_(services) {}
  void setFolder(const std::filesystem::path& programFolder);
  std::string file(const char* name) const { return folderText_ + name; }
  void play(const char* name) const;
  // "buttonN.wav"; 0 plays nothing.
  void button(int number) const;

 private:
  WindowServices& services_;
  std::string folderText_;
};

struct TabContext {
  WindowServices& services;
  const WindowSounds& sounds;
  SettingControls& controls;
  MapListFolders folders;  // the program folder and the data folder
};

// The whole window's configuration, which the Save/Load page saves and puts back.
class ConfigurationHolder {
 public:
  virtual Configuration configuration() = 0;
  virtual void restoreConfiguration(Configuration config) = 0;

 protected:
  ~ConfigurationHolder() = default;
};

class Tab : public QWidget {
 public:
  explicit Tab(const TabContext& context) : context_(context) {}

  // Makes the page's controls (once).
  virtual void build() = 0;
  // The controls Tab reaches on this page, in order: reading order unless a page knows better.
  virtual QList<QWidget*> tabChain();
  // On the page's first showing, once its controls exist: labels get their
  // size, frame captions move clear, links are centred.
  void prepare();

 protected:
  virtual void prepared() {}
  void sound(int number) const { context_.sounds.button(number); }
  WindowServices& services() const { return context_.services; }
  // What a screen reader says for controls whose visible caption is not
  // enough ("Seconds" beside two settings) or stands apart from them.
  void nameForScreenReaders(std::initializer_list<std::pair<const char*, QString>> names);
  // A setting's caption, as the settings table gives it.
  static QString caption(const char* name);
  // A setting's control on this page (see SettingControls).
  QWidget* place(const char* name, QWidget* parent, QRect rect);
  QWidget* placeWithLabel(const char* name, QWidget* parent, int left, int top, int labelWidth = 0);

  const TabContext& context_;
};

}  // namespace tarvex
