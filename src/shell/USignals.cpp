#include "USignals.h"

#include <QSocketNotifier>

#include <csignal>
#include <sys/socket.h>
#include <unistd.h>

namespace {

// The signal handler may only do async-signal-safe work: it writes the signal
// number into a socket that the event loop watches.
int SignalPipe[2] = {-1, -1};
volatile std::sig_atomic_t RequestedFlag = 0;

extern "C" void OnTerminationSignal(int sig) {
    RequestedFlag = 1;
    const unsigned char b = static_cast<unsigned char>(sig);
    if (SignalPipe[0] >= 0) {
        [[maybe_unused]] ssize_t n = ::write(SignalPipe[0], &b, 1);
    }
}

const int Handled[] = {SIGTERM, SIGINT, SIGHUP};

} // namespace

TTerminationSignals::TTerminationSignals(std::function<void(int)> onSignal, QObject* parent)
    : QObject(parent), FOnSignal(std::move(onSignal)) {
    if (::socketpair(AF_UNIX, SOCK_STREAM, 0, SignalPipe) != 0)
        return;
    FNotifier = new QSocketNotifier(SignalPipe[1], QSocketNotifier::Read, this);
    connect(FNotifier, &QSocketNotifier::activated, this, &TTerminationSignals::Readable);
    struct sigaction sa = {};
    sa.sa_handler = OnTerminationSignal;
    sigemptyset(&sa.sa_mask);
    sa.sa_flags = SA_RESTART;
    for (int sig : Handled)
        ::sigaction(sig, &sa, nullptr);
}

TTerminationSignals::~TTerminationSignals() {
    struct sigaction sa = {};
    sa.sa_handler = SIG_DFL;
    sigemptyset(&sa.sa_mask);
    for (int sig : Handled)
        ::sigaction(sig, &sa, nullptr);
    delete FNotifier;
    for (int& fd : SignalPipe) {
        if (fd >= 0)
            ::close(fd);
        fd = -1;
    }
}

bool TTerminationSignals::Requested() {
    return RequestedFlag != 0;
}

void TTerminationSignals::Readable() {
    unsigned char b = 0;
    if (::read(SignalPipe[1], &b, 1) == 1 && FOnSignal)
        FOnSignal(b);
}
