// Whether the tests run under AddressSanitizer, whose bookkeeping changes
// what memory and time figures mean (gcc names it one way, clang another).
#pragma once

#if defined(__has_feature)
#if __has_feature(address_sanitizer)
#define QEL_TEST_SANITIZED 1
#endif
#endif
#if defined(__SANITIZE_ADDRESS__) || defined(QEL_TEST_SANITIZED)
constexpr bool SanitizedBuild = true;
#else
constexpr bool SanitizedBuild = false;
#endif
