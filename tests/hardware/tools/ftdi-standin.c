/* An FT232R or FT232H as the host sees it, for the rig: a FunctionFS
 * function (on dummy_hcd in the guest) that answers the FTDI vendor requests
 * the way the chip does and keeps a log of what the chip would have done:
 * every control request, every bulk-out transfer and, after each change,
 * the level of the eight pins D0..D7 (1, 0, or z where the chip drives
 * nothing).
 *
 * usage: ftdi-standin FFS_DIR LOGFILE
 *
 * The gadget's ids, bcdDevice and speed are set in configfs by the caller;
 * the descriptors here carry both the full-speed (64-byte) and high-speed
 * (512-byte) bulk endpoints, as the FT232H does and the FT232R's full-speed
 * link ignores.
 *
 * Log lines (times are CLOCK_MONOTONIC ns):
 *   <ns> ready
 *   <ns> event BIND|UNBIND|ENABLE|DISABLE|SETUP|SUSPEND|RESUME
 *   <ns> setup <bRequestType> <bRequest> <wValue> <wIndex> <wLength> <NAME> ok|stall
 *   <ns> bulk-out <count> <byte> <byte> ...
 *   <ns> pins serial|bitbang|off <D0><D1>...<D7>
 */
#include <endian.h>
#include <errno.h>
#include <fcntl.h>
#include <linux/usb/ch9.h>
#include <linux/usb/functionfs.h>
#include <pthread.h>
#include <signal.h>
#include <stdio.h>
#include <stdlib.h>
#include <string.h>
#include <time.h>
#include <unistd.h>

struct endpoints {
    struct usb_interface_descriptor intf;
    struct usb_endpoint_descriptor_no_audio in, out;
} __attribute__((packed));

static struct {
    struct usb_functionfs_descs_head_v2 header;
    __le32 fs_count, hs_count;
    struct endpoints fs, hs;
} __attribute__((packed)) descriptors;

static struct {
    struct usb_functionfs_strings_head header;
} __attribute__((packed)) strings;

/* The chip's state, under `lock`. */
static pthread_mutex_t lock = PTHREAD_MUTEX_INITIALIZER;
static FILE *logfile;
static char ffs_dir[200];
static unsigned char bitmode;     /* SET_BITMODE's mode byte; 0 = serial */
static unsigned char direction;   /* SET_BITMODE's mask: 1 = output */
static unsigned char latch;       /* the last byte clocked out in bit-bang mode */
static int dtr, rts, in_break;         /* modem control and SET_DATA's break */
static unsigned char latency = 16;
static int powered = 1;           /* 0 between an unplug and the next enable */
static char shown[9];             /* the pin levels last logged */

static long long now_ns(void)
{
    struct timespec ts;
    clock_gettime(CLOCK_MONOTONIC, &ts);
    return ts.tv_sec * 1000000000LL + ts.tv_nsec;
}

/* Serial mode drives TXD (D0, idle high, low on break), RTS# (D2) and
 * DTR# (D4), active low; RXD, CTS#, DSR#, DCD# and RI# are inputs. Bit-bang
 * mode drives the outputs of the direction mask from the latch. */
static void pin_levels(char out[9])
{
    for (int pin = 0; pin < 8; pin++)
        out[pin] = 'z';
    out[8] = 0;
    if (!powered)
        return;
    if (bitmode == 0) {
        out[0] = in_break ? '0' : '1';
        out[2] = rts ? '0' : '1';
        out[4] = dtr ? '0' : '1';
    } else {
        for (int pin = 0; pin < 8; pin++)
            if (direction & (1u << pin))
                out[pin] = (latch >> pin) & 1 ? '1' : '0';
    }
}

static void log_pins_if_changed(void)
{
    char now[9];
    pin_levels(now);
    if (strcmp(now, shown) == 0)
        return;
    memcpy(shown, now, sizeof shown);
    fprintf(logfile, "%lld pins %s %s\n", now_ns(), !powered ? "off" : bitmode ? "bitbang" : "serial", now);
    fflush(logfile);
}

/* What READ_PINS answers: the outputs' levels, and inputs pulled high by the
 * chip's internal pull-ups as nothing is connected. */
static unsigned char read_pins(void)
{
    char levels[9];
    pin_levels(levels);
    unsigned char value = 0;
    for (int pin = 0; pin < 8; pin++)
        if (levels[pin] != '0')
            value |= 1u << pin;
    return value;
}

static void *bulk_out(void *unused)
{
    (void)unused;
    char path[256];
    snprintf(path, sizeof path, "%s/ep2", ffs_dir);
    int fd = open(path, O_RDONLY);
    if (fd < 0) {
        perror(path);
        return NULL;
    }
    unsigned char buf[4096];
    for (;;) {
        ssize_t n = read(fd, buf, sizeof buf);
        if (n < 0) {
            /* Not enabled yet, or the host went away: wait for the next bind. */
            usleep(5000);
            continue;
        }
        pthread_mutex_lock(&lock);
        fprintf(logfile, "%lld bulk-out %zd", now_ns(), n);
        for (ssize_t i = 0; i < n; i++)
            fprintf(logfile, " %u", buf[i]);
        fputc('\n', logfile);
        /* In bit-bang mode each byte reaches the pins in turn. */
        for (ssize_t i = 0; i < n && bitmode; i++) {
            latch = buf[i];
            log_pins_if_changed();
        }
        fflush(logfile);
        pthread_mutex_unlock(&lock);
    }
    return NULL;
}

/* The chip sends its two status bytes on bulk-in at every latency tick,
 * data or not; the host may or may not be reading. */
static void *bulk_in(void *unused)
{
    (void)unused;
    char path[256];
    snprintf(path, sizeof path, "%s/ep1", ffs_dir);
    int fd = open(path, O_WRONLY);
    if (fd < 0) {
        perror(path);
        return NULL;
    }
    for (;;) {
        pthread_mutex_lock(&lock);
        unsigned tick = latency ? latency : 1;
        pthread_mutex_unlock(&lock);
        const unsigned char status[2] = {0x01, 0x60};
        if (write(fd, status, sizeof status) < 0)
            usleep(5000);
        else
            usleep(tick * 1000);
    }
    return NULL;
}

static void setup(int ep0, const struct usb_ctrlrequest *c)
{
    const unsigned type = c->bRequestType, req = c->bRequest;
    const unsigned value = le16toh(c->wValue), index = le16toh(c->wIndex), length = le16toh(c->wLength);
    unsigned char reply[64];
    int n = -1; /* -1: stall */
    const char *name = "UNKNOWN";
    pthread_mutex_lock(&lock);
    if ((type & USB_TYPE_MASK) == USB_TYPE_VENDOR && !(type & USB_DIR_IN)) {
        n = 0;
        switch (req) {
        case 0x00:
            /* 0 resets the port, 1 and 2 purge a buffer: no buffer is kept. */
            name = value == 0 ? "RESET" : value == 1 ? "PURGE_RX" : value == 2 ? "PURGE_TX" : "RESET_OTHER";
            break;
        case 0x01:
            name = "SET_MODEM_CTRL";
            if (value & 0x0100) dtr = value & 1;
            if (value & 0x0200) rts = (value >> 1) & 1;
            break;
        case 0x02: name = "SET_FLOW_CTRL"; break;
        case 0x03: name = "SET_BAUDRATE"; break;
        case 0x04:
            name = "SET_DATA";
            in_break = (value >> 14) & 1;
            break;
        case 0x06: name = "SET_EVENT_CHAR"; break;
        case 0x07: name = "SET_ERROR_CHAR"; break;
        case 0x09:
            name = "SET_LATENCY_TIMER";
            latency = value & 0xff;
            break;
        case 0x0b:
            name = "SET_BITMODE";
            direction = value & 0xff;
            bitmode = (value >> 8) & 0xff;
            break;
        case 0x91: name = "WRITE_EEPROM"; break;
        case 0x92: name = "ERASE_EEPROM"; break;
        default: n = -1;
        }
    } else if ((type & USB_TYPE_MASK) == USB_TYPE_VENDOR) {
        switch (req) {
        case 0x05:
            /* Modem status: the low nibble reads 1; line status: the
             * transmitter holding and shift registers empty. */
            name = "GET_MODEM_STATUS";
            reply[0] = 0x01;
            reply[1] = 0x60;
            n = 2;
            break;
        case 0x0a:
            name = "GET_LATENCY_TIMER";
            reply[0] = latency;
            n = 1;
            break;
        case 0x0c:
            name = "READ_PINS";
            reply[0] = read_pins();
            n = 1;
            break;
        case 0x90:
            /* A blank EEPROM reads all ones. */
            name = "READ_EEPROM";
            reply[0] = reply[1] = 0xff;
            n = 2;
            break;
        }
        if (n > (int)length)
            n = (int)length;
    }
    fprintf(logfile, "%lld setup 0x%02x 0x%02x 0x%04x 0x%04x %u %s %s\n", now_ns(), type, req, value, index,
            length, name, n < 0 ? "stall" : "ok");
    log_pins_if_changed();
    fflush(logfile);
    pthread_mutex_unlock(&lock);
    if (n < 0) {
        /* FunctionFS stalls ep0 when user space answers in the wrong direction. */
        if (type & USB_DIR_IN) {
            if (read(ep0, reply, 0) < 0) {}
        } else {
            if (write(ep0, reply, 0) < 0) {}
        }
    } else if (type & USB_DIR_IN) {
        if (write(ep0, reply, (size_t)n) < 0)
            perror("ep0 write");
    } else {
        unsigned char sink[256];
        if (read(ep0, sink, length > sizeof sink ? sizeof sink : length) < 0)
            perror("ep0 read");
    }
}

static void fill(struct endpoints *e, int packet)
{
    e->intf = (struct usb_interface_descriptor){.bLength = USB_DT_INTERFACE_SIZE,
        .bDescriptorType = USB_DT_INTERFACE, .bNumEndpoints = 2, .bInterfaceClass = 0xff,
        .bInterfaceSubClass = 0xff, .bInterfaceProtocol = 0xff, .iInterface = 0};
    e->in = (struct usb_endpoint_descriptor_no_audio){.bLength = USB_DT_ENDPOINT_SIZE,
        .bDescriptorType = USB_DT_ENDPOINT, .bEndpointAddress = 1 | USB_DIR_IN,
        .bmAttributes = USB_ENDPOINT_XFER_BULK, .wMaxPacketSize = htole16(packet)};
    e->out = (struct usb_endpoint_descriptor_no_audio){.bLength = USB_DT_ENDPOINT_SIZE,
        .bDescriptorType = USB_DT_ENDPOINT, .bEndpointAddress = 2 | USB_DIR_OUT,
        .bmAttributes = USB_ENDPOINT_XFER_BULK, .wMaxPacketSize = htole16(packet)};
}

int main(int argc, char **argv)
{
    if (argc != 3) {
        fprintf(stderr, "usage: %s FFS_DIR LOGFILE\n", argv[0]);
        return 2;
    }
    signal(SIGPIPE, SIG_IGN);
    snprintf(ffs_dir, sizeof ffs_dir, "%s", argv[1]);
    logfile = fopen(argv[2], "a");
    if (!logfile) {
        perror(argv[2]);
        return 1;
    }
    strings.header.magic = htole32(FUNCTIONFS_STRINGS_MAGIC);
    strings.header.length = htole32(sizeof strings);
    descriptors.header.magic = htole32(FUNCTIONFS_DESCRIPTORS_MAGIC_V2);
    descriptors.header.length = htole32(sizeof descriptors);
    descriptors.header.flags = htole32(FUNCTIONFS_HAS_FS_DESC | FUNCTIONFS_HAS_HS_DESC | FUNCTIONFS_ALL_CTRL_RECIP);
    descriptors.fs_count = htole32(3);
    descriptors.hs_count = htole32(3);
    fill(&descriptors.fs, 64);
    fill(&descriptors.hs, 512);

    char path[256];
    snprintf(path, sizeof path, "%s/ep0", ffs_dir);
    int ep0 = open(path, O_RDWR);
    if (ep0 < 0) {
        perror(path);
        return 1;
    }
    if (write(ep0, &descriptors, sizeof descriptors) < 0 || write(ep0, &strings, sizeof strings) < 0) {
        perror("ep0 descriptors");
        return 1;
    }
    fprintf(logfile, "%lld ready\n", now_ns());
    log_pins_if_changed();
    pthread_t out, in;
    pthread_create(&out, NULL, bulk_out, NULL);
    pthread_create(&in, NULL, bulk_in, NULL);
    static const char *const events[] = {"BIND", "UNBIND", "ENABLE", "DISABLE", "SETUP", "SUSPEND", "RESUME"};
    for (;;) {
        struct usb_functionfs_event ev[4];
        ssize_t n = read(ep0, ev, sizeof ev);
        if (n < 0) {
            if (errno == EINTR || errno == ESHUTDOWN || errno == EAGAIN) {
                usleep(5000);
                continue;
            }
            /* A setup handed to us was cancelled by a newer event: the kernel
             * says so once and keeps that event queued. A chip has nothing to
             * give up here, so the stand-in reads on; ending would unplug it
             * for the rest of the run. */
            if (errno == EIDRM) {
                pthread_mutex_lock(&lock);
                fprintf(logfile, "%lld setup cancelled\n", now_ns());
                fflush(logfile);
                pthread_mutex_unlock(&lock);
                continue;
            }
            perror("ep0 events");
            return 1;
        }
        for (size_t i = 0; i < (size_t)n / sizeof ev[0]; i++) {
            if (ev[i].type == FUNCTIONFS_SETUP) {
                setup(ep0, &ev[i].u.setup);
                continue;
            }
            pthread_mutex_lock(&lock);
            fprintf(logfile, "%lld event %s\n", now_ns(), ev[i].type < 7 ? events[ev[i].type] : "OTHER");
            if (ev[i].type == FUNCTIONFS_UNBIND) {
                /* Unplugged: the chip has no power, drives nothing, and
                 * starts again in serial mode with its defaults. */
                powered = 0;
                bitmode = direction = latch = 0;
                dtr = rts = in_break = 0;
                latency = 16;
            } else if (ev[i].type == FUNCTIONFS_BIND || ev[i].type == FUNCTIONFS_ENABLE) {
                powered = 1;
            }
            log_pins_if_changed();
            fflush(logfile);
            pthread_mutex_unlock(&lock);
        }
    }
}
