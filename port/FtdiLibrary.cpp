#include "FtdiLibrary.h"

#include <ftdi.h>

namespace {

class LibFtdi final : public FtdiLibrary
{
public:
    ~LibFtdi() override { free(); }

    bool create() override
    {
        if (!m_context)
            m_context = ftdi_new();
        return m_context != nullptr;
    }

    int openFirst(int vendor, int product) override
    {
        return m_context ? ftdi_usb_open(m_context, vendor, product) : NoContext;
    }

    int openString(const char *device) override
    {
        return m_context ? ftdi_usb_open_string(m_context, device) : NoContext;
    }

    int setBitmode(unsigned char outputs, unsigned char mode) override
    {
        return m_context ? ftdi_set_bitmode(m_context, outputs, mode) : NoContext;
    }

    int writeData(const unsigned char *data, int size) override
    {
        return m_context ? ftdi_write_data(m_context, data, size) : NoContext;
    }

    int close() override { return m_context ? ftdi_usb_close(m_context) : NoContext; }

    void free() override
    {
        if (m_context)
            ftdi_free(m_context);
        m_context = nullptr;
    }

    const char *errorString() const override
    {
        return m_context ? ftdi_get_error_string(m_context) : "libusb could not be initialised";
    }

private:
    // What libftdi itself answers for a missing context.
    static constexpr int NoContext = -666;
    ftdi_context *m_context = nullptr;
};

} // namespace

std::unique_ptr<FtdiLibrary> FtdiLibrary::real()
{
    return std::make_unique<LibFtdi>();
}
