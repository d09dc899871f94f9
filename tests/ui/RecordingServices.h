#pragma once
// A stand-in for the outside world: logs every message, sound, prompt,
// dialog, process start and link in order, and answers from a script.

#include <algorithm>
#include <deque>
#include <filesystem>
#include <optional>
#include <string>
#include <vector>

#include "services/Services.h"

namespace tarvex::test {

class RecordingServices : public WindowServices {
 public:
  // "message:TEXT", "sound:button4.wav", "prompt:TEXT|TITLE|PRESET", "dialog:TITLE|PRESET|FILTER",
  // "start:EXECUTABLE ARGUMENTS", "link:TARGET", "choose-maps:COUNT"
  std::vector<std::string> log;
  std::vector<Icon> icons;
  std::vector<ProcessRequest> started;
  std::deque<std::optional<std::string>> promptAnswers, fileAnswers;  // none left or nullopt: cancel
  std::string registryValue;
  std::vector<MapChoice> offeredMaps;            // what the last map choice offered
  std::optional<std::vector<bool>> mapChoice;    // the answer; nullopt: cancel, empty: all
  std::string startError;                        // the start's, for every start
  std::optional<ProcessFailure> processFailure;  // how the started game ends
  std::string portTaken;                         // the port's problem, for every port
  // Who answers on the launch's port: the started game (with the identity on
  // its command line), another server (this identity), or nobody (nullopt).
  bool startedGameAnswers = true;
  std::optional<std::string> otherServer;
  std::vector<std::string> progressLines;
  int endedStarts = 0;  // how often the started game was ended

  void message(const std::string& text, Icon icon) override {
    log.push_back("message:" + text);
    icons.push_back(icon);
  }
  std::optional<std::string> prompt(const std::string& text, const std::string& title,
                                    const std::string& preset) override {
    log.push_back("prompt:" + text + "|" + title + "|" + preset);
    return next(promptAnswers);
  }
  std::optional<std::string> openFile(const std::string& title, const std::string& presetName,
                                      const std::string& filter) override {
    log.push_back("dialog:" + title + "|" + presetName + "|" + filter);
    return next(fileAnswers);
  }
  // Only files that exist are heard; a missing sound is silence.
  void playWave(const std::string& path) override {
    if (std::filesystem::exists(path)) log.push_back("sound:" + std::filesystem::path(path).filename().string());
  }
  Problem startProcess(const ProcessRequest& request) override {
    log.push_back("start:" + request.executable);
    for (const auto& argument : request.arguments) log.back() += " " + argument;
    started.push_back(request);
    return startError;
  }
  std::optional<ProcessFailure> startedProcessFailure(int) override {
    return started.empty() ? std::nullopt : processFailure;
  }
  void endStartedProcess() override { ++endedStarts; }
  Problem portProblem(const std::string&, int) override { return portTaken; }
  std::optional<std::string> serverIdentity(const std::string&, int) override {
    if (otherServer) return otherServer;
    if (!startedGameAnswers || started.empty()) return std::nullopt;
    const auto& words = started.back().arguments;
    const auto identity = std::find(words.begin(), words.end(), "tarvex_id");
    return identity != words.end() && identity + 1 != words.end() ? *(identity + 1) : std::string();
  }
  void progress(const std::string& text) override { progressLines.push_back(text); }
  void openLink(const std::string& target) override { log.push_back("link:" + target); }
  std::string readRegistry(const std::string&, const std::string&) override { return registryValue; }
  // The pictures are made here and now, as the dialog's thread would make them.
  std::optional<std::vector<bool>> chooseMaps(const std::vector<MapChoice>& maps, const PictureJob& pictures) override {
    log.push_back("choose-maps:" + std::to_string(maps.size()));
    offeredMaps = maps;
    pictures(
        [this](std::size_t index, const std::string& bytes) { return offeredMaps.at(index).picture = bytes, true; });
    return mapChoice && mapChoice->empty() ? std::vector<bool>(maps.size(), true) : mapChoice;
  }

  std::vector<std::string> messages() const { return entries("message:"); }
  std::vector<std::string> sounds() const { return entries("sound:"); }
  void clear() {
    log.clear();
    icons.clear();
    started.clear();
  }

 private:
  static std::optional<std::string> next(std::deque<std::optional<std::string>>& answers) {
    if (answers.empty()) return std::nullopt;
    auto answer = answers.front();
    answers.pop_front();
    return answer;
  }
  std::vector<std::string> entries(const std::string& kind) const {
    std::vector<std::string> out;
    for (const auto& entry : log)
      if (entry.starts_with(kind)) out.push_back(entry.substr(kind.size()));
    return out;
  }
};

}  // namespace tarvex::test
