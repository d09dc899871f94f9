#include "ui/SettingControls.h"

#include <QAbstractButton>
#include <QButtonGroup>
#include <QCheckBox>
#include <QLineEdit>
#include <QRadioButton>

#include "ui/Convert.h"
#include "ui/Layout.h"
#include "ui/Tab.h"
#include "ui/TextFilter.h"

namespace tarvex {

using form1::latin1;
using layout::twips;

QWidget* SettingControls::place(const char* name, QWidget* parent, QRect rect) {
  const FieldSpec& field = fieldSpec(name);
  QWidget* widget = nullptr;
  if (field.kind == FieldKind::Text) {
    auto* edit = layout::lineEdit(parent, name, rect);
    if (field.readOnly) {
      edit->setReadOnly(true);
    } else {
      TextFilter::install(edit, field.maxLength, field.digitsOnly);
    }
    widget = edit;
  } else {
    QAbstractButton* box = field.kind == FieldKind::Switch ? static_cast<QAbstractButton*>(new QCheckBox(parent))
                                                           : static_cast<QAbstractButton*>(new QRadioButton(parent));
    // Each option group is a keyboard group of its own: Tab lands on its
    // selected option, arrows move within it (a frame nested in another
    // would otherwise join the outer frame's group).
    if (field.kind == FieldKind::Choice) {
      QButtonGroup*& group = choiceGroups_[static_cast<int>(field.group)];
      if (!group) {
        group = new QButtonGroup(window_);
        // Only the selected option takes Tab; the arrows reach the others.
        QObject::connect(group, &QButtonGroup::buttonToggled, window_, [](QAbstractButton* button, bool checked) {
          button->setFocusPolicy(checked ? Qt::StrongFocus : Qt::ClickFocus);
        });
      }
      group->addButton(box);
      box->setFocusPolicy(Qt::ClickFocus);
    }
    box->setObjectName(QString::fromLatin1(name));
    box->setGeometry(rect);
    QObject::connect(box, &QAbstractButton::clicked, window_, [this, name](bool checked) { onClicked(name, checked); });
    widget = box;
  }
  // The caption stands in a separate label; screen readers get it from here.
  widget->setAccessibleName(latin1(field.caption));
  controls_.insert(QString::fromLatin1(name), widget);
  return widget;
}

QWidget* SettingControls::placeWithLabel(const char* name, QWidget* parent, int left, int top, int labelWidth) {
  QWidget* box = place(name, parent, twips(left, top, 255, 255));
  const QString caption = latin1(fieldSpec(name).caption);
  layout::label(parent, caption, twips(left + 300, top + 15, labelWidth, labelWidth ? 450 : 0), QColor(), false,
                labelWidth > 0);
  return box;
}

bool SettingControls::complete() const { return controls_.size() == qsizetype(fieldTable().size()); }

bool SettingControls::isChecked(const char* name) const {
  const auto* box = qobject_cast<const QAbstractButton*>(controls_.value(QString::fromLatin1(name)));
  return box && box->isChecked();
}

void SettingControls::onClicked(const char* name, bool checked) {
  const FieldSpec& field = fieldSpec(name);
  if (const FieldSpec* governed = governedText(name)) {
    auto* edit = static_cast<QLineEdit*>(controls_.value(latin1(governed->name)));
    edit->setEnabled(checked);
    if (!checked && governed->emptiedWhenOff) edit->clear();
  }
  sounds_.button(field.sound);
}

ServerSettings SettingControls::read() const {
  ServerSettings settings;
  const auto control = [this](const FieldSpec& field) { return controls_.value(latin1(field.name)); };
  // Switches first, so that their enabling rules cannot empty a text read afterwards.
  for (const auto& field : fieldTable()) {
    if (field.kind == FieldKind::Text) continue;
    const bool on = static_cast<const QAbstractButton*>(control(field))->isChecked();
    if (field.kind == FieldKind::Switch) {
      settings.setSwitch(field.name, on);
    } else if (on) {
      settings.select(field.name);
    }
  }
  for (const auto& field : fieldTable()) {
    if (field.kind == FieldKind::Text)
      settings.setText(field.name, toBytes(static_cast<const QLineEdit*>(control(field))->text()));
  }
  return settings;
}

void SettingControls::show(const ServerSettings& settings, const QHash<QString, QWidget*>& skip) {
  for (const auto& field : fieldTable()) {
    const QString name = latin1(field.name);
    QWidget* widget = controls_.value(name);
    if (!widget || skip.contains(name)) continue;
    if (field.kind == FieldKind::Text) {
      auto* edit = static_cast<QLineEdit*>(widget);
      TextFilter::putText(edit, fromBytes(settings.text(field.name)));
      edit->setEnabled(settings.isEnabled(field.name));
    } else {
      static_cast<QAbstractButton*>(widget)->setChecked(settings.isOn(field.name));
    }
  }
}

}  // namespace tarvex
