#include "FakeGpioChip.h"

#include <cerrno>

namespace {

QString joined(auto values, const char *separator)
{
    QStringList items;
    for (auto value : values)
        items << QString::number(value);
    return items.join(QLatin1String(separator));
}

class FakeGpioLibrary final : public GpioLibrary
{
public:
    explicit FakeGpioLibrary(FakeGpioChip &chip)
        : m_chip(chip)
    {
    }

    int openChip(const QByteArray &chip) override
    {
        m_chip.log << QStringLiteral("open ") + QString::fromLocal8Bit(chip);
        if (m_chip.openErrno)
            return m_chip.openErrno;
        if (chip != m_chip.name.toLocal8Bit() && chip != "/dev/" + m_chip.name.toLocal8Bit())
            return ENOENT;
        m_open = true;
        return 0;
    }

    unsigned lineCount() const override { return m_open ? m_chip.lineCount : 0; }

    std::optional<QString> holderOf(unsigned offset) override
    {
        const auto found = m_chip.holders.constFind(offset);
        if (found == m_chip.holders.constEnd())
            return std::nullopt;
        return *found;
    }

    int requestOutputs(std::span<const unsigned> offsets, const char *consumer) override
    {
        m_chip.log << QStringLiteral("request %1 as %2")
                          .arg(joined(offsets, ","), QString::fromUtf8(consumer));
        for (unsigned offset : offsets) {
            if (!m_open || offset >= m_chip.lineCount || m_chip.holders.contains(offset))
                return EINVAL; // the port asked for what it had been told it cannot have
        }
        if (m_chip.requestErrno)
            return m_chip.requestErrno;
        m_count = offsets.size();
        return 0;
    }

    bool setValues(std::span<const int> values) noexcept override
    {
        if (values.size() != m_count)
            m_chip.log << QStringLiteral("set with %1 values for %2 lines").arg(values.size()).arg(m_count);
        else
            m_chip.log << QStringLiteral("set ") + joined(values, " ");
        return m_count != 0;
    }

    void release() noexcept override
    {
        if (m_open)
            m_chip.log << QStringLiteral("release");
        m_open = false;
        m_count = 0;
    }

private:
    FakeGpioChip &m_chip;
    bool m_open = false;
    std::size_t m_count = 0;
};

} // namespace

GpioLibraryFactory FakeGpioChip::factory()
{
    return [this] { return std::unique_ptr<GpioLibrary>(new FakeGpioLibrary(*this)); };
}
