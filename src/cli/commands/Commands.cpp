// The table of tarvex-cli's commands: one line a command, in the order of the help.
#include "cli/Command.h"

namespace tarvex {

// Each made in its own file, commands/NAMECommand.cpp.
using MakeCommand = std::unique_ptr<Command>(CommonOptions&);
MakeCommand makeRender, makeLaunch, makeRun, makeLog, makeStop, makeRestart, makeList, makeMaps, makeCheck, makeStatus,
    makeRcon, makeConsole, makeVerify, makeFindMaps, makeGameFolder, makeConfig, makeBackup, makeRestore, makeService,
    makeWriteLog;

std::vector<std::unique_ptr<Command>> makeCommands(CommonOptions& common) {
  std::vector<std::unique_ptr<Command>> commands;
  for (MakeCommand* make : {makeRender,     makeLaunch, makeRun,    makeLog,     makeStop,    makeRestart, makeList,
                            makeMaps,       makeCheck,  makeStatus, makeRcon,    makeConsole, makeVerify,  makeFindMaps,
                            makeGameFolder, makeConfig, makeBackup, makeRestore, makeService, makeWriteLog})
    commands.push_back(make(common));
  return commands;
}

}  // namespace tarvex
