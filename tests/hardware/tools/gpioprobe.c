/* What the kernel's GPIO character device answers for the requests the
 * fakes stand in for, through both of its interfaces (the one libgpiod 1
 * uses and the one libgpiod 2 uses): one line per request, with the errno.
 * usage: gpioprobe /dev/gpiochipN HELD_LINE MISSING_LINE */
#define _GNU_SOURCE
#include <errno.h>
#include <fcntl.h>
#include <linux/gpio.h>
#include <stdio.h>
#include <stdlib.h>
#include <string.h>
#include <sys/ioctl.h>
#include <unistd.h>

static void v1(int fd, unsigned line)
{
    struct gpiohandle_request request = {.lines = 1, .flags = GPIOHANDLE_REQUEST_OUTPUT};
    request.lineoffsets[0] = line;
    strcpy(request.consumer_label, "gpioprobe");
    int result = ioctl(fd, GPIO_GET_LINEHANDLE_IOCTL, &request);
    printf("GPIO_GET_LINEHANDLE_IOCTL line %u output: %d %s\n", line, result, result < 0 ? strerrorname_np(errno) : "");
    if (result == 0)
        close(request.fd);
}

static void v2(int fd, unsigned line)
{
    struct gpio_v2_line_request request = {.num_lines = 1};
    request.offsets[0] = line;
    request.config.flags = GPIO_V2_LINE_FLAG_OUTPUT;
    strcpy(request.consumer, "gpioprobe");
    int result = ioctl(fd, GPIO_V2_GET_LINE_IOCTL, &request);
    printf("GPIO_V2_GET_LINE_IOCTL line %u output: %d %s\n", line, result, result < 0 ? strerrorname_np(errno) : "");
    if (result == 0)
        close(request.fd);
}

int main(int argc, char **argv)
{
    if (argc != 4) {
        fprintf(stderr, "usage: %s /dev/gpiochipN HELD_LINE MISSING_LINE\n", argv[0]);
        return 2;
    }
    int fd = open(argv[1], O_RDWR | O_CLOEXEC);
    if (fd < 0) {
        printf("open %s: %s\n", argv[1], strerrorname_np(errno));
        return 1;
    }
    for (int i = 2; i <= 3; i++) {
        unsigned line = (unsigned)strtoul(argv[i], NULL, 0);
        v1(fd, line);
        v2(fd, line);
        struct gpio_v2_line_info info = {.offset = line};
        int result = ioctl(fd, GPIO_V2_GET_LINEINFO_IOCTL, &info);
        printf("GPIO_V2_GET_LINEINFO_IOCTL line %u: %d %s consumer \"%s\" flags 0x%llx\n", line, result,
               result < 0 ? strerrorname_np(errno) : "", result < 0 ? "" : info.consumer,
               (unsigned long long)info.flags);
    }
    close(fd);
    return 0;
}
