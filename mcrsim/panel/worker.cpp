#include "worker.h"

#include <algorithm>
#include <condition_variable>
#include <deque>
#include <mutex>
#include <thread>

#include "../client/find_window.h"

namespace mcrsim_panel {

using mcrsim_control::Connection;
using mcrsim_control::kExitNoStripewell;
using mcrsim_control::kExitOk;

struct Worker::Shared {
    std::mutex lock;
    std::condition_variable wake;
    std::deque<Job> jobs;
    std::deque<std::unique_ptr<Result>> results;  // done, for the window to take
    bool polling = false;  // a poll is queued or running
    DWORD busySince = 0;   // GetTickCount when the running job began; 0 when none runs
    bool stop = false;
    HWND window;
    UINT message;
    const std::optional<DWORD> pid;
    const bool relay;

    Shared(HWND w, UINT m, std::optional<DWORD> p, bool r) : window(w), message(m), pid(p), relay(r) {}
};

namespace {

// The connection to drive now: kept while it answers and the same Stripewell runs. A
// relay's is kept for good: its client knows when the relay has ended.
Connection &Connect(const Worker::Shared &shared, std::unique_ptr<Connection> &connection) {
    if (shared.relay) {
        if (!connection)
            connection = std::make_unique<Connection>(
                mcrsim_relay::Pipes{GetStdHandle(STD_OUTPUT_HANDLE), GetStdHandle(STD_INPUT_HANDLE)},
                *shared.pid);
        return *connection;
    }
    const DWORD wanted = shared.pid ? *shared.pid : window_search::FindStripewell();
    if (!connection || !connection->connected() || connection->pid() != wanted)
        connection = std::make_unique<Connection>(shared.pid);
    return *connection;
}

// Does the job in *result on the connection and keeps its outcome there.
void DoJob(Connection &connection, Result *result) {
    const Job &job = result->job;
    mcrsim_control::Outcome &outcome = result->outcome;
    switch (job.kind) {
    case Job::Kind::Poll: outcome = connection.State(); break;
    case Job::Kind::Swipe:
        outcome = connection.Swipe(job.read, job.what);
        // Stripewell's workers write the fields after the swipe: wait for them.
        if (outcome.code == kExitOk) connection.Check(job.read);
        break;
    case Job::Kind::PowerOff: outcome = connection.PowerOff(); break;
    }
    result->pid = connection.pid();
    if (outcome.state) result->fields = connection.ReadDialog();
}

void Run(std::shared_ptr<Worker::Shared> shared) {
    std::unique_ptr<Connection> connection;
    for (;;) {
        auto result = std::make_unique<Result>();
        {
            std::unique_lock<std::mutex> guard(shared->lock);
            shared->wake.wait(guard, [&] { return shared->stop || !shared->jobs.empty(); });
            if (shared->stop) return;
            result->job = std::move(shared->jobs.front());
            shared->jobs.pop_front();
            shared->busySince = GetTickCount() | 1;
        }
        DoJob(Connect(*shared, connection), result.get());
        // Connected once to the process of --pid, the worker keeps that connection after
        // the process ends, so that it goes on saying so and never takes another process
        // given the same id for it.
        if (!shared->relay && result->outcome.code == kExitNoStripewell && !(shared->pid && connection->connected()))
            connection.reset();
        std::lock_guard<std::mutex> guard(shared->lock);
        shared->busySince = 0;
        if (result->job.kind == Job::Kind::Poll) shared->polling = false;
        if (shared->stop) return;
        // One message for however many results wait: a window flooded with messages
        // takes them at its next look (the panel also looks at every poll).
        const bool first = shared->results.empty();
        shared->results.push_back(std::move(result));
        if (first) PostMessageW(shared->window, shared->message, 0, 0);
    }
}

}  // namespace

Worker::Worker(HWND window, UINT message, std::optional<DWORD> pid, bool relay)
    : shared_(std::make_shared<Shared>(window, message, pid, relay)) {
    std::thread(Run, shared_).detach();
}

Worker::~Worker() {
    std::lock_guard<std::mutex> guard(shared_->lock);
    shared_->stop = true;
    shared_->wake.notify_all();
}

bool Worker::Post(Job job) {
    std::lock_guard<std::mutex> guard(shared_->lock);
    if (job.kind == Job::Kind::Poll) {
        if (shared_->polling) return true;
        shared_->polling = true;
    } else if (static_cast<size_t>(std::count_if(shared_->jobs.begin(), shared_->jobs.end(), [](const Job &waiting) {
                   return waiting.kind != Job::Kind::Poll;
               })) >= kMaxWaiting) {
        return false;
    }
    shared_->jobs.push_back(std::move(job));
    shared_->wake.notify_all();
    return true;
}

std::unique_ptr<Result> Worker::TakeResult() {
    std::lock_guard<std::mutex> guard(shared_->lock);
    if (shared_->results.empty()) return nullptr;
    std::unique_ptr<Result> result = std::move(shared_->results.front());
    shared_->results.pop_front();
    return result;
}

DWORD Worker::BusyMs() const {
    std::lock_guard<std::mutex> guard(shared_->lock);
    return shared_->busySince == 0 ? 0 : GetTickCount() - shared_->busySince;
}

}  // namespace mcrsim_panel
