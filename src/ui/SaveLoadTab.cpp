#include "ui/SaveLoadTab.h"

#include <QAbstractItemView>
#include <QComboBox>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <algorithm>

#include "platform/Files.h"
#include "saves/SaveFile.h"
#include "services/Services.h"
#include "ui/Convert.h"
#include "ui/Layout.h"

namespace tarvex {

using layout::page;
using layout::twips;
using namespace form1;

void SaveLoadTab::build() {
  QWidget* tab = this;
  layout::label(tab,
                QStringLiteral("There are 9 save files to choose from.  Every setting in Tarvex will be saved.  This "
                               "includes custom map settings (frag , time, and capture limits - per individual map)."),
                page(600, 960, 8175, 495), QColor(), false, true);
  layout::label(tab, QStringLiteral("Save File:"), page(3960, 1800, 0, 0), QColor(), true);
  saveSelect_ = new QComboBox(tab);
  saveSelect_->setObjectName(QStringLiteral("save_select"));
  saveSelect_->setGeometry(page(2280, 2040, 4455, 315));
  saveSelect_->setEditable(false);  // only the nine slots can be picked
  saveSelect_->view()->setAccessibleName(QStringLiteral("Save files"));
  layout::label(tab, QStringLiteral("Description:"), page(3885, 2640, 0, 0), QColor(), true);
  saveText_ = layout::lineEdit(tab, "save_text", page(600, 2880, 8055, 360));
  layout::setTextColour(saveText_, kGreen);
  auto* loadButton = layout::button(tab, "Load", QStringLiteral("Load"), page(2400, 3600, 1695, 375));
  auto* saveButton = layout::button(tab, "Save", QStringLiteral("Save"), page(4800, 3600, 1695, 375));
  connect(saveSelect_, &QComboBox::activated, this, [this] { showSlotDescription(); });
  connect(saveButton, &QPushButton::clicked, this, &SaveLoadTab::saveSlot);
  connect(loadButton, &QPushButton::clicked, this, &SaveLoadTab::loadSlot);
  nameForScreenReaders({{"save_select", "Save File"}, {"save_text", "Description"}});
}

// ---- save slots ----

int SaveLoadTab::selectedSlot() const {
  const QString text = saveSelect_->currentText();
  const int slot = text.isEmpty() ? 1 : text.right(1).toInt();
  return slot >= 1 && slot <= kSlotCount ? slot : 1;
}

void SaveLoadTab::showSlotDescription() {
  const FileBytes file = readFileHead(slotPath(context_.folders.data, selectedSlot()), kDescriptionBytes);
  const auto description = file.status == ReadStatus::Ok ? saveDescription(file.bytes) : std::nullopt;
  saveText_->setText(fromBytes(description.value_or(std::string())));
}

void SaveLoadTab::saveSlot() {
  const int slot = selectedSlot();
  const std::filesystem::path file = slotPath(context_.folders.data, slot);
  // The old content stays until the new file is complete: a cancelled prompt
  // still saves (with an empty description), a crash or full disk loses nothing.
  std::string description = services().prompt(kSavePrompt, kSavePromptTitle, kSavePromptPreset).value_or(std::string());
  // A one-line prompt: a pasted line break ends the description.
  description.resize(std::min(description.size(), description.find_first_of("\r\n")));
  const SlotSave saved = saveSlotFile(file, toBytes(saveSelect_->currentText()), description, window_.configuration());
  if (!saved.refusal.ok()) {
    services().message(saved.refusal);
    return;
  }
  if (!saved.writeProblem.ok()) {
    services().message("ERROR:  Save file #" + std::to_string(slot) + " (" + fromPath(file) +
                       ") could not be written (" + saved.writeProblem + ").  The slot keeps what it held.");
    return;
  }
  showSlotDescription();
  sound(3);
  services().message(kSavedMessage);
}

void SaveLoadTab::loadSlot() {
  const int slot = selectedSlot();
  const std::filesystem::path file = slotPath(context_.folders.data, slot);
  Configuration config = window_.configuration();
  const SaveRead read = restoreSaveFile(file, slot, config);
  const RestoreOutcome outcome = read.outcome;
  if (outcome == RestoreOutcome::Unreadable) {
    services().message(read.message);
    return;
  }
  if (outcome == RestoreOutcome::NeverUsed) services().message(read.message);
  if (outcome == RestoreOutcome::Restored) window_.restoreConfiguration(std::move(config));
  sound(7);
  if (outcome == RestoreOutcome::Restored) services().message(kRestoredMessage);
}

void SaveLoadTab::showSlots(const QString& firstDescription) {
  saveText_->setText(firstDescription);
  saveSelect_->clear();
  for (int slot = 1; slot <= kSlotCount; ++slot) saveSelect_->addItem(fromBytes(slotTitle(slot)));
  saveSelect_->setCurrentIndex(0);
}

}  // namespace tarvex
