#pragma once

#include <QPointer>

// Every window of the program exists at most once; touching it loads it. A window class T
// derives from SingleWindow<T> and befriends it, so that instance() may construct it.
template <typename T>
class SingleWindow
{
public:
    // The window, loaded (its load step running, not shown) when it is not loaded yet.
    static T *instance()
    {
        if (!s_window)
            s_window = new T();
        return s_window;
    }

    // The window, or nullptr when it is not loaded.
    static T *existing() { return s_window; }

protected:
    // A closing window lets the next use load a fresh one, even before it is deleted.
    static void release(const T *window)
    {
        if (s_window == window)
            s_window = nullptr;
    }

    static inline QPointer<T> s_window;
};
