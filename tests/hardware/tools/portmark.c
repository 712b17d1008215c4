/* Marks the emulator's parallel-port trace between sessions: one write of
 * VALUE to BASE+7, a register parport_pc never touches, so every data
 * register write after it belongs to the session that follows.
 * usage: portmark BASE VALUE */
#include <stdio.h>
#include <stdlib.h>
#include <sys/io.h>

int main(int argc, char **argv)
{
    if (argc != 3) {
        fprintf(stderr, "usage: %s BASE VALUE\n", argv[0]);
        return 2;
    }
    unsigned long port = strtoul(argv[1], NULL, 0) + 7;
    if (ioperm(port, 1, 1) < 0) {
        perror("ioperm");
        return 1;
    }
    outb((unsigned char)strtoul(argv[2], NULL, 0), port);
    return 0;
}
