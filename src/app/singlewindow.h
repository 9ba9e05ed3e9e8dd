#pragma once

#include <QPointer>

#include <functional>

// Every window of the program exists at most once; touching it loads it. A window class T
// derives from SingleWindow<T> and befriends it, so that instance() may construct it and run
// its load step (a private Form_Load(), when the window has one). Its closeEvent() calls
// release() when it accepts the close.
template <typename T>
class SingleWindow
{
public:
    // The window, loaded (constructed, then its load step run, not shown) when it is not
    // loaded yet. `listen` runs between the two, so that the opener's connections to the
    // window also see what its load step does.
    static T *instance(const std::function<void(T *)> &listen = {})
    {
        if (!s_window) {
            T *window = new T();
            s_window = window;
            if (listen)
                listen(window);
            window->Form_Load();
        }
        return s_window;
    }

    // The window, or nullptr when it is not loaded.
    static T *existing() { return s_window; }

protected:
    // The load step of a window that has none.
    void Form_Load() {}

    // A closing window lets the next use load a fresh one, even before it is deleted.
    static void release(const T *window)
    {
        if (s_window == window)
            s_window = nullptr;
    }

    static inline QPointer<T> s_window;
};
