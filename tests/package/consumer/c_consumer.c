/* The installed C interface from a C program compiled with the flags
 * pkg-config gives: a control on a host, its name set and read back, and a
 * connection test refused with no terminal object bound. Exit status 0 when
 * all holds. */
#include <korvex/korvex_c.h>
#include <stdio.h>
#include <string.h>

int main(void) {
  korvex_host* host = NULL;
  korvex_control* pad = NULL;
  char name[8];
  size_t length = 0;
  int16_t result = -1;
  int ok = korvex_host_create(&host) == KORVEX_OK &&
           korvex_create(host, NULL, NULL, NULL, &pad) == KORVEX_OK &&
           korvex_setName(pad, "P1", 2) == KORVEX_OK &&
           korvex_getName(pad, name, sizeof name, &length) == KORVEX_OK && length == 2 &&
           strcmp(name, "P1") == 0 && korvex_PerformConnectionTest(pad, 1, &result) == KORVEX_OK &&
           result == 1;
  korvex_destroy(pad);
  korvex_host_destroy(host);
  printf("%s\n", ok ? "c consumer ok" : "c consumer FAILED");
  return ok ? 0 : 1;
}
