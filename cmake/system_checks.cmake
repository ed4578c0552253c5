# What the system and the processor offer beyond POSIX and plain C++, found
# when the build is configured.
# Each check defines BNDTOOLS_HAVE_<NAME> on the library when it passes;
# without any of them the platform layer uses plain POSIX calls.
# BNDTOOLS_FORCE_PORTABLE takes every one of them as absent, so that a
# build on Linux runs the fallbacks for real.
include(CheckCXXSourceCompiles)

option(BNDTOOLS_FORCE_PORTABLE "Take every system-specific call as absent and use the POSIX fallbacks" OFF)

set(bndtools_system_definitions)

# bndtools_check -- compile a small program; on success, define the name
function(bndtools_check name source)
  if(BNDTOOLS_FORCE_PORTABLE)
    message(STATUS "System check ${name}: taken as absent (BNDTOOLS_FORCE_PORTABLE)")
    return()
  endif()
  check_cxx_source_compiles("${source}" BNDTOOLS_HAVE_${name})
  if(BNDTOOLS_HAVE_${name})
    list(APPEND bndtools_system_definitions BNDTOOLS_HAVE_${name})
    set(bndtools_system_definitions "${bndtools_system_definitions}" PARENT_SCOPE)
  endif()
endfunction()

if(NOT WIN32)
  # Linux: a rename that refuses to replace, and one that exchanges two names.
  bndtools_check(RENAMEAT2 [=[
    #include <cstdio>
    #include <fcntl.h>
    int main() { return renameat2(AT_FDCWD, "a", AT_FDCWD, "b", RENAME_NOREPLACE | RENAME_EXCHANGE); }
  ]=])
  # Linux: writing a range of a file out now, without waiting for it.
  bndtools_check(SYNC_FILE_RANGE [=[
    #include <fcntl.h>
    int main() { return sync_file_range(0, 0, 0, SYNC_FILE_RANGE_WRITE); }
  ]=])
  # macOS: the same, under other names.
  bndtools_check(RENAMEX_NP [=[
    #include <cstdio>
    int main() { return renamex_np("a", "b", RENAME_EXCL | RENAME_SWAP); }
  ]=])
endif()

# The x86 SHA extensions, for SHA-256 at several times the speed of plain
# code; whether the processor has them is asked when the program starts.
bndtools_check(SHA_NI [=[
  #include <cpuid.h>
  #include <immintrin.h>
  __attribute__((target("sha,ssse3,sse4.1"))) int f(__m128i a, __m128i b)
  {
      return _mm_cvtsi128_si32(_mm_sha256rnds2_epu32(a, b, _mm_shuffle_epi8(a, b)));
  }
  int main()
  {
      unsigned a, b, c, d;
      return __get_cpuid_count(7, 0, &a, &b, &c, &d) + f(_mm_set1_epi32(1), _mm_set1_epi32(2));
  }
]=])

# x86 vector instructions, for a two-instruction rotation of the compressor's
# cost vectors; without them the compiler's generic shuffle does the same.
bndtools_check(SSE2 [=[
  #include <emmintrin.h>
  #ifndef __SSE2__
  #error no SSE2
  #endif
  int main() { return _mm_cvtsi128_si32(_mm_srli_si128(_mm_set1_epi32(1), 4)); }
]=])
