#include "sha256.hpp"

#include <algorithm>
#include <cstring>

#include "sha256_blocks.hpp"

#if defined(BNDTOOLS_HAVE_SHA_NI)
#include <cpuid.h>
#include <immintrin.h>
#endif

namespace {

constexpr std::size_t kBlock = 64;

// The first 32 bits of the fractional parts of the cube roots of the
// first 64 primes.
constexpr std::uint32_t kRound[64] = {
    0x428a2f98, 0x71374491, 0xb5c0fbcf, 0xe9b5dba5, 0x3956c25b, 0x59f111f1, 0x923f82a4, 0xab1c5ed5,
    0xd807aa98, 0x12835b01, 0x243185be, 0x550c7dc3, 0x72be5d74, 0x80deb1fe, 0x9bdc06a7, 0xc19bf174,
    0xe49b69c1, 0xefbe4786, 0x0fc19dc6, 0x240ca1cc, 0x2de92c6f, 0x4a7484aa, 0x5cb0a9dc, 0x76f988da,
    0x983e5152, 0xa831c66d, 0xb00327c8, 0xbf597fc7, 0xc6e00bf3, 0xd5a79147, 0x06ca6351, 0x14292967,
    0x27b70a85, 0x2e1b2138, 0x4d2c6dfc, 0x53380d13, 0x650a7354, 0x766a0abb, 0x81c2c92e, 0x92722c85,
    0xa2bfe8a1, 0xa81a664b, 0xc24b8b70, 0xc76c51a3, 0xd192e819, 0xd6990624, 0xf40e3585, 0x106aa070,
    0x19a4c116, 0x1e376c08, 0x2748774c, 0x34b0bcb5, 0x391c0cb3, 0x4ed8aa4a, 0x5b9cca4f, 0x682e6ff3,
    0x748f82ee, 0x78a5636f, 0x84c87814, 0x8cc70208, 0x90befffa, 0xa4506ceb, 0xbef9a3f7, 0xc67178f2,
};

// The first 32 bits of the fractional parts of the square roots of the
// first eight primes.
constexpr std::array<std::uint32_t, 8> kInitial = {0x6a09e667, 0xbb67ae85, 0x3c6ef372, 0xa54ff53a,
                                                   0x510e527f, 0x9b05688c, 0x1f83d9ab, 0x5be0cd19};

constexpr std::uint32_t rotr(std::uint32_t x, unsigned n)
{
    return x >> n | x << (32 - n);
}

std::uint32_t be32(const std::uint8_t* p)
{
    return static_cast<std::uint32_t>(p[0]) << 24 | static_cast<std::uint32_t>(p[1]) << 16 |
           static_cast<std::uint32_t>(p[2]) << 8 | p[3];
}

#if defined(BNDTOOLS_HAVE_SHA_NI)

// has_sha_instructions -- the SHA extensions, and the SSSE3 and SSE4.1
// shuffles and blends their use needs
bool has_sha_instructions()
{
    unsigned a = 0, b = 0, c = 0, d = 0;
    if (!__get_cpuid(1, &a, &b, &c, &d))
        return false;
    const bool ssse3 = c & (1u << 9), sse41 = c & (1u << 19);
    if (!__get_cpuid_count(7, 0, &a, &b, &c, &d))
        return false;
    return ssse3 && sse41 && (b & (1u << 29));
}

// blocks_ni -- the compression function by the SHA extensions: four rounds
// for each group of four message words, the next groups' words made by
// the message instructions as the rounds go
__attribute__((target("sha,ssse3,sse4.1"))) void blocks_ni(std::uint32_t state[8], const std::uint8_t* data,
                                                             std::size_t blocks)
{
    const __m128i big_endian = _mm_set_epi64x(0x0c0d0e0f08090a0bLL, 0x0405060700010203LL);
    // The state as the round instruction takes it: ABEF and CDGH.
    __m128i cdab = _mm_shuffle_epi32(_mm_loadu_si128(reinterpret_cast<const __m128i*>(&state[0])), 0xB1);
    __m128i efgh = _mm_shuffle_epi32(_mm_loadu_si128(reinterpret_cast<const __m128i*>(&state[4])), 0x1B);
    __m128i abef = _mm_alignr_epi8(cdab, efgh, 8);
    __m128i cdgh = _mm_blend_epi16(efgh, cdab, 0xF0);
    for (; blocks > 0; --blocks, data += kBlock) {
        const __m128i abef_was = abef, cdgh_was = cdgh;
        __m128i w[4];
        for (int g = 0; g < 4; ++g)
            w[g] = _mm_shuffle_epi8(_mm_loadu_si128(reinterpret_cast<const __m128i*>(data + 16 * g)), big_endian);
        for (int g = 0; g < 16; ++g) {
            __m128i wk = _mm_add_epi32(w[g % 4], _mm_loadu_si128(reinterpret_cast<const __m128i*>(&kRound[4 * g])));
            cdgh = _mm_sha256rnds2_epu32(cdgh, abef, wk);
            if (g < 12) {  // words 4g + 16 to 4g + 19, in the place of those just used
                const __m128i back7 = _mm_alignr_epi8(w[(g + 3) % 4], w[(g + 2) % 4], 4);
                const __m128i part = _mm_add_epi32(_mm_sha256msg1_epu32(w[g % 4], w[(g + 1) % 4]), back7);
                w[g % 4] = _mm_sha256msg2_epu32(part, w[(g + 3) % 4]);
            }
            wk = _mm_shuffle_epi32(wk, 0x0E);
            abef = _mm_sha256rnds2_epu32(abef, cdgh, wk);
        }
        abef = _mm_add_epi32(abef, abef_was);
        cdgh = _mm_add_epi32(cdgh, cdgh_was);
    }
    const __m128i feba = _mm_shuffle_epi32(abef, 0x1B);
    const __m128i dchg = _mm_shuffle_epi32(cdgh, 0xB1);
    _mm_storeu_si128(reinterpret_cast<__m128i*>(&state[0]), _mm_blend_epi16(feba, dchg, 0xF0));
    _mm_storeu_si128(reinterpret_cast<__m128i*>(&state[4]), _mm_alignr_epi8(dchg, feba, 8));
}

const bool kUseInstructions = has_sha_instructions();

#else

constexpr bool kUseInstructions = false;

#endif

}  // namespace

void sha256_blocks_plain(std::uint32_t state[8], const std::uint8_t* data, std::size_t blocks)
{
    for (; blocks > 0; --blocks, data += kBlock) {
        std::uint32_t w[64];
        for (int t = 0; t < 16; ++t)
            w[t] = be32(data + 4 * t);
        for (int t = 16; t < 64; ++t) {
            const std::uint32_t s0 = rotr(w[t - 15], 7) ^ rotr(w[t - 15], 18) ^ (w[t - 15] >> 3);
            const std::uint32_t s1 = rotr(w[t - 2], 17) ^ rotr(w[t - 2], 19) ^ (w[t - 2] >> 10);
            w[t] = w[t - 16] + s0 + w[t - 7] + s1;
        }
        std::uint32_t a = state[0], b = state[1], c = state[2], d = state[3];
        std::uint32_t e = state[4], f = state[5], g = state[6], h = state[7];
        for (int t = 0; t < 64; ++t) {
            const std::uint32_t t1 = h + (rotr(e, 6) ^ rotr(e, 11) ^ rotr(e, 25)) + ((e & f) ^ (~e & g)) + kRound[t] + w[t];
            const std::uint32_t t2 = (rotr(a, 2) ^ rotr(a, 13) ^ rotr(a, 22)) + ((a & b) ^ (a & c) ^ (b & c));
            h = g;
            g = f;
            f = e;
            e = d + t1;
            d = c;
            c = b;
            b = a;
            a = t1 + t2;
        }
        state[0] += a;
        state[1] += b;
        state[2] += c;
        state[3] += d;
        state[4] += e;
        state[5] += f;
        state[6] += g;
        state[7] += h;
    }
}

void sha256_blocks(std::uint32_t state[8], const std::uint8_t* data, std::size_t blocks)
{
#if defined(BNDTOOLS_HAVE_SHA_NI)
    if (kUseInstructions) {
        blocks_ni(state, data, blocks);
        return;
    }
#endif
    sha256_blocks_plain(state, data, blocks);
}

bool sha256_has_instructions()
{
    return kUseInstructions;
}

Sha256::Sha256() : state_(kInitial) {}

void Sha256::update(std::span<const std::uint8_t> data)
{
    if (data.empty())
        return;  // an empty span may have no address, which memcpy must not be given
    length_ += data.size();
    if (filled_ > 0) {
        const std::size_t take = std::min(kBlock - filled_, data.size());
        std::memcpy(block_.data() + filled_, data.data(), take);
        filled_ += take;
        data = data.subspan(take);
        if (filled_ < kBlock)
            return;
        sha256_blocks(state_.data(), block_.data(), 1);
        filled_ = 0;
    }
    const std::size_t whole = data.size() / kBlock;
    if (whole > 0)
        sha256_blocks(state_.data(), data.data(), whole);
    data = data.subspan(whole * kBlock);
    if (!data.empty())
        std::memcpy(block_.data(), data.data(), data.size());
    filled_ = data.size();
}

Digest Sha256::finish()
{
    // The message, a 1 bit, zeros, and its length in bits in the last
    // eight bytes of a block.
    const std::uint64_t bits = length_ * 8;
    block_[filled_++] = 0x80;
    if (filled_ > kBlock - 8) {
        std::fill(block_.begin() + static_cast<std::ptrdiff_t>(filled_), block_.end(), 0);
        sha256_blocks(state_.data(), block_.data(), 1);
        filled_ = 0;
    }
    std::fill(block_.begin() + static_cast<std::ptrdiff_t>(filled_), block_.end() - 8, 0);
    for (int i = 0; i < 8; ++i)
        block_[kBlock - 1 - i] = static_cast<std::uint8_t>(bits >> (8 * i));
    sha256_blocks(state_.data(), block_.data(), 1);
    Digest d;
    for (int i = 0; i < 8; ++i)
        for (int b = 0; b < 4; ++b)
            d[4 * i + b] = static_cast<std::uint8_t>(state_[i] >> (24 - 8 * b));
    return d;
}

Digest sha256(std::span<const std::uint8_t> data)
{
    Sha256 h;
    h.update(data);
    return h.finish();
}

namespace {

// Fewer bytes than this hash in less time than handing them over takes.
constexpr std::size_t kWorthAThread = 64 * 1024;

}  // namespace

void HashBehind::run(void* self)
{
    HashBehind* h = static_cast<HashBehind*>(self);
    h->hash_.update(h->data_);
}

void HashBehind::feed(std::span<const std::uint8_t> data)
{
    wait();  // in the order given
    data_ = data;
    if (data.size() >= kWorthAThread)
        behind_.run(run, this);
    else
        hash_.update(data);
}

void HashBehind::wait()
{
    behind_.wait();
}

void DigestBehind::run(void* job)
{
    const Job* j = static_cast<const Job*>(job);
    *j->out = sha256(j->data);
}

std::uint64_t DigestBehind::take(std::span<const std::uint8_t> data, Digest* out)
{
    if (data.size() < kWorthAThread || behind_.full()) {
        *out = sha256(data);
        return 0;
    }
    Job& job = jobs_[given_++ % Behind::kDepth];  // the one kDepth before it is done: there was room
    job = Job{data, out};
    return behind_.run(run, &job);
}

void DigestBehind::wait()
{
    behind_.wait();
}
