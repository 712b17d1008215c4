#pragma once

class QString;

// Hands a document or address to the desktop; failures are swallowed.
class IShell
{
public:
    virtual ~IShell() = default;
    virtual void open(const QString &target) = 0;
};
