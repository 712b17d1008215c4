#include "gpio/GpioLibrary.h"

#include <cerrno>
#include <gpiod.h>

namespace {

// The kernel's limit on the lines of one request (GPIO_V2_LINES_MAX).
constexpr std::size_t MaxRequestLines = 64;

int lastError()
{
    return errno ? errno : EIO;
}

// libgpiod 2 hands out its objects by pointer, each freed by its own call.
template<typename T, void (*Free)(T *)>
struct Owned
{
    T *object;
    ~Owned() { Free(object); }
};

// libgpiod 2: every answer is an object of its own; a request is one kernel
// line handle for all its lines, so one GPIO_V2_LINE_SET_VALUES ioctl sets
// them all.
class Libgpiod2 final : public GpioLibrary
{
public:
    ~Libgpiod2() override { release(); }

    int openChip(const QByteArray &path) override
    {
        if (m_chip)
            return EBUSY;
        errno = 0;
        m_chip = gpiod_chip_open(path.constData());
        return m_chip ? 0 : lastError();
    }

    int chipInfo(GpioChipInfo &info) override
    {
        if (!m_chip)
            return EBADF;
        errno = 0;
        const Owned<gpiod_chip_info, gpiod_chip_info_free> chip{gpiod_chip_get_info(m_chip)};
        if (!chip.object)
            return lastError();
        info = {gpiod_chip_info_get_label(chip.object),
                unsigned(gpiod_chip_info_get_num_lines(chip.object))};
        return 0;
    }

    int lineInfo(unsigned offset, GpioLineInfo &info) override
    {
        if (!m_chip)
            return EBADF;
        errno = 0;
        const Owned<gpiod_line_info, gpiod_line_info_free> line{gpiod_chip_get_line_info(m_chip, offset)};
        if (!line.object)
            return lastError();
        const char *name = gpiod_line_info_get_name(line.object);
        const char *consumer = gpiod_line_info_get_consumer(line.object);
        info = {name ? name : "", gpiod_line_info_is_used(line.object), consumer ? consumer : ""};
        return 0;
    }

    int requestOutputs(std::span<const unsigned> offsets, const char *consumer) override
    {
        if (!m_chip)
            return EBADF;
        if (m_request)
            return EBUSY;
        if (offsets.empty() || offsets.size() > MaxRequestLines)
            return EINVAL;
        // libgpiod 1 refuses an offset beyond the chip before the kernel is
        // asked; libgpiod 2 leaves it to the kernel. Both refuse it here.
        GpioChipInfo chip;
        if (const int error = chipInfo(chip))
            return error;
        for (unsigned offset : offsets) {
            if (offset >= chip.lineCount)
                return EINVAL;
        }
        errno = 0;
        const Owned<gpiod_line_settings, gpiod_line_settings_free> settings{gpiod_line_settings_new()};
        const Owned<gpiod_line_config, gpiod_line_config_free> lines{gpiod_line_config_new()};
        const Owned<gpiod_request_config, gpiod_request_config_free> request{gpiod_request_config_new()};
        if (!settings.object || !lines.object || !request.object)
            return lastError();
        if (gpiod_line_settings_set_direction(settings.object, GPIOD_LINE_DIRECTION_OUTPUT) < 0
            || gpiod_line_settings_set_output_value(settings.object, GPIOD_LINE_VALUE_INACTIVE) < 0
            || gpiod_line_config_add_line_settings(lines.object, offsets.data(), offsets.size(),
                                                   settings.object) < 0)
            return lastError();
        gpiod_request_config_set_consumer(request.object, consumer);
        m_request = gpiod_chip_request_lines(m_chip, request.object, lines.object);
        if (!m_request)
            return lastError();
        m_count = offsets.size();
        return 0;
    }

    int setValues(std::span<const int> values) noexcept override
    {
        if (!m_request || values.size() != m_count)
            return EPERM;
        gpiod_line_value levels[MaxRequestLines];
        for (std::size_t line = 0; line < m_count; ++line)
            levels[line] = values[line] ? GPIOD_LINE_VALUE_ACTIVE : GPIOD_LINE_VALUE_INACTIVE;
        // Stack data and one ioctl inside.
        return gpiod_line_request_set_values(m_request, levels) == 0 ? 0 : lastError();
    }

    void release() noexcept override
    {
        if (m_request)
            gpiod_line_request_release(m_request);
        m_request = nullptr;
        m_count = 0;
        if (m_chip)
            gpiod_chip_close(m_chip);
        m_chip = nullptr;
    }

private:
    gpiod_chip *m_chip = nullptr;
    gpiod_line_request *m_request = nullptr;
    std::size_t m_count = 0;
};

} // namespace

std::unique_ptr<GpioLibrary> makeLibgpiod()
{
    return std::make_unique<Libgpiod2>();
}
