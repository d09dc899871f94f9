/* A stand-in for a human player: a client connection to an id Tech 3
 * server on loopback, as the game's client makes it (getchallenge, then a
 * Huffman-coded "connect" with its userinfo), that then stays silent until
 * the server drops it after sv_timeout. Built by the engine test against the
 * engine's own Huffman coder (code/qcommon/huffman.c of the test engine's
 * source), never shipped.
 *   stand-in-client PORT NAME
 * Prints "connected" once the server accepted it; exits 1 otherwise. */
#include <arpa/inet.h>
#include <netinet/in.h>
#include <poll.h>
#include <stdio.h>
#include <stdlib.h>
#include <string.h>
#include <sys/socket.h>
#include <unistd.h>

#include "q_shared.h"
#include "qcommon.h"

/* What the engine's coder needs of the rest of the engine. */
void QDECL Com_Error(int level, const char *fmt, ...) {
  (void)level;
  fprintf(stderr, "stand-in-client: %s\n", fmt);
  exit(1);
}

static int sock;
static struct sockaddr_in server;

static void sendPacket(const unsigned char *bytes, int size) {
  sendto(sock, bytes, (size_t)size, 0, (struct sockaddr *)&server, sizeof server);
}

/* The next connectionless answer's text (after the four 0xff), empty after two seconds. */
static int answer(char *text, int most) {
  struct pollfd ready = {sock, POLLIN, 0};
  if (poll(&ready, 1, 2000) <= 0) return 0;
  const ssize_t got = recv(sock, text, (size_t)most - 1, 0);
  if (got < 4) return 0;
  memmove(text, text + 4, (size_t)got - 4);
  text[got - 4] = 0;
  return 1;
}

int main(int argc, char **argv) {
  if (argc != 3) return 2;
  sock = socket(AF_INET, SOCK_DGRAM, 0);
  server.sin_family = AF_INET;
  server.sin_port = htons((unsigned short)atoi(argv[1]));
  server.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
  char text[2048], game[256] = "Quake3Arena";
  int challenge = 0, protocol = 0;
  for (int attempt = 0; attempt < 3 && !protocol; ++attempt) {
    char ask[512];
    const int size = snprintf(ask, sizeof ask, "\xff\xff\xff\xffgetchallenge 12345 %s", game);
    sendPacket((unsigned char *)ask, size);
    if (!answer(text, sizeof text)) continue;
    /* A server of another game says its name: ask again with it. */
    const char *mismatch = strstr(text, "This is a ");
    if (mismatch && sscanf(mismatch, "This is a %255s server", game) == 1) continue;
    int echoed = 0;
    if (sscanf(text, "challengeResponse %d %d %d", &challenge, &echoed, &protocol) < 1) continue;
    if (!protocol) protocol = 71;
  }
  if (!protocol) {
    fprintf(stderr, "stand-in-client: no challenge from the server\n");
    return 1;
  }
  unsigned char bytes[MAX_MSGLEN];
  msg_t message;
  memset(&message, 0, sizeof message);
  message.data = bytes;
  message.maxsize = sizeof bytes;
  message.cursize = snprintf((char *)bytes, sizeof bytes,
                             "\xff\xff\xff\xff" "connect \"\\challenge\\%d\\qport\\%d\\protocol\\%d\\name\\%s\\rate\\25000\\cl_guid\\%s\"",
                             /* OpenArena's game takes a client with a key's checksum of 32 hex digits. */
                             challenge, 4321, protocol, argv[2], "0123456789ABCDEF0123456789ABCDEF");
  Huff_Compress(&message, 12); /* after the four 0xff and "connect " */
  sendPacket(bytes, message.cursize);
  if (!answer(text, sizeof text) || strncmp(text, "connectResponse", 15) != 0) {
    fprintf(stderr, "stand-in-client: the server did not take the connection: %s\n", text);
    return 1;
  }
  printf("connected\n");
  return 0;
}
