#pragma once
// Whether the tests run under AddressSanitizer, which keeps freed memory in quarantine and
// reserves far more address space than the process uses: checks of a process's memory say
// nothing there.

namespace varnel::test {

#if defined(__SANITIZE_ADDRESS__)
inline constexpr bool kUnderAddressSanitizer = true;
#elif defined(__has_feature)
#if __has_feature(address_sanitizer)
inline constexpr bool kUnderAddressSanitizer = true;
#else
inline constexpr bool kUnderAddressSanitizer = false;
#endif
#else
inline constexpr bool kUnderAddressSanitizer = false;
#endif

}  // namespace varnel::test
