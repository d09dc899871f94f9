// list: the servers of the data folder that run, with what they answer.
#include <algorithm>
#include <ctime>
#include <ostream>

#include "cli/Command.h"
#include "platform/Files.h"
#include "platform/Folders.h"
#include "platform/Time.h"
#include "query/ServerQuery.h"
#include "util/GameText.h"
#include "util/Text.h"

namespace tarvex {
namespace {

class List final : public Command {
 public:
  using Command::Command;
  void describe(CLI::App& table) override {
    add(table, "list",
        "list the servers of the data folder that run: instance, process, since when, restarts, port, map and "
        "players")
        ->add_flag("--json", json_, "print the same as JSON");
  }
  int run(Session& session) override;
  std::string servicesFolderHolds(const std::filesystem::path& folder) const override {
    std::error_code ec;
    for (std::filesystem::directory_iterator entry(folder / "run", ec), end; !ec && entry != end; entry.increment(ec))
      if (entry->path().extension() == ".state") return "the records of servers that run";
    return {};
  }

 private:
  // One running instance: a line of the table and an element of the JSON.
  void describeInstance(const std::string& instance, const Running& found, std::string& table,
                        nlohmann::ordered_json& json) const;

  bool json_ = false;
};

int List::run(Session& session) {
  const auto found = instancesOf(session.dataFolder);
  if (!found) {
    session.services.message("tarvex-cli: the servers of " + fromPath(session.dataFolder) + " cannot be listed: " +
                             found.problem() + ".  " + platform::accessHint(session.dataFolder));
    return 1;
  }
  const std::vector<std::string>& instances = *found;
  nlohmann::ordered_json json = nlohmann::ordered_json::array();
  std::string table;
  int status = 0;
  for (const auto& instance : instances) {
    const auto running = runningInstance(session.dataFolder, instance);
    if (!running) {
      session.services.message("tarvex-cli: " + visibleUtf8(instance) + " is not listed: " + running.problem() + ".");
      status = 1;
    } else if (*running) {
      describeInstance(instance, **running, table, json);
    }
  }
  if (json_) {
    session.out << jsonText(json) << '\n';
  } else if (table.empty()) {
    session.out << "No server of " << visibleUtf8(fromPath(session.dataFolder)) << " runs.\n";
    if (!session.system) noteServicesFolder(*this, session);
  } else {
    session.out << "INSTANCE\tPROCESS\tSTARTED BY\tSINCE\tRESTARTS\tPORT\tMAP\tPLAYERS\n" << table;
  }
  return status;
}

void List::describeInstance(const std::string& instance, const Running& found, std::string& table,
                            nlohmann::ordered_json& json) const {
  const InstanceState state = found.state.value_or(InstanceState{"run", found.pid, 0, 0, {}, 0, {}, {}});
  std::optional<ServerStatus> answer;
  if (state.port > 0)
    answer = askStatus(state.address.empty() ? "127.0.0.1" : state.address, state.port, kLocalAsk).value();
  const std::string map = answer ? visibleText(gameTextToUtf8(answer->value("mapname"))) : "-";
  const std::string players = answer ? std::to_string(answer->players.size()) + "/" +
                                           visibleText(gameTextToUtf8(answer->value("sv_maxclients")))
                                     : "-";
  char since[32] = "-";
  if (state.since > 0) {
    const std::tm local = platform::localTime(std::time_t(state.since));
    std::strftime(since, sizeof since, "%Y-%m-%d %H:%M:%S", &local);
  }
  const std::string port = state.port > 0 ? std::to_string(state.port) : "-";
  json.push_back({{"instance", instance},
                  {"pid", found.pid},
                  {"started_by", state.startedBy},
                  {"since", state.since > 0 ? nlohmann::ordered_json(since) : nullptr},
                  {"restarts", state.restarts},
                  {"port", state.port > 0 ? nlohmann::ordered_json(state.port) : nullptr},
                  {"map", answer ? nlohmann::ordered_json(gameTextToUtf8(answer->value("mapname"))) : nullptr},
                  {"players", answer ? nlohmann::ordered_json(answer->players.size()) : nullptr},
                  {"output", state.output}});
  table += visibleUtf8(instance) + "\t" + std::to_string(found.pid) + "\t" + visibleUtf8(state.startedBy) + "\t" +
           since + "\t" + std::to_string(state.restarts) + "\t" + port + "\t" + map + "\t" + players + "\n";
}

}  // namespace

std::unique_ptr<Command> makeList(CommonOptions& common) { return std::make_unique<List>(common); }

}  // namespace tarvex
