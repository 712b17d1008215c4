// Whatever the chips on a machine are called and whatever a user types
// after "gpio:", the GPIO route opens only nodes that are GPIO chips, and
// lines it finds by name are lines of that name on the chip it took.
// Input: the user's text on the first line, then one node a line,
// "NODE|KIND|LABEL|NAME0,NAME1,...", KIND "c" for a GPIO chip and anything
// else for another device.
#include "gpio/GpioLibrary.h"
#include "gpio/GpioLineSet.h"
#include "gpio/GpioPort.h"

#include <QDir>
#include <QFile>
#include <QHash>
#include <QList>
#include <QTemporaryDir>
#include <cerrno>
#include <cstddef>
#include <cstdint>
#include <cstdlib>

namespace {

void require(bool condition)
{
    if (!condition)
        std::abort();
}

struct Node
{
    bool chip = false;
    QByteArray label;
    QList<QByteArray> lineNames;
};

struct Machine
{
    QHash<QByteArray, Node> nodes; // by node name
    QByteArray opened;             // the node open now
    QList<unsigned> requested;
};

QByteArray nameOf(const QByteArray &path)
{
    return path.mid(path.lastIndexOf('/') + 1);
}

class MachineLibrary final : public GpioLibrary
{
public:
    explicit MachineLibrary(Machine &machine) : m_machine(machine) {}

    int checkChip(const QByteArray &path) const override
    {
        const auto node = m_machine.nodes.constFind(nameOf(path));
        if (node == m_machine.nodes.cend())
            return ENOENT;
        return node->chip ? 0 : ENOTTY;
    }
    int openChip(const QByteArray &path) override
    {
        // The property under test: nothing but a checked chip is opened.
        require(checkChip(path) == 0);
        if (!m_machine.opened.isEmpty())
            return EBUSY;
        m_machine.opened = nameOf(path);
        return 0;
    }
    int chipInfo(GpioChipInfo &info) override
    {
        if (m_machine.opened.isEmpty())
            return EBADF;
        const Node &node = m_machine.nodes[m_machine.opened];
        info = {node.label, unsigned(node.lineNames.size())};
        return 0;
    }
    int lineInfo(unsigned offset, GpioLineInfo &info) override
    {
        if (m_machine.opened.isEmpty())
            return EBADF;
        const Node &node = m_machine.nodes[m_machine.opened];
        if (offset >= unsigned(node.lineNames.size()))
            return EINVAL;
        info = {node.lineNames[offset], false, {}};
        return 0;
    }
    int requestOutputs(std::span<const unsigned> offsets, const char *) override
    {
        if (m_machine.opened.isEmpty() || !m_machine.requested.isEmpty())
            return EBUSY;
        m_machine.requested = QList<unsigned>(offsets.begin(), offsets.end());
        return 0;
    }
    int setValues(std::span<const int>) noexcept override { return m_machine.requested.isEmpty() ? EPERM : 0; }
    void release() noexcept override
    {
        m_machine.opened.clear();
        m_machine.requested.clear();
    }

private:
    Machine &m_machine;
};

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t *data, std::size_t size)
{
    static QTemporaryDir dir;
    const QList<QByteArray> lines = QByteArray(reinterpret_cast<const char *>(data), qsizetype(size)).split('\n');
    const GpioLineSetParse parse = parseGpioLineSet(QString::fromUtf8(lines.first()));
    if (!parse.lineSet)
        return 0;

    // The device folder as the finder lists it: one file per node.
    const QString devRoot = dir.filePath(QStringLiteral("dev"));
    QDir(devRoot).removeRecursively();
    QDir().mkpath(devRoot);
    Machine machine;
    for (qsizetype i = 1; i < lines.size() && i < 9; ++i) {
        const QList<QByteArray> fields = lines[i].split('|');
        if (fields.size() != 4 || fields[0].isEmpty() || fields[0].contains('/') || fields[0].startsWith('.'))
            continue;
        Node node{fields[1] == "c", fields[2], fields[3].isEmpty() ? QList<QByteArray>{} : fields[3].split(',')};
        node.lineNames = node.lineNames.mid(0, 64);
        machine.nodes.insert(fields[0], node);
        QFile file(devRoot + QLatin1Char('/') + QString::fromUtf8(fields[0]));
        if (!file.open(QIODevice::WriteOnly))
            machine.nodes.remove(fields[0]);
    }

    const GpioLineSet &wanted = *parse.lineSet;
    PortOpening opening = GpioPort::open(wanted, std::make_unique<MachineLibrary>(machine), devRoot);
    if (!opening.backend)
        return 0;
    // Taken: a GPIO chip, and by name only the lines of those names.
    require(!machine.opened.isEmpty() && machine.nodes[machine.opened].chip);
    require(machine.requested.size() == wanted.count);
    if (wanted.byName()) {
        const Node &chip = machine.nodes[machine.opened];
        const auto names = wanted.lineNames();
        for (int line = 0; line < wanted.count; ++line)
            require(chip.lineNames.value(qsizetype(machine.requested[line])) == names[std::size_t(line)].toUtf8());
    }
    return 0;
}
