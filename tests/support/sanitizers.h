#pragma once
// Whether the test runs under AddressSanitizer, whose frames and allocations
// are several times larger: limits a test sets on stack or memory make room.

#if defined(__has_feature)
#if __has_feature(address_sanitizer)
#define PARLOWEN_UNDER_ADDRESS_SANITIZER 1
#endif
#elif defined(__SANITIZE_ADDRESS__)
#define PARLOWEN_UNDER_ADDRESS_SANITIZER 1
#endif
