#include "RecordingServices.h"

#include <filesystem>

namespace tarvex::test {

namespace {
// The next scripted answer; none left: cancelled.
std::optional<std::string> next(std::deque<std::optional<std::string>>& answers) {
  if (answers.empty()) return std::nullopt;
  auto answer = answers.front();
  answers.pop_front();
  return answer;
}
}  // namespace

void RecordingServices::message(const std::string& text, Icon icon) {
  log.push_back("message:" + text);
  icons.push_back(icon);
}

std::optional<std::string> RecordingServices::prompt(const std::string& text, const std::string& title,
                                                     const std::string& preset) {
  log.push_back("prompt:" + text + "|" + title + "|" + preset);
  return next(promptAnswers);
}

std::optional<std::string> RecordingServices::openFile(const std::string& title, const std::string& presetName,
                                                       const std::string& filter) {
  log.push_back("dialog:" + title + "|" + presetName + "|" + filter);
  return next(fileAnswers);
}

void RecordingServices::playWave(const std::string& path) {
  // Only files that exist are heard; a missing sound is silence.
  if (std::filesystem::exists(path)) log.push_back("sound:" + std::filesystem::path(path).filename().string());
}

std::string RecordingServices::startProcess(const ProcessRequest& request) {
  std::string line = "start:" + request.executable;
  for (const auto& argument : request.arguments) line += " " + argument;
  log.push_back(line);
  started.push_back(request);
  return startError;
}

std::string RecordingServices::portProblem(const std::string&, int) { return portTaken; }

std::optional<ProcessFailure> RecordingServices::startedProcessFailure(int) {
  return started.empty() ? std::nullopt : processFailure;
}

std::optional<std::vector<bool>> RecordingServices::chooseMaps(const std::vector<MapChoice>& maps,
                                                              const PictureJob& pictures) {
  log.push_back("choose-maps:" + std::to_string(maps.size()));
  offeredMaps = maps;
  // The pictures are made here and now, as the dialog's thread would make them.
  pictures([this](std::size_t index, const std::string& bytes) {
    offeredMaps.at(index).picture = bytes;
    return true;
  });
  if (mapChoice && mapChoice->empty()) return std::vector<bool>(maps.size(), true);
  return mapChoice;
}

void RecordingServices::openLink(const std::string& target) { log.push_back("link:" + target); }

std::string RecordingServices::readRegistry(const std::string&, const std::string&) { return registryValue; }

std::vector<std::string> RecordingServices::messages() const {
  std::vector<std::string> out;
  for (const auto& entry : log)
    if (entry.rfind("message:", 0) == 0) out.push_back(entry.substr(8));
  return out;
}

std::vector<std::string> RecordingServices::sounds() const {
  std::vector<std::string> out;
  for (const auto& entry : log)
    if (entry.rfind("sound:", 0) == 0) out.push_back(entry.substr(6));
  return out;
}

}  // namespace tarvex::test
