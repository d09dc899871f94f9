/* A stand-in for the game's stvoyHM.exe on Windows: writes the command line
   it was started with and its working folder into received.txt in that
   folder, then ends well. */
#include <stdio.h>
#include <windows.h>

int main(void) {
  char folder[MAX_PATH];
  GetCurrentDirectoryA(sizeof folder, folder);
  FILE* out = fopen("received.txt", "wb");
  if (!out) return 1;
  fprintf(out, "%s\n%s\n", GetCommandLineA(), folder);
  fclose(out);
  return 0;
}
