#include "sessionend.h"

#include <QGuiApplication>
#include <QSessionManager>

#ifdef Q_OS_UNIX
#include <QSocketNotifier>

#include <cerrno>
#include <csignal>
#include <fcntl.h>
#include <unistd.h>
#endif

namespace SessionEnd {
namespace {

#ifdef Q_OS_UNIX
constexpr int kSignals[] = {SIGTERM, SIGHUP, SIGINT};

int &writeEnd()
{
    static int fd = -1;
    return fd;
}

// Only async-signal-safe calls here: the event loop does the rest.
void onSignal(int signal)
{
    const int saved = errno;
    const char byte = char(signal);
    [[maybe_unused]] const ssize_t ignored = ::write(writeEnd(), &byte, 1);
    errno = saved;
}

void watchSignals(const std::function<void()> &closeMainWindow)
{
    int fds[2];
    if (::pipe2(fds, O_CLOEXEC | O_NONBLOCK) != 0)
        return;
    writeEnd() = fds[1];
    auto *notifier = new QSocketNotifier(fds[0], QSocketNotifier::Read, qApp);
    QObject::connect(notifier, &QSocketNotifier::activated, qApp, [notifier, closeMainWindow] {
        char bytes[16];
        while (::read(int(notifier->socket()), bytes, sizeof bytes) > 0) {
        }
        notifier->setEnabled(false);
        // Should closing hang (a share that does not answer), the next signal ends it all.
        for (const int signal : kSignals)
            std::signal(signal, SIG_DFL);
        closeMainWindow();
        // Leaves the event loops of modal windows too.
        QCoreApplication::quit();
    });
    struct sigaction action = {};
    action.sa_handler = onSignal;
    sigemptyset(&action.sa_mask);
    action.sa_flags = SA_RESTART;
    for (const int signal : kSignals)
        ::sigaction(signal, &action, nullptr);
}
#endif

} // namespace

void install(std::function<void()> save, std::function<void()> closeMainWindow)
{
    auto *app = qobject_cast<QGuiApplication *>(QCoreApplication::instance());
    if (!app)
        return;
    QObject::connect(app, &QGuiApplication::commitDataRequest, app,
                     [save](QSessionManager &) { save(); });
    QObject::connect(app, &QGuiApplication::saveStateRequest, app,
                     [save](QSessionManager &) { save(); });
#ifdef Q_OS_UNIX
    watchSignals(closeMainWindow);
#else
    Q_UNUSED(closeMainWindow);
#endif
}

} // namespace SessionEnd
