// libgpiod 2's calls, as lib/chip.c, lib/line-*.c and lib/request-config.c
// make them: every answer is an object the caller frees, a request holds
// its own descriptor apart from the chip's, and the kernel's ioctls give
// the errors (EINVAL for an offset beyond the chip, EBUSY for a line in
// use).
#include "FakeLibgpiod.h"

#include <gpiod.h>
#include <vector>

namespace {

FakeGpioKernel *theKernel = nullptr;

FakeGpioKernel &kernel()
{
    Q_ASSERT(theKernel);
    return *theKernel;
}

template<typename T>
T *made(T *object)
{
    ++kernel().liveObjects;
    return object;
}

template<typename T>
void freed(T *object)
{
    if (!object)
        return;
    --kernel().liveObjects;
    delete object;
}

} // namespace

struct gpiod_chip
{
    int index;
};

struct gpiod_chip_info
{
    QByteArray label;
    size_t lines;
};

struct gpiod_line_info
{
    QByteArray name;
    bool used;
    QByteArray consumer;
};

struct gpiod_line_settings
{
    gpiod_line_direction direction = GPIOD_LINE_DIRECTION_AS_IS;
    gpiod_line_value output = GPIOD_LINE_VALUE_INACTIVE;
};

struct gpiod_line_config
{
    std::vector<unsigned> offsets;
    std::vector<gpiod_line_settings> settings;
};

struct gpiod_request_config
{
    QByteArray consumer;
};

struct gpiod_line_request
{
    int chip;
    std::vector<unsigned> offsets;
};

void useFakeLibgpiod(FakeGpioKernel *kernel)
{
    theKernel = kernel;
}

int fakeLibgpiodMajor()
{
    return 2;
}

gpiod_chip *gpiod_chip_open(const char *path)
{
    if (!path) {
        errno = EINVAL;
        return nullptr;
    }
    int index = -1;
    if (const int error = kernel().open(path, index)) {
        errno = error;
        return nullptr;
    }
    return made(new gpiod_chip{index});
}

void gpiod_chip_close(gpiod_chip *chip)
{
    if (!chip)
        return;
    kernel().close(chip->index);
    freed(chip);
}

gpiod_chip_info *gpiod_chip_get_info(gpiod_chip *chip)
{
    const FakeGpioChip &device = kernel().chips[chip->index];
    return made(new gpiod_chip_info{device.label.isEmpty() ? "unknown" : device.label, device.lineCount});
}

void gpiod_chip_info_free(gpiod_chip_info *info)
{
    freed(info);
}

const char *gpiod_chip_info_get_label(gpiod_chip_info *info)
{
    return info->label.constData();
}

size_t gpiod_chip_info_get_num_lines(gpiod_chip_info *info)
{
    return info->lines;
}

gpiod_line_info *gpiod_chip_get_line_info(gpiod_chip *chip, unsigned int offset)
{
    gpiod_line_info info;
    if (const int error = kernel().lineInfo(chip->index, offset, info.name, info.used, info.consumer)) {
        errno = error;
        return nullptr;
    }
    return made(new gpiod_line_info(info));
}

void gpiod_line_info_free(gpiod_line_info *info)
{
    freed(info);
}

const char *gpiod_line_info_get_name(gpiod_line_info *info)
{
    return info->name.isEmpty() ? nullptr : info->name.constData();
}

bool gpiod_line_info_is_used(gpiod_line_info *info)
{
    return info->used;
}

const char *gpiod_line_info_get_consumer(gpiod_line_info *info)
{
    return info->consumer.isEmpty() ? nullptr : info->consumer.constData();
}

gpiod_line_settings *gpiod_line_settings_new()
{
    return made(new gpiod_line_settings);
}

void gpiod_line_settings_free(gpiod_line_settings *settings)
{
    freed(settings);
}

int gpiod_line_settings_set_direction(gpiod_line_settings *settings, gpiod_line_direction direction)
{
    settings->direction = direction;
    return 0;
}

int gpiod_line_settings_set_output_value(gpiod_line_settings *settings, gpiod_line_value value)
{
    if (value != GPIOD_LINE_VALUE_INACTIVE && value != GPIOD_LINE_VALUE_ACTIVE) {
        settings->output = GPIOD_LINE_VALUE_INACTIVE;
        errno = EINVAL;
        return -1;
    }
    settings->output = value;
    return 0;
}

gpiod_line_config *gpiod_line_config_new()
{
    return made(new gpiod_line_config);
}

void gpiod_line_config_free(gpiod_line_config *config)
{
    freed(config);
}

// The settings are copied: the caller may free its own at once.
int gpiod_line_config_add_line_settings(gpiod_line_config *config, const unsigned int *offsets,
                                        size_t num_offsets, gpiod_line_settings *settings)
{
    if (!offsets || num_offsets == 0 || config->offsets.size() + num_offsets > 64) {
        errno = EINVAL;
        return -1;
    }
    for (size_t i = 0; i < num_offsets; ++i) {
        config->offsets.push_back(offsets[i]);
        config->settings.push_back(settings ? *settings : gpiod_line_settings{});
    }
    return 0;
}

gpiod_request_config *gpiod_request_config_new()
{
    return made(new gpiod_request_config);
}

void gpiod_request_config_free(gpiod_request_config *config)
{
    freed(config);
}

// Truncated to what the kernel keeps, 31 bytes.
void gpiod_request_config_set_consumer(gpiod_request_config *config, const char *consumer)
{
    config->consumer = QByteArray(consumer ? consumer : "").left(31);
}

gpiod_line_request *gpiod_chip_request_lines(gpiod_chip *chip, gpiod_request_config *req_cfg,
                                             gpiod_line_config *line_cfg)
{
    if (!line_cfg || line_cfg->offsets.empty()) {
        errno = EINVAL;
        return nullptr;
    }
    std::vector<int> initial;
    for (const gpiod_line_settings &settings : line_cfg->settings) {
        // An input's level is the kernel's to read, not set: "-1" in the log.
        initial.push_back(settings.direction == GPIOD_LINE_DIRECTION_OUTPUT ? int(settings.output) : -1);
    }
    const QByteArray consumer = req_cfg ? req_cfg->consumer : QByteArray();
    if (const int error = kernel().request(chip->index, line_cfg->offsets, consumer, initial)) {
        errno = error;
        return nullptr;
    }
    return made(new gpiod_line_request{chip->index, line_cfg->offsets});
}

int gpiod_line_request_set_values(gpiod_line_request *request, const gpiod_line_value *values)
{
    int levels[64] = {};
    for (size_t i = 0; i < request->offsets.size(); ++i)
        levels[i] = values[i] == GPIOD_LINE_VALUE_ACTIVE ? 1 : 0;
    if (const int error = kernel().set(request->chip, {levels, request->offsets.size()})) {
        errno = error;
        return -1;
    }
    return 0;
}

void gpiod_line_request_release(gpiod_line_request *request)
{
    if (!request)
        return;
    kernel().release(request->chip, request->offsets);
    freed(request);
}
