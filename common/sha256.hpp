// SHA-256 (FIPS 180-4), the hash the split record and the rebuild compare
// files by. Fed in pieces of any size, as the bytes are copied, so that
// the data is read once.
#pragma once

#include <array>
#include <cstddef>
#include <cstdint>
#include <span>
#include <string>
#include <string_view>

#include "behind.hpp"
#include "platform.hpp"

using Digest = std::array<std::uint8_t, 32>;

class Sha256 {
public:
    Sha256();
    // update -- more of the message
    void update(std::span<const std::uint8_t> data);
    // finish -- the digest of everything given; the object is spent
    Digest finish();

private:
    std::array<std::uint32_t, 8> state_;
    std::array<std::uint8_t, 64> block_{};
    std::size_t filled_ = 0;   // bytes of block_ in use
    std::uint64_t length_ = 0; // bytes given in all
};

// sha256 -- the digest of one buffer
Digest sha256(std::span<const std::uint8_t> data);

// A Sha256 fed on a second thread while the caller goes on with the same
// bytes (a copy hashes its data twice, as a whole and piece by piece: on
// two cores that costs one hash's time). Each span given must stay as it
// is until the next feed, wait or the object's end; feeds are hashed in
// the order given. Where no thread can be started, bytes are hashed at once.
class HashBehind {
public:
    explicit HashBehind(Sha256& hash) : hash_(hash) {}
    ~HashBehind() = default;
    HashBehind(const HashBehind&) = delete;
    HashBehind& operator=(const HashBehind&) = delete;
    // feed -- these bytes next, once the earlier ones are hashed
    void feed(std::span<const std::uint8_t> data);
    // wait -- every byte fed is hashed
    void wait();

private:
    static void run(void* self);
    Sha256& hash_;
    std::span<const std::uint8_t> data_;
    Behind behind_;
};

// The SHA-256s of spans taken by two threads: the digests of a bundle's
// pieces are independent, so two cores take them in about half the time.
// Each span goes to the second thread where that holds fewer than it can,
// and is hashed by the caller where it does not, so that neither waits on
// the other. A span the second thread took, and its digest, must stay
// until it is done (see done) or the object's end. Where no thread can be
// started, every digest is taken by the caller.
class DigestBehind {
public:
    DigestBehind() = default;
    ~DigestBehind() = default;
    DigestBehind(const DigestBehind&) = delete;
    DigestBehind& operator=(const DigestBehind&) = delete;
    // take -- the digest of data into *out: by the second thread where it
    // has room (the job's number), or here (0)
    std::uint64_t take(std::span<const std::uint8_t> data, Digest* out);
    // done -- whether the job of that number is done (0: one done here)
    bool done(std::uint64_t job) const { return behind_.done(job); }
    // wait -- every digest given is taken
    void wait();

private:
    static void run(void* job);
    struct Job {
        std::span<const std::uint8_t> data;
        Digest* out = nullptr;
    };
    std::array<Job, Behind::kDepth> jobs_{};
    std::uint64_t given_ = 0;
    Behind behind_;
};
