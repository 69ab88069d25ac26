// Termination requests from outside (SIGTERM, SIGINT, SIGHUP: a desktop
// logout, Ctrl+C in a terminal, a kill) are turned into an ordinary call in
// the event loop, so the program closes through its normal path.
#pragma once

#include <QObject>

#include <functional>

class QSocketNotifier;

class TTerminationSignals : public QObject {
    Q_OBJECT
public:
    // Installs the handlers; onSignal runs in the event loop for each request.
    explicit TTerminationSignals(std::function<void(int signal)> onSignal, QObject* parent = nullptr);
    ~TTerminationSignals() override;

    // True once a request has arrived (also one that came before the event
    // loop was running).
    static bool Requested();

private:
    void Readable();
    std::function<void(int)> FOnSignal;
    QSocketNotifier* FNotifier = nullptr;
};
