// The panel's one line to Stripewell: every mailbox request, relay line and read of the
// card test dialog runs on a thread of its own, so that the window's thread never waits
// for another process.
#pragma once

#include <windows.h>

#include <memory>
#include <optional>
#include <string>

#include "../core/card.h"
#include "../control/control.h"

namespace mcrsim_panel {

struct Job {
    enum class Kind { Poll, Swipe, PowerOff } kind = Kind::Poll;
    mcrsim::CardRead read;             // Swipe: what the reader read
    std::string what;                  // Swipe: words for it ("'full' with flip on iso2")
    std::optional<mcrsim::Card> card;  // Swipe of a deck card, to draw its tracks
    std::wstring wedgeText;            // Swipe of a wedge line: the line as it was typed
};

struct Result {
    Job job;
    mcrsim_control::Outcome outcome;              // Poll: the reader's state
    DWORD pid = 0;                                // the Stripewell asked
    std::optional<mcrsim_dialog::Fields> fields;  // the card test dialog after the job
};

// The worker takes jobs from the window and keeps each result for it: the window
// answers a person whatever the other side does (a relay that hangs or ends, a reader
// another program keeps busy, a Stripewell that stops answering).
class Worker {
public:
    // Results wait in the worker for the window, which is posted message (with nothing
    // in it) when one is ready: any process can post a window any message, so the
    // message only says "look", and the window takes the results with TakeResult. pid and
    // relay as the panel's --pid and --relay; with a pid the worker drives that process
    // only, and says so once it has ended.
    Worker(HWND window, UINT message, std::optional<DWORD> pid, bool relay);
    // Posts nothing more. A thread still waiting for the other side is left to end with
    // the process.
    ~Worker();
    Worker(const Worker &) = delete;
    Worker &operator=(const Worker &) = delete;

    // Queues a job. A poll while one is still queued or running is dropped (true); an
    // action beyond kMaxWaiting waiting ones is refused (false).
    bool Post(Job job);
    static constexpr size_t kMaxWaiting = 4;
    // How long the job now running has taken (ms); 0 when none runs.
    DWORD BusyMs() const;
    // The oldest result not yet taken; nullptr when there is none.
    std::unique_ptr<Result> TakeResult();

    struct Shared;

private:
    std::shared_ptr<Shared> shared_;
};

}  // namespace mcrsim_panel
