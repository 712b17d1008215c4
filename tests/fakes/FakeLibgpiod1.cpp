// libgpiod 1.6's calls, as lib/core.c and lib/helpers.c make them: the
// library keeps one line object per offset inside the chip object, checks
// its own state first (EINVAL for an offset beyond the chip, EBUSY for a
// line it already requested, EPERM for setting lines it did not request)
// and leaves the rest to the kernel's ioctls.
#include "FakeLibgpiod.h"

#include <cstring>
#include <gpiod.h>
#include <memory>
#include <vector>

namespace {

FakeGpioKernel *theKernel = nullptr;

FakeGpioKernel &kernel()
{
    Q_ASSERT(theKernel);
    return *theKernel;
}

int fail(int error)
{
    errno = error;
    return -1;
}

} // namespace

struct gpiod_line
{
    gpiod_chip *chip;
    unsigned offset;
    char name[32];
    char consumer[32];
    bool used;
    bool requested;
};

struct gpiod_chip
{
    int index;
    char label[32];
    unsigned lines;
    std::vector<std::unique_ptr<gpiod_line>> lineObjects;
};

void useFakeLibgpiod(FakeGpioKernel *kernel)
{
    theKernel = kernel;
}

int fakeLibgpiodMajor()
{
    return 1;
}

gpiod_chip *gpiod_chip_open(const char *path)
{
    int index = -1;
    if (const int error = kernel().open(path, index)) {
        errno = error;
        return nullptr;
    }
    ++kernel().liveObjects;
    auto *chip = new gpiod_chip{index, {}, kernel().chips[index].lineCount, {}};
    // The kernel's chips without a label are "unknown" to libgpiod.
    const QByteArray &label = kernel().chips[index].label;
    std::strncpy(chip->label, label.isEmpty() ? "unknown" : label.constData(), sizeof chip->label - 1);
    chip->lineObjects.resize(chip->lines);
    return chip;
}

void gpiod_chip_close(gpiod_chip *chip)
{
    // Lines requested together share one handle, closed with the last of them.
    std::vector<unsigned> requested;
    for (auto &line : chip->lineObjects) {
        if (line && line->requested)
            requested.push_back(line->offset);
    }
    if (!requested.empty())
        kernel().release(chip->index, requested);
    kernel().close(chip->index);
    --kernel().liveObjects;
    delete chip;
}

const char *gpiod_chip_label(gpiod_chip *chip)
{
    return chip->label;
}

unsigned int gpiod_chip_num_lines(gpiod_chip *chip)
{
    return chip->lines;
}

// Re-reads the line's state from the kernel, as gpiod_line_update does.
gpiod_line *gpiod_chip_get_line(gpiod_chip *chip, unsigned int offset)
{
    if (offset >= chip->lines) {
        errno = EINVAL;
        return nullptr;
    }
    auto &line = chip->lineObjects[offset];
    if (!line)
        line.reset(new gpiod_line{chip, offset, {}, {}, false, false});
    QByteArray name;
    QByteArray consumer;
    if (const int error = kernel().lineInfo(chip->index, offset, name, line->used, consumer)) {
        errno = error;
        return nullptr;
    }
    std::strncpy(line->name, name.constData(), sizeof line->name - 1);
    std::strncpy(line->consumer, consumer.constData(), sizeof line->consumer - 1);
    return line.get();
}

int gpiod_chip_get_lines(gpiod_chip *chip, unsigned int *offsets, unsigned int num_offsets,
                         gpiod_line_bulk *bulk)
{
    gpiod_line_bulk_init(bulk);
    for (unsigned i = 0; i < num_offsets; ++i) {
        gpiod_line *line = gpiod_chip_get_line(chip, offsets[i]);
        if (!line)
            return -1;
        gpiod_line_bulk_add(bulk, line);
    }
    return 0;
}

const char *gpiod_line_name(gpiod_line *line)
{
    return line->name[0] ? line->name : nullptr;
}

const char *gpiod_line_consumer(gpiod_line *line)
{
    return line->consumer[0] ? line->consumer : nullptr;
}

bool gpiod_line_is_used(gpiod_line *line)
{
    return line->used;
}

int gpiod_line_request_bulk_output(gpiod_line_bulk *bulk, const char *consumer, const int *default_vals)
{
    std::vector<unsigned> offsets;
    std::vector<int> initial;
    for (unsigned i = 0; i < bulk->num_lines; ++i) {
        if (bulk->lines[i]->chip != bulk->lines[0]->chip)
            return fail(EINVAL);
        if (bulk->lines[i]->requested)
            return fail(EBUSY);
        offsets.push_back(bulk->lines[i]->offset);
        initial.push_back(default_vals ? !!default_vals[i] : 0);
    }
    // The kernel keeps 31 bytes of the consumer's name.
    const QByteArray name = QByteArray(consumer ? consumer : "").left(31);
    if (const int error = kernel().request(bulk->lines[0]->chip->index, offsets, name, initial))
        return fail(error);
    for (unsigned i = 0; i < bulk->num_lines; ++i)
        bulk->lines[i]->requested = true;
    return 0;
}

int gpiod_line_set_value_bulk(gpiod_line_bulk *bulk, const int *values)
{
    int levels[GPIOD_LINE_BULK_MAX_LINES] = {};
    for (unsigned i = 0; i < bulk->num_lines; ++i) {
        if (!bulk->lines[i]->requested)
            return fail(EPERM);
        levels[i] = values ? !!values[i] : 0;
    }
    if (const int error = kernel().set(bulk->lines[0]->chip->index, {levels, bulk->num_lines}))
        return fail(error);
    return 0;
}

void gpiod_line_release_bulk(gpiod_line_bulk *bulk)
{
    std::vector<unsigned> offsets;
    for (unsigned i = 0; i < bulk->num_lines; ++i) {
        if (bulk->lines[i]->requested)
            offsets.push_back(bulk->lines[i]->offset);
        bulk->lines[i]->requested = false;
    }
    if (!offsets.empty())
        kernel().release(bulk->lines[0]->chip->index, offsets);
}
