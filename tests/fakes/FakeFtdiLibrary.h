#pragma once

#include "FtdiPort.h"

#include <QByteArray>
#include <QList>
#include <QStringList>
#include <functional>

// What the fake USB bus holds and how it misbehaves, shared by every
// library object a test's factory hands out, with the calls they made.
struct FakeFtdiBus
{
    bool usb = true;                // ftdi_new succeeds
    QList<int> products{0x6001};    // adapters plugged in, by product id
    int openCode = 0;               // an adapter that is there refuses opening
    QByteArray openText;
    int bitmodeCode = 0;
    int writesBeforeUnplug = -1;    // -1: never pulled out
    std::function<void()> duringWrite;
    QStringList log; // "new", "open 0403:6001", "open s:...", "bitmode ff 1", "write 64", "close", "free"

    FtdiPort::LibraryFactory factory();
};

class FakeFtdiLibrary final : public FtdiLibrary
{
public:
    explicit FakeFtdiLibrary(FakeFtdiBus &bus);

    bool create() override;
    int openFirst(int vendor, int product) override;
    int openString(const char *device) override;
    int setBitmode(unsigned char outputs, unsigned char mode) override;
    int writeData(const unsigned char *data, int size) override;
    int close() override;
    void free() override;
    const char *errorString() const override;

private:
    int fail(int code, const QByteArray &text);
    int opened();

    FakeFtdiBus &m_bus;
    QByteArray m_error;
};
