// The parts of C++20 the tools use that the C++ library of the page's build
// (libc++ 14, as Debian ships it for wasm32) lacks, each as the standard
// states it. The build puts this header before every file of the page's.
#pragma once

#include <algorithm>
#include <memory>
#include <type_traits>

#if defined(_LIBCPP_VERSION) && _LIBCPP_VERSION < 15000

namespace std {

// make_unique_for_overwrite -- an array whose elements are
// default-initialised, not zeroed
template <typename T>
    requires is_unbounded_array_v<T>
unique_ptr<T> make_unique_for_overwrite(size_t n)
{
    return unique_ptr<T>(new remove_extent_t<T>[n]);
}

namespace ranges {

// reverse, find and equal over a whole range
template <typename R>
void reverse(R&& r)
{
    std::reverse(std::begin(r), std::end(r));
}

template <typename R, typename V>
auto find(R&& r, const V& value)
{
    return std::find(std::begin(r), std::end(r), value);
}

template <typename A, typename B>
bool equal(A&& a, B&& b)
{
    return std::equal(std::begin(a), std::end(a), std::begin(b), std::end(b));
}

}  // namespace ranges

}  // namespace std

#endif
