#pragma once

#include "gpio/GpioLibrary.h"
#include "gpio/GpioLineSet.h"
#include "PortBackend.h"

#include <QString>
#include <memory>

// Data bits 0-3 (and 6, when a fifth line is named) on GPIO lines of one
// chip, held under the consumer name "quarnet" for as long as the tool runs.
// It stands in for every parallel-port base, so the port number is ignored.
class GpioPort final : public PortBackend
{
public:
    // Never takes over a line someone else holds: a held line is reported
    // with its holder and nothing is requested. Chips are the gpiochip*
    // nodes in `devRoot`.
    static PortOpening open(const GpioLineSet &lineSet, std::unique_ptr<GpioLibrary> library,
                            const QString &devRoot = QStringLiteral("/dev"));

    ~GpioPort() override;
    // A failed set marks the lines gone: a USB GPIO chip pulled out fails
    // with ENODEV, and the run must not go on as if the motor turned.
    void write(std::uint16_t port, std::uint8_t value) override;
    // Switches every line off; see the definition for what is safe where.
    void release() noexcept override;
    QString goneReason() const override;
    GuardHandle guardHandle() const override;
    void retryOff(std::uint8_t off) noexcept override;

private:
    GpioPort(const GpioLineSet &lineSet, std::unique_ptr<GpioLibrary> library);

    static constexpr int DataBits[GpioLineSet::MaxLines] = {0, 1, 2, 3, 6};

    std::unique_ptr<GpioLibrary> m_library;
    QString m_name;
    int m_count;
    int m_failure = 0;
    bool m_switchedOff = false;
};
