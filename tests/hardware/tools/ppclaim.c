/* Another program holding a parallel port, for the rig: opens the ppdev
 * node, claims the port and keeps it until SIGTERM or SIGINT.
 * usage: ppclaim /dev/parportN */
#include <fcntl.h>
#include <linux/ppdev.h>
#include <signal.h>
#include <stdio.h>
#include <sys/ioctl.h>
#include <unistd.h>

static volatile sig_atomic_t ending;

static void end(int signo)
{
    (void)signo;
    ending = 1;
}

int main(int argc, char **argv)
{
    if (argc != 2) {
        fprintf(stderr, "usage: %s /dev/parportN\n", argv[0]);
        return 2;
    }
    int fd = open(argv[1], O_RDWR);
    if (fd < 0 || ioctl(fd, PPCLAIM) < 0) {
        perror(argv[1]);
        return 1;
    }
    struct sigaction action = {.sa_handler = end};
    sigaction(SIGTERM, &action, NULL);
    sigaction(SIGINT, &action, NULL);
    printf("claimed %s\n", argv[1]);
    fflush(stdout);
    while (!ending)
        pause();
    ioctl(fd, PPRELEASE);
    close(fd);
    return 0;
}
