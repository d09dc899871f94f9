#include "ui/Logo.h"

#include <QPixmap>
#include <algorithm>
#include <filesystem>

#include "logo/GifCutter.h"
#include "platform/Files.h"

namespace tarvex {

namespace {
constexpr const char* kTag = "tag";
// The error numbers the logo's messages carry, as hosts know them from
// earlier versions: the file could not be read, the picture is broken.
constexpr int kFileAccessError = 75;
constexpr int kInvalidPicture = 481;
}  // namespace

Logo::Logo(QLabel* element0, WindowServices& services) : QObject(element0->parent()), services_(services) {
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
  cutter_.reset();
  const FileBytes read = readFileBytes(toPath(file));
  if (read.status != ReadStatus::Ok) {
    services_.message(logoReadErrorMessage(kFileAccessError), Services::Icon::Stop);
    return false;
  }
  file_ = read.bytes;
  cutter_.emplace(file_);
  if (!cutter_->isGif()) {
    cutter_.reset();
    services_.message(kNotGifMessage, Services::Icon::Stop);
    return false;
  }
  lastFrameIndex_ = 0;
  if (const auto first = cutter_->next(); first && !decodeFrame(*first, true)) {
    cutter_.reset();
    return false;
  }
  // The other frames are not needed before the first one's delay is over:
  // they are decoded once the window has been painted.
  const int firstDelay = elements_.first()->property(kTag).toString().toInt();
  QTimer::singleShot(std::clamp(firstDelay / 2, 0, 100), this, &Logo::finishLoading);
  return true;
}

bool Logo::decodeFrame(const GifFrame& frame, bool first) {
  // Decoded from memory, one frame at a time: no scratch file, no raw bytes kept.
  const std::string bytes = cutter_->frameFile(frame);
  QPixmap picture;
  if (!picture.loadFromData(reinterpret_cast<const uchar*>(bytes.data()), uint(bytes.size()), "GIF")) {
    services_.message(logoReadErrorMessage(kInvalidPicture), Services::Icon::Stop);
    return false;
  }
  QLabel* element = elements_.first();
  if (!first) {
    element = new QLabel(element->parentWidget());
    element->setObjectName(elements_.first()->objectName());
    element->setAlignment(Qt::AlignLeft | Qt::AlignTop);
    element->move(elements_.first()->x() + frame.left, elements_.first()->y() + frame.top);
    element->hide();
    elements_.append(element);
  }
  element->setProperty(kTag, QString::number(frame.delayMs));
  element->setPixmap(picture);
  element->resize(picture.size());
  lastFrameIndex_ = int(elements_.size()) - 1;
  return true;
}

void Logo::finishLoading() {
  if (!cutter_) return;
  for (auto next = cutter_->next(); next; next = cutter_->next()) {
    if (!decodeFrame(*next, false)) {
      // A broken frame: the logo rests on its first frame.
      timer_.stop();
      while (elements_.size() > 1) delete elements_.takeLast();
      lastFrameIndex_ = 0;
      frameIndex_ = 0;
      elements_.first()->show();
      break;
    }
  }
  cutter_.reset();
  file_.clear();
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
  finishLoading();
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
