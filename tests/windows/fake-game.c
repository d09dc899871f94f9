/* A stand-in for the game's stvoyHM.exe on Windows: writes the command line
   it was started with and its working folder into received.txt in that
   folder (appending, one pair of lines a start), then stays up as a server
   does, for TARVEX_FAKE_SECONDS (5 when unset), and ends well. With
   TARVEX_FAKE_OUTPUT_MB it first prints that many megabytes of numbered
   lines, as a long-running server's output adds up. */
#include <stdio.h>
#include <stdlib.h>
#include <windows.h>

int main(void) {
  char folder[MAX_PATH];
  GetCurrentDirectoryA(sizeof folder, folder);
  FILE* out = fopen("received.txt", "ab");
  if (!out) return 1;
  fprintf(out, "%s\n%s\n", GetCommandLineA(), folder);
  fclose(out);
  printf("the stand-in game runs\n");
  fflush(stdout);
  const char* megabytes = getenv("TARVEX_FAKE_OUTPUT_MB");
  const long lines = megabytes ? atol(megabytes) * 1024L * 1024L / 64L : 0;
  for (long i = 0; i < lines; ++i) printf("%020ld the stand-in game's output, 64 bytes a line\n", i);
  fflush(stdout);
  const char* seconds = getenv("TARVEX_FAKE_SECONDS");
  Sleep(1000 * (seconds ? atoi(seconds) : 5));
  return 0;
}
