#pragma once

#include <QObject>
#include <QPointer>

#include <functional>
#include <vector>

// Who wants to hear that a value object changed. The observers belong to the object they were
// registered on: a copy starts without any, and assigning another value over an object keeps
// the object's own observers (so a snapshot never calls anybody, and the live object still
// does after it has been replaced wholesale).
class ChangeNotifier
{
public:
    ChangeNotifier() = default;
    ChangeNotifier(const ChangeNotifier &) {}
    ChangeNotifier &operator=(const ChangeNotifier &) { return *this; }

    // onChange runs at every notify() while context lives.
    void observe(QObject *context, std::function<void()> onChange);
    void notify() const;

private:
    struct Entry
    {
        QPointer<QObject> context;
        std::function<void()> onChange;
    };
    std::vector<Entry> m_observers;
};
