#include "UiFixture.h"

#include <QTabWidget>

namespace fs = std::filesystem;

namespace tarvex::test {

UiFixture::UiFixture(bool installGame) : GameInstall(installGame) {
  for (const auto& entry : fs::directory_iterator(TARVEX_PROGRAM_DIR)) {
    const auto name = entry.path().filename().string();
    if (name != "tarvex" && name != "tarvex-cli" && name != "path.ini")
      fs::copy(entry.path(), app / name, fs::copy_options::recursive);
  }
}

std::unique_ptr<Form1> UiFixture::loadedWindow() {
  auto window = std::make_unique<Form1>(services, app);
  window->setAttribute(Qt::WA_DeleteOnClose, false);
  window->load();
  window->show();
  // As a user meets it: painted, then the later tabs built right after.
  if (!QTest::qWaitFor([&] { return window->isComplete(); })) qFatal("the window did not complete itself");
  services.clear();
  return window;
}

QString text(QWidget* window, const char* name) { return child<QLineEdit>(window, name)->text(); }
bool checked(QWidget* window, const char* name) { return child<QAbstractButton>(window, name)->isChecked(); }
void setText(QWidget* window, const char* name, const QString& text) { child<QLineEdit>(window, name)->setText(text); }

void reveal(QWidget* widget) {
  for (QWidget* w = widget; w && w->parentWidget(); w = w->parentWidget()) {
    if (auto* tabs = qobject_cast<QTabWidget*>(w->parentWidget()->parentWidget())) {
      if (tabs->indexOf(w) >= 0) tabs->setCurrentWidget(w);
    }
  }
}

void click(QWidget* window, const char* name) {
  auto* button = child<QAbstractButton>(window, name);
  reveal(button);
  QTest::mouseClick(button, Qt::LeftButton, {}, button->rect().center());
}

void clickItem(QAbstractItemView* list, const QString& text, bool twice) {
  reveal(list);
  const auto found = list->model()->match(list->model()->index(0, 0), Qt::DisplayRole, text, 1, Qt::MatchExactly);
  if (found.isEmpty()) qFatal("no list entry %s", qPrintable(text));
  list->scrollTo(found.first());
  const QPoint at = list->visualRect(found.first()).center();
  QTest::mouseClick(list->viewport(), Qt::LeftButton, {}, at);
  if (twice) QTest::mouseDClick(list->viewport(), Qt::LeftButton, {}, at);
}

QStringList items(const QAbstractItemView* list) {
  QStringList out;
  for (int i = 0; i < list->model()->rowCount(); ++i) out << list->model()->index(i, 0).data().toString();
  return out;
}

}  // namespace tarvex::test
