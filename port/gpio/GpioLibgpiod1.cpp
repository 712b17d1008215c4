#include "gpio/GpioLibrary.h"

#include <algorithm>
#include <cerrno>
#include <gpiod.h>

namespace {

// An errno the library left, or EIO when it left none.
int lastError()
{
    return errno ? errno : EIO;
}

// libgpiod 1.6: line handles belong to the chip object, and a bulk of lines
// requested together shares one kernel handle, so one ioctl sets them all.
class Libgpiod1 final : public GpioLibrary
{
public:
    ~Libgpiod1() override { release(); }

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
        info = {gpiod_chip_label(m_chip), gpiod_chip_num_lines(m_chip)};
        return 0;
    }

    int lineInfo(unsigned offset, GpioLineInfo &info) override
    {
        if (!m_chip)
            return EBADF;
        errno = 0;
        // Reads the line's state from the kernel afresh on every call.
        gpiod_line *line = gpiod_chip_get_line(m_chip, offset);
        if (!line)
            return lastError();
        const char *name = gpiod_line_name(line);
        const char *consumer = gpiod_line_consumer(line);
        info = {name ? name : "", gpiod_line_is_used(line), consumer ? consumer : ""};
        return 0;
    }

    int requestOutputs(std::span<const unsigned> offsets, const char *consumer) override
    {
        if (!m_chip)
            return EBADF;
        if (m_count)
            return EBUSY;
        if (offsets.empty() || offsets.size() > GPIOD_LINE_BULK_MAX_LINES)
            return EINVAL;
        unsigned wanted[GPIOD_LINE_BULK_MAX_LINES];
        const int low[GPIOD_LINE_BULK_MAX_LINES] = {};
        std::copy(offsets.begin(), offsets.end(), wanted);
        errno = 0;
        if (gpiod_chip_get_lines(m_chip, wanted, unsigned(offsets.size()), &m_bulk) < 0) {
            const int error = lastError();
            gpiod_line_bulk_init(&m_bulk);
            return error;
        }
        if (gpiod_line_request_bulk_output(&m_bulk, consumer, low) < 0) {
            const int error = lastError();
            gpiod_line_bulk_init(&m_bulk);
            return error;
        }
        m_count = offsets.size();
        return 0;
    }

    int setValues(std::span<const int> values) noexcept override
    {
        if (m_count == 0 || values.size() != m_count)
            return EPERM;
        // Stack data and one GPIOHANDLE_SET_LINE_VALUES ioctl inside.
        return gpiod_line_set_value_bulk(&m_bulk, values.data()) == 0 ? 0 : lastError();
    }

    void release() noexcept override
    {
        if (m_count)
            gpiod_line_release_bulk(&m_bulk);
        m_count = 0;
        gpiod_line_bulk_init(&m_bulk);
        if (m_chip)
            gpiod_chip_close(m_chip);
        m_chip = nullptr;
    }

private:
    gpiod_chip *m_chip = nullptr;
    gpiod_line_bulk m_bulk = GPIOD_LINE_BULK_INITIALIZER;
    std::size_t m_count = 0; // lines requested
};

} // namespace

std::unique_ptr<GpioLibrary> makeLibgpiod()
{
    return std::make_unique<Libgpiod1>();
}
