#pragma once
// The desktop's implementation of the services: Qt dialogs, the platform's
// process start, registry and sound, and the desktop's link handler.

#include <QPointer>
#include <QWidget>

#include "platform/Processes.h"
#include "platform/Sound.h"
#include "services/Services.h"

namespace tarvex {

class QtServices : public WindowServices {
 public:
  // Dialogs are modal to the active window.
  void message(const std::string& text, Icon icon) override;
  std::optional<std::string> prompt(const std::string& text, const std::string& title,
                                    const std::string& preset) override;
  std::optional<std::string> openFile(const std::string& title, const std::string& presetName,
                                      const std::string& filter) override;
  void playWave(const std::string& path) override;
  Problem startProcess(const ProcessRequest& request) override;
  std::optional<ProcessFailure> startedProcessFailure(int waitMilliseconds) override;
  long startedProcessId() override { return game_.id(); }
  void endStartedProcess() override { game_.end(); }
  std::optional<std::string> serverIdentity(const std::string& address, int port) override;
  Problem portProblem(const std::string& address, int port) override;
  void openLink(const std::string& target) override;
  std::string readRegistry(const std::string& key, const std::string& value) override;
  std::optional<std::vector<bool>> chooseMaps(const std::vector<MapChoice>& maps, const PictureJob& pictures) override;

 private:
  platform::DetachedGame game_;  // the game launched, which outlives the window
};

}  // namespace tarvex
