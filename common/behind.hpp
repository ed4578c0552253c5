// A second thread that takes jobs in the order given while the caller goes
// on: a hash beside a copy, or the digests of some of a bundle's pieces
// while the caller reads and hashes the others. It holds a few jobs at
// once, so that the caller can hand it the next before it has finished the
// last. The thread is started at the first job and kept until the
// object's end; between jobs both threads spin rather than sleep, since
// waking a sleeping core costs more than a piece's hash (on a two-core
// virtual machine a thread started for each job left each core idle half
// the time). A spin gives up its core after a while, so that one core is
// not taken from the other's work.
#pragma once

#include <array>
#include <atomic>
#include <cstdint>

#include "platform.hpp"

class Behind {
public:
    // The most jobs it holds at once.
    static constexpr unsigned kDepth = 4;

    Behind() = default;
    ~Behind();
    Behind(const Behind&) = delete;
    Behind& operator=(const Behind&) = delete;

    // run -- job(arg) on the second thread, after those given before it,
    // once it holds fewer than kDepth; here, at once, where no thread can
    // be had. Its number: jobs are numbered 1, 2, ... as given.
    std::uint64_t run(void (*job)(void* arg), void* arg);
    // wait -- every job given is done
    void wait();
    // full -- whether it holds kDepth jobs not yet done
    bool full() const { return given_ - done_.load(std::memory_order_acquire) >= kDepth; }
    // done -- whether job number n is done
    bool done(std::uint64_t n) const { return done_.load(std::memory_order_acquire) >= n; }

private:
    static void loop(void* self);
    struct Job {
        void (*job)(void*) = nullptr;
        void* arg = nullptr;
    };
    std::array<Job, kDepth> jobs_{};
    std::uint64_t given_ = 0;                 // written by the caller alone
    std::atomic<std::uint64_t> queued_{0};    // jobs the second thread may take
    std::atomic<std::uint64_t> done_{0};      // jobs it has done
    std::atomic<bool> stop_{false};
    platform::Thread* thread_ = nullptr;
    bool asked_ = false;  // whether a thread was asked for
};
