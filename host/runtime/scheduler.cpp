// The second thread: Max delivers timed messages (a metro, MIDI, clocks) on a scheduler
// thread of high priority when Overdrive is on. Script lines sent there run one at a time,
// in order. A message goes to the instance right there (and what it defers goes to the
// front of the main thread's queue); an edit of a buffer~ (making, sizing, filling or
// freeing it) is passed on to the back of that queue, as the real buffer~ defers its edits,
// so that edits keep their order.
#include "host_internal.h"
#include "headless_host.h"

#include <atomic>
#include <condition_variable>
#include <deque>
#include <mutex>
#include <thread>

namespace {

// Never destroyed: the thread waits on them until the process ends.
std::mutex &scheduler_mutex = *new std::mutex();
std::condition_variable &scheduler_work = *new std::condition_variable();
std::deque<std::string> &lines = *new std::deque<std::string>();
bool running_line = false;     // guarded by scheduler_mutex
bool started = false;
std::atomic<bool> failed{false};
thread_local bool on_scheduler_thread = false;

bool is_buffer_edit(const std::string &word)
{
    return word == "buffer~" || word == "delete" || word == "fill";
}

// An edit that fails stops the script as a line of the main thread would (host_run_line).
void run_on_main(void *, t_symbol *line, short, t_atom *)
{
    if (!host_script_line(line->s_name))
        failed = true;
}

// A message to an instance that has been freed since the line was sent goes nowhere, as a
// message whose cord went with its object.
void run_line(const std::string &line)
{
    std::vector<std::string> words = host_split_words(line, nullptr);
    if (is_buffer_edit(words[0])) {
        defer_low(nullptr, (method)run_on_main, gensym(line.c_str()), 0, nullptr);
        return;
    }
    std::vector<t_atom> message = host_parse_atoms(line);
    message.erase(message.begin());
    host_send_to(words[0], message);
}

void scheduler_thread()
{
    on_scheduler_thread = true;
    std::unique_lock<std::mutex> lock(scheduler_mutex);
    for (;;) {
        scheduler_work.wait(lock, [] { return !lines.empty(); });
        std::string line = lines.front();
        lines.pop_front();
        running_line = true;
        lock.unlock();
        run_line(line);
        lock.lock();
        running_line = false;
        host_wake_main();
    }
}

} // namespace

std::string host_scheduler_line(const std::vector<std::string> &words, const std::string &line)
{
    if (words.empty() || (!is_buffer_edit(words[0]) && (words.size() < 2 || !host_instance(words[0]))))
        return "the second thread runs a message to an instance, buffer~, fill or delete";
    std::lock_guard<std::mutex> lock(scheduler_mutex);
    if (!started) {
        std::thread(scheduler_thread).detach();
        started = true;
    }
    lines.push_back(line);
    scheduler_work.notify_one();
    return "";
}

bool host_scheduler_idle()
{
    std::lock_guard<std::mutex> lock(scheduler_mutex);
    return lines.empty() && !running_line;
}

bool host_scheduler_take_failure()
{
    return failed.exchange(false);
}

bool host_on_scheduler_thread()
{
    return on_scheduler_thread;
}
