#include "ftdi/FtdiLibrary.h"

#include <ftdi.h>
#include <libusb.h>

namespace {

// What each libftdi function answers for a context it was not given.
constexpr int OpenDevNoContext = -8;     // ftdi_usb_open_dev: "ftdi context invalid"
constexpr int BitmodeNoDevice = -2;      // ftdi_set_bitmode: "USB device unavailable"
constexpr int WriteNoDevice = -666;      // ftdi_write_data: "USB device unavailable"
constexpr int CloseNoContext = -3;       // ftdi_usb_close: "ftdi context invalid"
constexpr int StringsBadArguments = -1;  // ftdi_usb_get_strings2, no text set

class LibFtdi final : public FtdiLibrary
{
public:
    ~LibFtdi() override { free(); }

    bool create(int writeTimeoutMs) override
    {
        if (!m_context)
            m_context = ftdi_new();
        if (m_context)
            m_context->usb_write_timeout = writeTimeoutMs;
        return m_context != nullptr;
    }

    int listDevices(QList<FtdiUsbDevice> &devices) override
    {
        devices.clear();
        dropList();
        if (!m_context)
            return LIBUSB_ERROR_INVALID_PARAM;
        const ssize_t count = libusb_get_device_list(m_context->usb_ctx, &m_list);
        if (count < 0) {
            m_list = nullptr;
            m_context->error_str = "libusb_get_device_list() failed";
            return static_cast<int>(count);
        }
        m_count = static_cast<int>(count);
        for (int i = 0; i < m_count; ++i) {
            // Linux's libusb reads the descriptor from sysfs: no transfer.
            libusb_device_descriptor descriptor{};
            libusb_get_device_descriptor(m_list[i], &descriptor);
            devices.append({libusb_get_bus_number(m_list[i]), libusb_get_device_address(m_list[i]),
                            descriptor.idVendor, descriptor.idProduct, descriptor.bcdDevice});
        }
        return m_count;
    }

    int readStrings(int index, QByteArray &description, QByteArray &serial) override
    {
        if (!m_context || index < 0 || index >= m_count)
            return StringsBadArguments;
        char product[128] = {};
        char number[128] = {};
        const int code = ftdi_usb_get_strings2(m_context, m_list[index], nullptr, 0, product,
                                               sizeof product, number, sizeof number);
        description = code == 0 ? QByteArray(product) : QByteArray();
        serial = code == 0 ? QByteArray(number) : QByteArray();
        return code;
    }

    int openListed(int index) override
    {
        if (!m_context || index < 0 || index >= m_count)
            return OpenDevNoContext;
        const int code = ftdi_usb_open_dev(m_context, m_list[index]);
        // The open handle keeps its own reference to the device.
        dropList();
        return code;
    }

    int setBitmode(unsigned char outputs, unsigned char mode) override
    {
        return m_context ? ftdi_set_bitmode(m_context, outputs, mode) : BitmodeNoDevice;
    }

    int writeData(const unsigned char *data, int size) override
    {
        return m_context ? ftdi_write_data(m_context, data, size) : WriteNoDevice;
    }

    int close() override { return m_context ? ftdi_usb_close(m_context) : CloseNoContext; }

    void free() override
    {
        dropList();
        if (m_context)
            ftdi_free(m_context);
        m_context = nullptr;
    }

    bool openedAddress(std::uint8_t &bus, std::uint8_t &address) const override
    {
        if (!m_context || !m_context->usb_dev)
            return false;
        libusb_device *device = libusb_get_device(m_context->usb_dev);
        bus = libusb_get_bus_number(device);
        address = libusb_get_device_address(device);
        return true;
    }

    const char *errorString() const override
    {
        const char *text = m_context ? ftdi_get_error_string(m_context) : nullptr;
        return text ? text : "libusb could not be initialised";
    }

private:
    void dropList()
    {
        if (m_list)
            libusb_free_device_list(m_list, 1);
        m_list = nullptr;
        m_count = 0;
    }

    ftdi_context *m_context = nullptr;
    libusb_device **m_list = nullptr;
    int m_count = 0;
};

} // namespace

std::unique_ptr<FtdiLibrary> FtdiLibrary::real()
{
    return std::make_unique<LibFtdi>();
}
