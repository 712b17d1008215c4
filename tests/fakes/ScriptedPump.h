#pragma once

#include "IEventPump.h"

#include <QCoreApplication>
#include <functional>
#include <map>
#include <utility>

// The run loop's event pass: runs `everyPass`, then the action scripted for
// this pass, counted from 1 across all runs, nested ones included. With
// `deliverEvents` it lets Qt deliver what is pending first, as if the action
// had been queued since the last step. A run that outlasts its script gets
// stopped by `fallback` and marked, so a broken Stop fails the test instead
// of hanging it.
class ScriptedPump final : public IEventPump
{
public:
    void processPendingEvents() override
    {
        if (deliverEvents)
            QCoreApplication::processEvents();
        const int pass = ++passes;
        if (everyPass)
            everyPass();
        if (const auto it = script.find(pass); it != script.end())
            it->second();
        else if (fallback && pass > lastScripted() + 51) {
            overran = true;
            fallback();
        }
    }

    // Scripts the pass after the last one scripted.
    void then(std::function<void()> action) { script[lastScripted() + 1] = std::move(action); }

    int lastScripted() const { return script.empty() ? 0 : script.rbegin()->first; }

    std::function<void()> everyPass;
    std::map<int, std::function<void()>> script;
    std::function<void()> fallback;
    int passes = 0;
    bool overran = false;
    bool deliverEvents = false;
};
