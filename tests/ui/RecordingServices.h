#pragma once
// A stand-in for the outside world: logs every message, sound, prompt,
// dialog, process start and link in order, and answers from a script.

#include <deque>
#include <optional>
#include <string>
#include <vector>

#include "services/Services.h"

namespace tarvex::test {

class RecordingServices : public Services {
 public:
  void message(const std::string& text, Icon icon) override;
  std::optional<std::string> prompt(const std::string& text, const std::string& title,
                                    const std::string& preset) override;
  std::optional<std::string> openFile(const std::string& title, const std::string& presetName,
                                      const std::string& filter) override;
  void playWave(const std::string& path) override;
  std::string startProcess(const ProcessRequest& request) override;
  std::optional<ProcessFailure> startedProcessFailure(int waitMilliseconds) override;
  std::string portProblem(const std::string& address, int port) override;
  void openLink(const std::string& target) override;
  std::string readRegistry(const std::string& key, const std::string& value) override;
  std::optional<std::vector<bool>> chooseMaps(const std::vector<MapChoice>& maps, const PictureJob& pictures) override;

  // "message:TEXT", "sound:button4.wav", "prompt:TEXT", "dialog:TITLE|PRESET|FILTER", "start:...", "link:TARGET"
  std::vector<std::string> log;
  std::vector<Icon> icons;
  std::vector<ProcessRequest> started;
  std::deque<std::optional<std::string>> promptAnswers;  // nullopt: cancel
  std::deque<std::optional<std::string>> fileAnswers;
  std::string registryValue;
  std::vector<MapChoice> offeredMaps;                    // what the last map choice offered
  std::optional<std::vector<bool>> mapChoice;             // the answer; nullopt: cancel, empty: all
  std::string startError;
  std::optional<ProcessFailure> processFailure;  // how the started game ends
  std::string portTaken;  // the port's problem, for every port

  std::vector<std::string> messages() const;
  std::vector<std::string> sounds() const;
  void clear() {
    log.clear();
    icons.clear();
    started.clear();
  }
};

}  // namespace tarvex::test
