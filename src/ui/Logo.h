#pragma once
// The animated logo: the GIF is cut into one picture per frame, each shown in
// its own element of the image array Image1 for its own delay, looping.

#include <QLabel>
#include <QList>
#include <QTimer>
#include <optional>
#include <string>

#include "logo/GifCutter.h"
#include "services/Services.h"

namespace tarvex {

class Logo : public QObject {
  Q_OBJECT
 public:
  // element0 is Image1's first element, placed by the window; the logo belongs to the same parent.
  Logo(QLabel* element0, WindowServices& services);

  // Cuts the file into frames and shows the first; messages (stop icon) on
  // failure. The other frames are decoded right after, once the window is up
  // (or at the first tick, or by finishLoading).
  bool load(const std::string& file);
  // Decodes the frames still waiting; a broken one stops the animation with a message.
  void finishLoading();
  // Starts the animation after a successful load: frame 0 for its own delay.
  void start();

  QTimer& timer() { return timer_; }
  const QList<QLabel*>& elements() const { return elements_; }
  int frameIndex() const { return frameIndex_; }
  int lastFrameIndex() const { return lastFrameIndex_; }
  void tick();

 private:
  // An interval of 0 stops the timer: the animation rests on that frame.
  void setInterval(const QLabel* element);
  // Decodes the cutter's next frame into a new or the first element; false for a broken frame.
  bool decodeFrame(const GifFrame& frame, bool first);

  WindowServices& services_;
  QList<QLabel*> elements_;
  QTimer timer_;
  int frameIndex_ = 0;
  int lastFrameIndex_ = 0;
  std::string file_;                 // the bytes the cutter reads, while frames wait
  std::optional<GifCutter> cutter_;  // set while frames wait to be decoded
};

}  // namespace tarvex
