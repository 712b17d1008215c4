#include "GpioLibrary.h"

#include <algorithm>
#include <cerrno>
#include <gpiod.h>

namespace {

// libgpiod 1.6: line handles belong to the chip object, and a bulk of lines
// requested together shares one kernel handle, so one ioctl sets them all.
class Libgpiod1 final : public GpioLibrary
{
public:
    ~Libgpiod1() override { release(); }

    int openChip(const QByteArray &chip) override
    {
        errno = 0;
        m_chip = gpiod_chip_open_lookup(chip.constData());
        // The lookup by label ends with no errno when nothing matched.
        return m_chip ? 0 : (errno ? errno : ENOENT);
    }

    unsigned lineCount() const override { return m_chip ? gpiod_chip_num_lines(m_chip) : 0; }

    std::optional<QString> holderOf(unsigned offset) override
    {
        gpiod_line *line = gpiod_chip_get_line(m_chip, offset);
        if (!line || !gpiod_line_is_used(line))
            return std::nullopt;
        const char *consumer = gpiod_line_consumer(line);
        return QString::fromUtf8(consumer ? consumer : "");
    }

    int requestOutputs(std::span<const unsigned> offsets, const char *consumer) override
    {
        unsigned wanted[GPIOD_LINE_BULK_MAX_LINES];
        int low[GPIOD_LINE_BULK_MAX_LINES] = {};
        if (offsets.size() > GPIOD_LINE_BULK_MAX_LINES)
            return EINVAL;
        std::copy(offsets.begin(), offsets.end(), wanted);
        gpiod_line_bulk_init(&m_bulk);
        if (gpiod_chip_get_lines(m_chip, wanted, unsigned(offsets.size()), &m_bulk) < 0)
            return errno;
        if (gpiod_line_request_bulk_output(&m_bulk, consumer, low) < 0) {
            const int error = errno;
            gpiod_line_bulk_init(&m_bulk);
            return error;
        }
        m_requested = true;
        return 0;
    }

    bool setValues(std::span<const int> values) noexcept override
    {
        // Stack data and one GPIOHANDLE_SET_LINE_VALUES ioctl inside.
        return m_requested && gpiod_line_set_value_bulk(&m_bulk, values.data()) == 0;
    }

    void release() noexcept override
    {
        if (m_requested)
            gpiod_line_release_bulk(&m_bulk);
        m_requested = false;
        if (m_chip)
            gpiod_chip_close(m_chip);
        m_chip = nullptr;
    }

private:
    gpiod_chip *m_chip = nullptr;
    gpiod_line_bulk m_bulk = GPIOD_LINE_BULK_INITIALIZER;
    bool m_requested = false;
};

} // namespace

std::unique_ptr<GpioLibrary> makeLibgpiod1()
{
    return std::make_unique<Libgpiod1>();
}
