#include "ui/Logo.h"

#include <QPixmap>
#include <filesystem>

#include "logo/GifCutter.h"
#include "util/Files.h"

namespace tarvex {

namespace {
constexpr const char* kTag = "tag";
// The numbers the old loader reported: file access error and invalid picture.
constexpr int kFileAccessError = 75;
constexpr int kInvalidPicture = 481;
}  // namespace

Logo::Logo(QLabel* element0, Services& services) : QObject(element0->parent()), services_(services) {
  elements_.append(element0);
  timer_.setParent(this);  // so that the window finds "Timer1" among its children
  timer_.setObjectName(QStringLiteral("Timer1"));
  QObject::connect(&timer_, &QTimer::timeout, this, &Logo::tick);
}

bool Logo::load(const std::string& file) {
  std::error_code ec;
  if (file.empty() || !std::filesystem::is_regular_file(toPath(file), ec)) {
    services_.message(logoNotFoundMessage(file), Services::Icon::Stop);
    return false;
  }
  while (elements_.size() > 1) delete elements_.takeLast();
  const FileBytes read = readFileBytes(toPath(file));
  if (read.status != ReadStatus::Ok) {
    services_.message(logoReadErrorMessage(kFileAccessError), Services::Icon::Stop);
    return false;
  }
  GifCutter cutter(read.bytes);
  if (!cutter.isGif()) {
    services_.message(kNotGifMessage, Services::Icon::Stop);
    return false;
  }
  QLabel* first = elements_.first();
  std::size_t k = 0;
  for (auto next = cutter.next(); next; next = cutter.next(), ++k) {
    const GifFrame& frame = *next;
    // Decoded from memory, one frame at a time: no scratch file, no raw bytes kept.
    const std::string bytes = cutter.frameFile(frame);
    QPixmap picture;
    if (!picture.loadFromData(reinterpret_cast<const uchar*>(bytes.data()), uint(bytes.size()), "GIF")) {
      services_.message(logoReadErrorMessage(kInvalidPicture), Services::Icon::Stop);
      return false;
    }
    QLabel* element = first;
    if (k > 0) {
      element = new QLabel(first->parentWidget());
      element->setObjectName(first->objectName());
      element->setAlignment(Qt::AlignLeft | Qt::AlignTop);
      element->move(first->x() + frame.left, first->y() + frame.top);
      element->hide();
      elements_.append(element);
    }
    element->setProperty(kTag, QString::number(frame.delayMs));
    element->setPixmap(picture);
    element->resize(picture.size());
  }
  lastFrameIndex_ = int(elements_.size()) - 1;
  return true;
}

void Logo::start() {
  frameIndex_ = 0;
  setInterval(elements_.first());
}

void Logo::setInterval(const QLabel* element) {
  const int interval = element->property(kTag).toString().toInt();
  if (interval <= 0) {
    timer_.stop();
    return;
  }
  timer_.start(interval);
}

void Logo::tick() {
  if (frameIndex_ < lastFrameIndex_) {
    elements_[frameIndex_]->hide();
    ++frameIndex_;
    elements_[frameIndex_]->show();
    setInterval(elements_[frameIndex_]);
  } else {
    frameIndex_ = 0;
    for (qsizetype i = 1; i < elements_.size(); ++i) elements_[i]->hide();
    elements_.first()->show();
    setInterval(elements_.first());
  }
}

}  // namespace tarvex
