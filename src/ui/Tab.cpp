#include "ui/Tab.h"

#include <QLabel>
#include <QVariant>

#include "config/ServerSettings.h"
#include "platform/Files.h"
#include "services/Services.h"
#include "ui/Keyboard.h"
#include "ui/Layout.h"
#include "ui/SettingControls.h"

namespace tarvex {

using namespace form1;

void WindowSounds::setFolder(const std::filesystem::path& programFolder) {
  folderText_ = withTrailingSeparator(fromPath(programFolder));
}

void WindowSounds::play(const char* name) const { services_.playWave(file(name)); }

void WindowSounds::button(int number) const {
  if (number > 0) play(("button" + std::to_string(number) + ".wav").c_str());
}

QWidget* Tab::place(const char* name, QWidget* parent, QRect rect) {
  return context_.controls.place(name, parent, rect);
}

QWidget* Tab::placeWithLabel(const char* name, QWidget* parent, int left, int top, int labelWidth) {
  return context_.controls.placeWithLabel(name, parent, left, top, labelWidth);
}

void Tab::nameForScreenReaders(std::initializer_list<std::pair<const char*, QString>> names) {
  for (const auto& [name, spoken] : names)
    if (auto* widget = findChild<QWidget*>(QString::fromLatin1(name))) widget->setAccessibleName(spoken);
}

QString Tab::caption(const char* name) { return form1::latin1(fieldSpec(name).caption); }

QList<QWidget*> Tab::tabChain() { return keyboard::readingOrder(this); }

void Tab::prepare() {
  if (property("tarvexPrepared").toBool()) return;
  setProperty("tarvexPrepared", true);
  layout::sizeLabels(this);
  keyboard::clearCaptions(this);
  // Links stand centred one under the other (the page is the tab control's width less its frame).
  const int pageWidth = layout::twips(0, 0, 9255, 0).width() - 4;
  for (QLabel* link : findChildren<layout::LinkLabel*>()) {
    link->adjustSize();
    link->move(pageWidth / 2 - link->width() / 2, link->property(kCentredTop).toInt());
  }
  prepared();
}

}  // namespace tarvex
