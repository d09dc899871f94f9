#include "ui/Keyboard.h"

#include <QAbstractButton>
#include <QAccessible>
#include <QAccessibleWidget>
#include <QGroupBox>
#include <QKeyEvent>
#include <QLabel>
#include <QPushButton>
#include <algorithm>

#include "ui/Layout.h"

namespace tarvex::keyboard {

namespace {
class EnterFilter : public QObject {
 public:
  using QObject::QObject;
  bool eventFilter(QObject* watched, QEvent* event) override {
    if (event->type() != QEvent::KeyPress) return false;
    const int key = static_cast<QKeyEvent*>(event)->key();
    auto* button = qobject_cast<QPushButton*>(watched);
    if (!button || (key != Qt::Key_Return && key != Qt::Key_Enter) || !button->isEnabled()) return false;
    button->click();
    return true;
  }
};

// A widget's place on its page, and the frame it stands in (itself when none).
struct Place {
  QWidget* widget;
  QRect frame;
  QRect rect;
};

QRect onPage(QWidget* widget, QWidget* page) { return QRect(widget->mapTo(page, QPoint(0, 0)), widget->size()); }

QWidget* outerFrame(QWidget* widget, QWidget* page) {
  QWidget* frame = nullptr;
  for (QWidget* w = widget->parentWidget(); w && w != page; w = w->parentWidget())
    if (qobject_cast<QGroupBox*>(w)) frame = w;
  return frame;
}

// Same row when the tops are this close (pixels).
constexpr int kRowTolerance = 8;

bool before(const QRect& a, const QRect& b) {
  if (std::abs(a.top() - b.top()) > kRowTolerance) return a.top() < b.top();
  return a.left() < b.left();
}

class LinkAccessible : public QAccessibleWidget {
 public:
  explicit LinkAccessible(QWidget* widget) : QAccessibleWidget(widget, QAccessible::Link) {}
  QString text(QAccessible::Text t) const override {
    if (t == QAccessible::Name) {
      const QString name = widget()->accessibleName();
      return name.isEmpty() ? static_cast<QLabel*>(widget())->text() : name;
    }
    return QAccessibleWidget::text(t);
  }
  QStringList actionNames() const override { return QStringList{pressAction()} + QAccessibleWidget::actionNames(); }
  void doAction(const QString& action) override {
    if (action == pressAction()) {
      emit static_cast<layout::LinkLabel*>(widget())->clicked();
      return;
    }
    QAccessibleWidget::doAction(action);
  }
};

QAccessibleInterface* linkFactory(const QString& className, QObject* object) {
  if (className == QLatin1String("tarvex::layout::LinkLabel") && object && object->isWidgetType())
    return new LinkAccessible(static_cast<QWidget*>(object));
  return nullptr;
}
}  // namespace

void enterPressesButtons(QWidget* window) {
  auto* filter = new EnterFilter(window);
  for (QPushButton* button : window->findChildren<QPushButton*>()) button->installEventFilter(filter);
}

QList<QWidget*> readingOrder(QWidget* page) {
  std::vector<Place> places;
  for (QWidget* widget : page->findChildren<QWidget*>()) {
    // Radio buttons take Tab only while checked; Qt decides that, so all of them go in.
    const bool takesTab = (widget->focusPolicy() & Qt::TabFocus) || qobject_cast<QAbstractButton*>(widget);
    // Not what lives in a window of its own (a drop-down's list is in its popup).
    if (!takesTab || widget->window() != page->window() || qobject_cast<QGroupBox*>(widget) || widget->focusProxy())
      continue;
    if (widget->parentWidget() && widget->parentWidget()->focusProxy() == widget) continue;
    const QWidget* frame = outerFrame(widget, page);
    places.push_back(
        {widget, frame ? onPage(const_cast<QWidget*>(frame), page) : onPage(widget, page), onPage(widget, page)});
  }
  // Frames in reading order: next is the leftmost frame that no remaining
  // frame stands entirely above (so a column of frames is read down before
  // the column to its right, and a full-width row waits for all above it).
  std::vector<QRect> frames;
  for (const auto& place : places)
    if (std::find(frames.begin(), frames.end(), place.frame) == frames.end()) frames.push_back(place.frame);
  std::vector<QRect> orderedFrames;
  while (!frames.empty()) {
    auto next = frames.end();
    for (auto it = frames.begin(); it != frames.end(); ++it) {
      const bool blocked =
          std::any_of(frames.begin(), frames.end(), [&](const QRect& other) { return other.bottom() < it->top(); });
      if (blocked) continue;
      if (next == frames.end() || it->left() < next->left() || (it->left() == next->left() && it->top() < next->top()))
        next = it;
    }
    orderedFrames.push_back(*next);
    frames.erase(next);
  }
  QList<QWidget*> order;
  for (const QRect& frame : orderedFrames) {
    std::vector<Place> inFrame;
    for (const auto& place : places)
      if (place.frame == frame) inFrame.push_back(place);
    std::stable_sort(inFrame.begin(), inFrame.end(),
                     [](const Place& a, const Place& b) { return before(a.rect, b.rect); });
    for (const auto& place : inFrame) order.append(place.widget);
  }
  return order;
}

void chainTabOrder(const QList<QWidget*>& widgets) {
  for (qsizetype i = 1; i < widgets.size(); ++i) QWidget::setTabOrder(widgets[i - 1], widgets[i]);
}

namespace {
QGroupBox* frameOf(QLabel* caption) {
  const QString name = caption->objectName();
  if (!name.endsWith(QLatin1String("_caption"))) return nullptr;
  return caption->parentWidget()->findChild<QGroupBox*>(name.chopped(8), Qt::FindDirectChildrenOnly);
}
}  // namespace

void nameFrames(QWidget* page) {
  for (QLabel* caption : page->findChildren<QLabel*>()) {
    QGroupBox* frame = frameOf(caption);
    if (frame && frame->accessibleName().isEmpty()) frame->setAccessibleName(caption->text());
  }
}

void clearCaptions(QWidget* page) {
  for (QLabel* caption : page->findChildren<QLabel*>()) {
    QGroupBox* frame = frameOf(caption);
    if (!frame) continue;
    // Move down past whatever the caption's background would cover.
    for (bool moved = true; moved;) {
      moved = false;
      for (QWidget* sibling : caption->parentWidget()->findChildren<QWidget*>(Qt::FindDirectChildrenOnly)) {
        if (sibling == caption || sibling == frame || !sibling->isVisibleTo(page)) continue;
        if (!caption->geometry().intersects(sibling->geometry())) continue;
        // Another frame only matters where its edge runs: its last row of pixels.
        const int bottom = sibling->geometry().bottom();
        if (caption->geometry().top() > bottom) continue;
        caption->move(caption->x(), bottom + 1);
        moved = true;
      }
    }
  }
}

void installLinkAccessibility() {
  static const bool installed = [] {
    QAccessible::installFactory(linkFactory);
    return true;
  }();
  (void)installed;
}

}  // namespace tarvex::keyboard
