#pragma once
// "Find New Maps": the maps found in the game's folder, one row each with a
// check box (all checked), name, caption, class, picture and archive; "Add"
// takes the checked ones. The dialog shows at once; the pictures are made on
// a thread of their own and appear as they come, with the progress below.

#include <QDialog>
#include <atomic>
#include <deque>
#include <mutex>
#include <optional>
#include <string>
#include <thread>
#include <utility>
#include <vector>

#include "services/Services.h"

class QLabel;
class QPushButton;
class QTableWidget;

namespace tarvex {

class FindMapsDialog : public QDialog {
  Q_OBJECT
 public:
  FindMapsDialog(const std::vector<MapChoice>& maps, QWidget* parent = nullptr);
  ~FindMapsDialog() override;
  std::vector<bool> chosen() const;  // per map, in the order given

  // Starts the job that makes the pictures; it is stopped when the dialog is
  // cancelled, and has ended when the dialog is gone.
  void makePictures(const PictureJob& job);
  void done(int result) override;

 private:
  void showPicture(int row, const std::string& bytes);
  void pictureJobEnded();
  // From the job's thread: a picture made (nullopt: the job has ended), shown in turn.
  void handOver(std::optional<std::pair<int, std::string>> made);
  // Shows the pictures handed over, for a few milliseconds at a time, so
  // that the window's events come in between however fast they are made.
  void showHandedOver();
  void countChosen();
  void stopPictures();

  QTableWidget* table_;
  QLabel* progress_;
  QPushButton* add_;
  int pictures_ = 0;  // made so far
  bool pictureJobDone_ = true;
  bool addWhenDone_ = false;     // Add was pressed while pictures were still being made
  bool cancelWhenDone_ = false;  // Cancel was pressed while a picture was being made
  std::atomic<bool> stop_{false};
  std::thread worker_;
  std::mutex handedMutex_;
  std::deque<std::optional<std::pair<int, std::string>>> handed_;  // guarded by handedMutex_
  bool showing_ = false;  // a call of showHandedOver is on its way; guarded by handedMutex_
};

}  // namespace tarvex
