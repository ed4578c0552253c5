#include "behind.hpp"

#include <thread>

namespace {

// How many turns a spin takes before it lets the core go for a while.
constexpr int kSpinsBeforeYield = 1 << 12;

// spin_until -- wait, spinning, until `ready` says so
template <typename Ready>
void spin_until(const Ready& ready)
{
    for (int turns = 0; !ready(); ++turns)
        if (turns >= kSpinsBeforeYield)
            std::this_thread::yield();
}

}  // namespace

void Behind::loop(void* self)
{
    Behind* b = static_cast<Behind*>(self);
    for (std::uint64_t next = 0;; ++next) {
        spin_until([&] { return b->queued_.load(std::memory_order_acquire) > next || b->stop_.load(std::memory_order_acquire); });
        if (b->queued_.load(std::memory_order_acquire) <= next)
            return;  // stopped, with nothing left to do
        const Job job = b->jobs_[next % kDepth];
        job.job(job.arg);
        b->done_.store(next + 1, std::memory_order_release);
    }
}

std::uint64_t Behind::run(void (*job)(void*), void* arg)
{
    if (!asked_) {
        asked_ = true;
        thread_ = platform::start_thread(loop, this);
    }
    if (!thread_) {
        job(arg);  // no thread to be had: the job is done here
        done_.store(++given_, std::memory_order_release);
        return given_;
    }
    spin_until([&] { return !full(); });  // room for one more, the slot kDepth jobs before it free
    ++given_;
    jobs_[(given_ - 1) % kDepth] = Job{job, arg};
    queued_.store(given_, std::memory_order_release);
    return given_;
}

void Behind::wait()
{
    spin_until([&] { return done(given_); });
}

Behind::~Behind()
{
    wait();
    if (!thread_)
        return;
    stop_.store(true, std::memory_order_release);
    platform::join_thread(thread_);
}
