#include "FakeFtdiLibrary.h"

#include <utility>

FtdiPort::LibraryFactory FakeFtdiBus::factory()
{
    // A test keeps its bus alive longer than the port access using it.
    return [this] { return std::make_unique<FakeFtdiLibrary>(*this); };
}

FakeFtdiLibrary::FakeFtdiLibrary(FakeFtdiBus &bus)
    : m_bus(bus)
{
}

int FakeFtdiLibrary::fail(int code, const QByteArray &text)
{
    m_error = text;
    return code;
}

bool FakeFtdiLibrary::create()
{
    m_bus.log << QStringLiteral("new");
    return m_bus.usb;
}

int FakeFtdiLibrary::opened()
{
    return m_bus.openCode != 0 ? fail(m_bus.openCode, m_bus.openText) : 0;
}

int FakeFtdiLibrary::openFirst(int vendor, int product)
{
    m_bus.log << QStringLiteral("open %1:%2").arg(vendor, 4, 16, QLatin1Char('0')).arg(product, 4, 16, QLatin1Char('0'));
    if (!m_bus.products.contains(product))
        return fail(-3, "device not found");
    return opened();
}

int FakeFtdiLibrary::openString(const char *device)
{
    m_bus.log << QStringLiteral("open ") + QString::fromLatin1(device);
    if (m_bus.products.isEmpty())
        return fail(-3, "device not found");
    return opened();
}

int FakeFtdiLibrary::setBitmode(unsigned char outputs, unsigned char mode)
{
    m_bus.log << QStringLiteral("bitmode %1 %2").arg(outputs, 0, 16).arg(mode);
    return m_bus.bitmodeCode != 0 ? fail(m_bus.bitmodeCode, "can't enable bitbang mode") : 0;
}

int FakeFtdiLibrary::writeData(const unsigned char *data, int size)
{
    if (m_bus.duringWrite)
        std::exchange(m_bus.duringWrite, nullptr)();
    if (m_bus.writesBeforeUnplug == 0)
        return fail(-1, "usb bulk write failed");
    if (m_bus.writesBeforeUnplug > 0)
        --m_bus.writesBeforeUnplug;
    for (int i = 0; i < size; ++i)
        m_bus.log << QStringLiteral("write %1").arg(data[i]);
    return size;
}

int FakeFtdiLibrary::close()
{
    m_bus.log << QStringLiteral("close");
    return 0;
}

void FakeFtdiLibrary::free()
{
    m_bus.log << QStringLiteral("free");
}

const char *FakeFtdiLibrary::errorString() const
{
    return m_error.constData();
}
