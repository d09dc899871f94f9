#pragma once
// Everything the outside world does for Tarvex, behind small interfaces:
// Services for what the launch and the server need (messages, processes,
// ports, the registry), WindowServices for what only a window does (prompts,
// file choosers, sounds, links, the choice of maps). The window program gets
// the desktop's implementation of both, the headless program a console one
// of the first, and tests a recording fake.

#include <cstddef>
#include <functional>
#include <optional>
#include <string>
#include <vector>

#include "platform/Process.h"
#include "util/Problem.h"

namespace tarvex {

// One map found in the game's folder, as the user chooses among them.
struct MapChoice {
  std::string name;
  std::string caption;
  bool ctf = false;
  std::string archive;  // the pk3 (or loose file) holding it
  std::string picture;  // JPEG bytes of its picture; empty when it has none
};

// Makes the found maps' pictures one after another, on a thread of its own:
// hands each to `made` (its index and JPEG bytes, empty when it has none),
// which returns false to stop the job early.
using PictureJob = std::function<void(const std::function<bool(std::size_t, const std::string&)>& made)>;

class Services {
 public:
  enum class Icon { None, Stop };
  virtual ~Services() = default;

  // A message to the user: on a window a modal box with an OK button,
  // captioned "Tarvex"; on a console a line of standard error.
  virtual void message(const std::string& text, Icon icon = Icon::None) = 0;
  // Starts a program without waiting; an error text, empty on success.
  virtual Problem startProcess(const ProcessRequest& request) = 0;
  // Whether the program started last has already ended (with any status: a
  // server that ends at once was not started), waiting up to the given time
  // for it; nullopt while it runs.
  virtual std::optional<ProcessFailure> startedProcessFailure(int waitMilliseconds) = 0;
  // The process of the program started last (-1 when none, or where no real
  // program starts), and asking it to end.
  virtual long startedProcessId() { return -1; }
  virtual void endStartedProcess() {}
  // The identity (tarvex_id) of the game server that answers a status
  // question at this address and port ("" for one without), nullopt when
  // none answers within half a second.
  virtual std::optional<std::string> serverIdentity(const std::string& address, int port) = 0;
  // How a step that takes a while goes, one line (a console's standard
  // error; the window shows a busy pointer instead).
  virtual void progress(const std::string& text) { (void)text; }
  // Why a game server cannot have this UDP port on this address (another
  // program holds it; a server answers there, named); empty when it can.
  virtual Problem portProblem(const std::string& address, int port) = 0;
  // A string (or dword, as decimal) value under HKEY_LOCAL_MACHINE; empty when not found.
  virtual std::string readRegistry(const std::string& key, const std::string& value) = 0;
};

// What only a window does.
class WindowServices : public Services {
 public:
  // Modal one-line prompt; nullopt when cancelled.
  virtual std::optional<std::string> prompt(const std::string& text, const std::string& title,
                                            const std::string& preset) = 0;
  // File-open dialog; the chosen full name (native separators), nullopt when cancelled.
  virtual std::optional<std::string> openFile(const std::string& title, const std::string& presetName,
                                              const std::string& filter) = 0;
  // Plays a WAV file to its end; silent on any problem.
  virtual void playWave(const std::string& path) = 0;
  // Opens a web or mail link in the desktop's default handler; failures are not reported.
  virtual void openLink(const std::string& target) = 0;
  // Modal list of maps with a check box each, all checked, shown at once; the
  // pictures come as the job makes them. The choice per map when the user
  // adds them (once the job is done), nullopt when cancelled (the job stopped).
  // The job has ended when this returns.
  virtual std::optional<std::vector<bool>> chooseMaps(const std::vector<MapChoice>& maps,
                                                      const PictureJob& pictures) = 0;
};

}  // namespace tarvex
