#include "FakeGpioLibrary.h"

#include <vector>

namespace {

class FakeGpioLibrary final : public GpioLibrary
{
public:
    explicit FakeGpioLibrary(FakeGpioKernel &kernel)
        : m_kernel(kernel)
    {
    }
    ~FakeGpioLibrary() override { release(); }

    int checkChip(const QByteArray &path) const override { return m_kernel.check(path); }

    int openChip(const QByteArray &path) override
    {
        if (m_chip >= 0)
            return EBUSY;
        int chip = -1;
        if (const int error = m_kernel.open(path, chip))
            return error;
        m_chip = chip;
        return 0;
    }

    int chipInfo(GpioChipInfo &info) override
    {
        if (m_chip < 0)
            return EBADF;
        info = {m_kernel.chips[m_chip].label, m_kernel.chips[m_chip].lineCount};
        return 0;
    }

    int lineInfo(unsigned offset, GpioLineInfo &info) override
    {
        if (m_chip < 0)
            return EBADF;
        return m_kernel.lineInfo(m_chip, offset, info.name, info.used, info.consumer);
    }

    int requestOutputs(std::span<const unsigned> offsets, const char *consumer) override
    {
        if (m_chip < 0)
            return EBADF;
        if (!m_offsets.empty())
            return EBUSY;
        const std::vector<int> low(offsets.size(), 0);
        if (const int error = m_kernel.request(m_chip, offsets, consumer, low))
            return error;
        m_offsets.assign(offsets.begin(), offsets.end());
        return 0;
    }

    int setValues(std::span<const int> values) noexcept override
    {
        if (m_offsets.empty() || values.size() != m_offsets.size())
            return EPERM;
        return m_kernel.set(m_chip, values);
    }

    void release() noexcept override
    {
        if (!m_offsets.empty())
            m_kernel.release(m_chip, m_offsets);
        m_offsets.clear();
        if (m_chip >= 0)
            m_kernel.close(m_chip);
        m_chip = -1;
    }

private:
    FakeGpioKernel &m_kernel;
    int m_chip = -1;
    std::vector<unsigned> m_offsets;
};

} // namespace

GpioLibraryFactory fakeGpioLibrary(FakeGpioKernel &kernel)
{
    return [&kernel] { return std::unique_ptr<GpioLibrary>(new FakeGpioLibrary(kernel)); };
}
