#pragma once
// tarvex-cli service (a slot's server as a Windows service), run started as
// that service, and write-log (the writer of a launched game's log on Windows).

#include <filesystem>
#include <functional>
#include <iosfwd>
#include <string>
#include <vector>

#include "services/Services.h"

namespace tarvex {

// The service of a slot: "Tarvex slot N".
std::string serviceName(int slot);

// The service of a slot: install (with the program folder appFolder), remove
// (every slot's with slot 0) and show (every registered one with slot 0).
// Exit status 0 done; 1 refused or failed.
int installService(int slot, const std::filesystem::path& appFolder, const std::filesystem::path& dataFolder,
                   std::ostream& out, Services& services);
int removeServices(int slot, const std::filesystem::path& dataFolder, std::ostream& out, Services& services);
int showServices(int slot, const std::filesystem::path& dataFolder, std::ostream& out, Services& services);

// Lets every registered slot's service write the data folder and the game's
// BaseEF that path.ini names now; the services that may. Windows only.
std::vector<std::string> letServicesWriteGameData(const std::filesystem::path& dataFolder);

// What run says without a console, as a service: its messages go into a
// bounded log of its own, logs/INSTANCE.service.log in the data folder,
// which service status shows the end of.
std::filesystem::path serviceLogFile(const std::filesystem::path& dataFolder, const std::string& instance);

// Runs body(services, err) as the service the service manager started, its
// messages into the service log. Exit status: the body's; 2 when the service
// manager did not start this program.
int runAsService(const std::filesystem::path& dataFolder, const std::string& instance, Services& console,
                 const std::function<int(Services&, std::ostream&)>& body);

// Copies the input into the rotating log FILE (begun afresh) until the input
// ends: the writer of a launched game's log.
int writeLog(const std::filesystem::path& file, std::istream& in);

}  // namespace tarvex
