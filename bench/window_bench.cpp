// The window's costs that a user waits for: its start-up next to a bare Qt
// window with as many controls (one start per process, for
// bench/startup-compare.sh), the rotation list at 1,000 to 1,000,000
// entries, and Find New Maps over one pk3 of many maps with their levelshots
// (--find-maps N); and pictures of every tab and of the game folder dialog
// for people to look at after a layout change (--screenshots DIR).
// Offscreen unless QT_QPA_PLATFORM (or -platform) says otherwise.
#include <zip.h>

#include <QApplication>
#include <QBuffer>
#include <QComboBox>
#include <QDir>
#include <QImage>
#include <QLabel>
#include <QLineEdit>
#include <QListView>
#include <QPushButton>
#include <QTabWidget>
#include <QTemporaryDir>
#include <QTimer>
#include <chrono>
#include <cstdio>
#include <filesystem>
#include <fstream>
#include <functional>
#include <iterator>

#include "saves/SaveFile.h"
#include "services/Services.h"
#include "ui/FindMapsDialog.h"
#include "ui/Form1.h"
#include "ui/Form2.h"
#include "ui/QtServices.h"
#include "ui/TarvexApp.h"

using namespace tarvex;

namespace {
class SilentServices : public WindowServices {
 public:
  void message(const std::string&, Icon) override {}
  std::optional<std::string> prompt(const std::string&, const std::string&, const std::string&) override {
    return std::nullopt;
  }
  std::optional<std::string> openFile(const std::string&, const std::string&, const std::string&) override {
    return std::nullopt;
  }
  void playWave(const std::string&) override {}
  Problem startProcess(const ProcessRequest&) override { return {}; }
  std::optional<ProcessFailure> startedProcessFailure(int) override { return std::nullopt; }
  Problem portProblem(const std::string&, int) override { return {}; }
  std::optional<std::string> serverIdentity(const std::string&, int) override { return std::nullopt; }
  void openLink(const std::string&) override {}
  std::string readRegistry(const std::string&, const std::string&) override { return {}; }
  std::optional<std::vector<bool>> chooseMaps(const std::vector<MapChoice>&, const PictureJob&) override {
    return std::nullopt;
  }
};

std::filesystem::path programFolder() { return TARVEX_PROGRAM_DIR; }

// Start-up ends when the shown window has been painted: the events that
// expose and paint it, not the work a window leaves for its timers.
void untilPainted() { QApplication::processEvents(QEventLoop::X11ExcludeTimers); }
}  // namespace

namespace {
// The number of widgets of the real window, so the comparison stays fair as it grows.
qsizetype controlCount() {
  SilentServices services;
  Form1 reference(services, programFolder());
  reference.completeWindow();  // every tab, as the window holds them right after its first paint
  return reference.findChildren<QWidget*>().size();
}

void showBareWindow(qsizetype count) {
  QWidget window;
  window.setFixedSize(630, 528);
  auto* tabs = new QTabWidget(&window);
  tabs->setGeometry(7, 66, 617, 416);
  QWidget* pages[7];
  for (int i = 0; i < 7; ++i) tabs->addTab(pages[i] = new QWidget, QStringLiteral("Tab %1").arg(i));
  for (qsizetype i = 0; i < count - 9; ++i) {
    QWidget* page = pages[i % 7];
    QWidget* control = i % 3 == 0   ? static_cast<QWidget*>(new QLineEdit(page))
                       : i % 3 == 1 ? static_cast<QWidget*>(new QLabel(QStringLiteral("Label"), page))
                                    : static_cast<QWidget*>(new QPushButton(QStringLiteral("B"), page));
    control->setGeometry(int(i % 20) * 30, int(i / 20) * 20 % 380, 28, 18);
  }
  window.show();
  untilPainted();
}
}  // namespace

namespace {
// The rotation list with many entries: each operation a user waits for, in
// milliseconds, after a Load of a slot of that many entries.
void rotationTimes(int entries) {
  SilentServices services;
  QTemporaryDir dir;
  const std::filesystem::path app = dir.path().toStdString();
  std::filesystem::copy(programFolder(), app, std::filesystem::copy_options::recursive);
  Form1 window(services, app);
  window.setAttribute(Qt::WA_DeleteOnClose, false);
  window.load();
  window.show();
  untilPainted();
  Configuration config = window.configuration();
  for (int i = 0; i < entries; ++i) config.rotation.maps.push_back(config.catalogue.rows[std::size_t(i) % 12].name);
  std::ofstream(app / "save" / "save1.sav", std::ios::binary) << writeSave("Save File #1", "big", config);
  auto* tabs = window.findChild<QTabWidget*>(QStringLiteral("TAB_General"));
  auto* rotation = window.findChild<QListView*>(QStringLiteral("SelectedMaps"));
  const auto time = [](const char* what, const std::function<void()>& action) {
    const auto start = std::chrono::steady_clock::now();
    action();
    untilPainted();
    const auto ms = std::chrono::duration<double, std::milli>(std::chrono::steady_clock::now() - start).count();
    std::printf("  %-28s %9.1f ms\n", what, ms);
  };
  const auto click = [&window](const char* name) {
    window.findChild<QPushButton*>(QString::fromLatin1(name))->click();
  };
  std::printf("%d entries\n", entries);
  time("Load", [&] { click("Load"); });
  time("switch to Maps", [&] { tabs->setCurrentIndex(2); });
  time("Randomize!", [&] { click("Random"); });
  time("remove an entry", [&] {
    rotation->setCurrentIndex(rotation->model()->index(rotation->model()->rowCount() / 2, 0));
    click("b_del_map");
  });
  time("ALL Maps", [&] { click("AllMaps"); });
}
}  // namespace

namespace {
// Find New Maps over one pk3 of `maps` maps, each with a 640 x 480 JPEG
// levelshot: how long after the click the dialog is painted, how long the
// pictures take, and the longest the window's event loop stood still meanwhile.
int findMapsTimes(int maps) {
  struct Services : QtServices {
    void message(const std::string& text, Icon) override { std::printf("message: %s\n", text.c_str()); }
  } services;
  QTemporaryDir dir;
  const std::filesystem::path app = std::filesystem::path(dir.path().toStdString()) / "app";
  const std::filesystem::path game = std::filesystem::path(dir.path().toStdString()) / "game";
  std::filesystem::copy(programFolder(), app, std::filesystem::copy_options::recursive);
  std::filesystem::create_directories(game / "BaseEF");
  std::ofstream(app / "path.ini", std::ios::binary) << game.string() << "/\r\n";
  QImage image(640, 480, QImage::Format_RGB32);
  for (int y = 0; y < image.height(); ++y)
    for (int x = 0; x < image.width(); ++x) image.setPixel(x, y, qRgb(x % 256, y % 256, (x * y) % 256));
  QByteArray jpeg;
  QBuffer buffer(&jpeg);
  image.save(&buffer, "JPEG", 85);
  int error = 0;
  zip* archive = zip_open((game / "BaseEF" / "pack.pk3").string().c_str(), ZIP_CREATE | ZIP_TRUNCATE, &error);
  for (int i = 0; i < maps; ++i) {
    const std::string name = "pack" + std::to_string(i);
    zip_file_add(archive, ("maps/" + name + ".bsp").c_str(), zip_source_buffer(archive, "x", 1, 0), ZIP_FL_ENC_RAW);
    const zip_int64_t at =
        zip_file_add(archive, ("levelshots/" + name + ".jpg").c_str(),
                     zip_source_buffer(archive, jpeg.constData(), zip_uint64_t(jpeg.size()), 0), ZIP_FL_ENC_RAW);
    zip_set_file_compression(archive, zip_uint64_t(at), ZIP_CM_STORE, 0);
  }
  zip_close(archive);

  Form1 window(services, app);
  window.setAttribute(Qt::WA_DeleteOnClose, false);
  window.load();
  window.show();
  untilPainted();
  window.completeWindow();
  using Clock = std::chrono::steady_clock;
  const auto ms = [](Clock::duration d) { return std::chrono::duration<double, std::milli>(d).count(); };
  Clock::time_point clicked, painted{}, made{}, lastTick{};
  double longestPause = 0;
  struct PaintWatch : QObject {
    Clock::time_point* painted;
    bool eventFilter(QObject* object, QEvent* event) override {
      if (event->type() == QEvent::Paint && *painted == Clock::time_point{} && object->isWidgetType() &&
          qobject_cast<FindMapsDialog*>(static_cast<QWidget*>(object)->window()))
        *painted = Clock::now();
      return false;
    }
  } watch;
  watch.painted = &painted;
  qApp->installEventFilter(&watch);
  QTimer ticks;
  QObject::connect(&ticks, &QTimer::timeout, [&] {
    const auto now = Clock::now();
    auto* dialog = qobject_cast<FindMapsDialog*>(QApplication::activeModalWidget());
    if (!dialog) return;
    if (painted != Clock::time_point{} && made == Clock::time_point{} && lastTick != Clock::time_point{})
      longestPause = std::max(longestPause, ms(now - lastTick));
    lastTick = now;
    if (dialog->findChild<QLabel*>(QStringLiteral("PictureProgress"))
            ->text()
            .endsWith(QStringLiteral("pictures made."))) {
      made = now;
      dialog->reject();
    }
  });
  ticks.start(10);
  clicked = Clock::now();
  window.findChild<QPushButton*>(QStringLiteral("find_maps"))->click();
  std::printf(
      "Find New Maps, %d maps with levelshots: the dialog painted %.0f ms after the click, every picture "
      "made after %.0f ms; the window's longest pause meanwhile %.0f ms\n",
      maps, ms(painted - clicked), ms(made - clicked), longestPause);
  return 0;
}
}  // namespace

namespace {
// The window as a user first meets it, on a game folder of its own.
int screenshots(const QString& folder) {
  SilentServices services;
  QTemporaryDir dir;
  const std::filesystem::path app = std::filesystem::path(dir.path().toStdString()) / "Tarvex";
  const std::filesystem::path game = std::filesystem::path(dir.path().toStdString()) / "Game";
  std::filesystem::create_directories(game / "BaseEF");
  std::filesystem::create_directories(app);
  for (const auto& entry : std::filesystem::directory_iterator(programFolder())) {
    const auto name = entry.path().filename().string();
    if (name != "tarvex" && name != "tarvex-cli" && name != "path.ini")
      std::filesystem::copy(entry.path(), app / name, std::filesystem::copy_options::recursive);
  }
  std::ofstream(game / "BaseEF" / "pak0.pk3") << "pk3";
  std::ofstream(game / "stvoyHM.exe") << "exe";
  std::ofstream(app / "path.ini", std::ios::binary) << game.string() << "/\r\n";
  Form1 window(services, app);
  window.setAttribute(Qt::WA_DeleteOnClose, false);
  window.load();
  window.show();
  while (!window.isComplete()) QApplication::processEvents();
  QDir().mkpath(folder);
  auto* tabs = window.findChild<QTabWidget*>(QStringLiteral("TAB_General"));
  bool saved = true;
  for (int i = 0; i < tabs->count(); ++i) {
    tabs->setCurrentIndex(i);
    const QString name = tabs->tabText(i).remove(QLatin1Char('/'));
    saved = window.grab().save(folder + QStringLiteral("/Form1-%1-%2.png").arg(i).arg(name)) && saved;
  }
  Form2 dialog;
  dialog.setPath(QString::fromStdString(game.string() + "/"));
  dialog.show();
  saved = dialog.grab().save(folder + QStringLiteral("/Form2.png")) && saved;
  // Find New Maps with the pictures of the bundled maps, and one map without.
  std::vector<MapChoice> found;
  for (const std::string name : {"hm_borg1", "ctf_voy1", "hm_dn1"}) {
    std::ifstream in(app / "Map_Images" / (name + ".jpg"), std::ios::binary);
    found.push_back({name + "_new", "New " + name, name.starts_with("ctf"), "pack.pk3",
                     std::string(std::istreambuf_iterator<char>(in), {})});
  }
  found.push_back({"plain", "A map without a levelshot", false, "pack.pk3", ""});
  FindMapsDialog findMaps(found);
  findMaps.show();
  saved = findMaps.grab().save(folder + QStringLiteral("/FindMapsDialog.png")) && saved;
  std::printf("%s\n", saved ? qPrintable(folder) : "the pictures could not be saved");
  return saved ? 0 : 1;
}
}  // namespace

int main(int argc, char** argv) {
  qputenv("QT_QPA_PLATFORM", qgetenv("QT_QPA_PLATFORM").isEmpty() ? "offscreen" : qgetenv("QT_QPA_PLATFORM"));
  QApplication app(argc, argv);
  // Set up as the program does; the bare window stays a plain Qt window.
  if (!(argc == 3 && std::string(argv[1]) == "--startup=bare")) setUpApplication(app);
  // One start-up from process start to the window shown, for bench/startup-compare.sh.
  if (argc == 2 && std::string(argv[1]) == "--startup=real") {
    SilentServices services;
    Form1 window(services, programFolder());
    window.load();
    window.show();
    untilPainted();
    return 0;
  }
  if (argc == 3 && std::string(argv[1]) == "--startup=bare") {
    showBareWindow(std::stoi(argv[2]));
    return 0;
  }
  if (argc == 2 && std::string(argv[1]) == "--rotation") {
    for (int entries : {1000, 100000, 1000000}) rotationTimes(entries);
    return 0;
  }
  if (argc == 3 && std::string(argv[1]) == "--find-maps") return findMapsTimes(std::stoi(argv[2]));
  if (argc == 3 && std::string(argv[1]) == "--screenshots") return screenshots(QString::fromLocal8Bit(argv[2]));
  if (argc == 2 && std::string(argv[1]) == "--count") {
    std::printf("%d\n", int(controlCount()));
    return 0;
  }
  std::fprintf(stderr,
               "usage: window_bench --count | --startup=real | --startup=bare COUNT | --rotation | --find-maps N | "
               "--screenshots DIR\n");
  return 2;
}
