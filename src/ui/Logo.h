#pragma once
// The animated logo: the GIF is cut into one picture per frame, each shown in
// its own element of the image array Image1 for its own delay, looping.

#include <QLabel>
#include <QList>
#include <QTimer>
#include <string>

#include "services/Services.h"

namespace tarvex {

class Logo : public QObject {
  Q_OBJECT
 public:
  // element0 is Image1's first element, placed by the window; the logo belongs to the same parent.
  Logo(QLabel* element0, Services& services);

  // Cuts the file into frames and loads them; messages (stop icon) on failure.
  bool load(const std::string& file);
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

  Services& services_;
  QList<QLabel*> elements_;
  QTimer timer_;
  int frameIndex_ = 0;
  int lastFrameIndex_ = 0;
};

}  // namespace tarvex
