#include "settings/changenotifier.h"

void ChangeNotifier::observe(QObject *context, std::function<void()> onChange)
{
    std::erase_if(m_observers, [](const Entry &entry) { return entry.context.isNull(); });
    m_observers.push_back({context, std::move(onChange)});
}

void ChangeNotifier::notify() const
{
    // An observer may register another one meanwhile: walk a copy.
    const std::vector<Entry> observers = m_observers;
    for (const Entry &entry : observers)
        if (!entry.context.isNull())
            entry.onChange();
}
