/* What libftdi answers for the calls the fakes stand in for, on the
 * adapter stand-in: set_bitmode and a write before the device is open and
 * after it is closed, and a write once it is unplugged. One line per call:
 * its code and libftdi's text.
 * usage: ftdiprobe VID:PID before-after | VID:PID unplugged FILE
 *   (unplugged: the write after FILE appears, once the caller unplugged it) */
#include <ftdi.h>
#include <stdio.h>
#include <stdlib.h>
#include <string.h>
#include <unistd.h>

static void show(struct ftdi_context *ftdi, const char *call, int code)
{
    printf("%s: %d \"%s\"\n", call, code, code < 0 ? ftdi_get_error_string(ftdi) : "");
    fflush(stdout);
}

int main(int argc, char **argv)
{
    if (argc < 3) {
        fprintf(stderr, "usage: %s VID:PID before-after|unplugged FILE\n", argv[0]);
        return 2;
    }
    int vendor = 0, product = 0;
    sscanf(argv[1], "%x:%x", &vendor, &product);
    struct ftdi_context *ftdi = ftdi_new();
    unsigned char byte = 0;
    if (strcmp(argv[2], "before-after") == 0) {
        show(ftdi, "ftdi_set_bitmode before open", ftdi_set_bitmode(ftdi, 0xff, BITMODE_BITBANG));
        show(ftdi, "ftdi_write_data before open", ftdi_write_data(ftdi, &byte, 1));
        show(ftdi, "ftdi_usb_open", ftdi_usb_open(ftdi, vendor, product));
        show(ftdi, "ftdi_usb_close", ftdi_usb_close(ftdi));
        show(ftdi, "ftdi_set_bitmode after close", ftdi_set_bitmode(ftdi, 0xff, BITMODE_BITBANG));
        show(ftdi, "ftdi_write_data after close", ftdi_write_data(ftdi, &byte, 1));
        show(ftdi, "ftdi_usb_close again", ftdi_usb_close(ftdi));
    } else {
        show(ftdi, "ftdi_usb_open", ftdi_usb_open(ftdi, vendor, product));
        show(ftdi, "ftdi_set_bitmode", ftdi_set_bitmode(ftdi, 0xff, BITMODE_BITBANG));
        show(ftdi, "ftdi_write_data", ftdi_write_data(ftdi, &byte, 1));
        printf("ready\n");
        fflush(stdout);
        for (int tenths = 0; argc > 3 && access(argv[3], F_OK) != 0 && tenths < 300; tenths++)
            usleep(100000);
        show(ftdi, "ftdi_write_data after unplug", ftdi_write_data(ftdi, &byte, 1));
        show(ftdi, "ftdi_set_bitmode after unplug", ftdi_set_bitmode(ftdi, 0xff, BITMODE_BITBANG));
        show(ftdi, "ftdi_usb_close after unplug", ftdi_usb_close(ftdi));
    }
    ftdi_free(ftdi);
    return 0;
}
