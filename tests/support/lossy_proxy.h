#pragma once

// A proxy between the program and a page service, on a free port of 127.0.0.1, that loses answers on
// purpose: the first answers (one unless told) to requests holding a given text are read from the
// service (so the service did the work) and never passed on; the connection to the program is closed
// instead. Everything else passes as it is.

#include <QByteArray>

#include <atomic>
#include <memory>
#include <thread>
#include <vector>

class LossyProxy {
public:
    LossyProxy(int targetPort, QByteArray loseAnswerTo, int answersToLose = 1);
    ~LossyProxy();
    LossyProxy(const LossyProxy&) = delete;
    LossyProxy& operator=(const LossyProxy&) = delete;

    int port() const { return port_; }
    int answersLost() const { return lost_; }
    int requestsPassed() const { return passed_; }

private:
    void serve(int client);

    int targetPort_;
    QByteArray loseAnswerTo_;
    int answersToLose_;
    int listener_ = -1;
    int port_ = 0;
    std::atomic<bool> stopping_{false};
    std::atomic<int> lost_{0};
    std::atomic<int> passed_{0};
    std::thread acceptor_;
    std::vector<std::thread> workers_;
};
