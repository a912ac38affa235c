#pragma once

// Clang's thread-safety attributes, which let the compiler check the locking
// rules (clang++ -Wthread-safety); other compilers see nothing. The rules
// they state for this driver are listed in log/ExportFrame.h.
//
// CAPABILITY           a type is a lock
// SCOPED_CAPABILITY    a type holds (or lets go of) a lock for its lifetime
// GUARDED_BY(m)        a member is read and written only while m is held
// PT_GUARDED_BY(m)     what a pointer member points to is, likewise
// REQUIRES(m)          a function's caller holds m
// EXCLUDES(m)          a function's caller must not hold m: the function
//                      waits for a thread that may need m, or runs host code
// ACQUIRE / RELEASE    a function takes or lets go of m
// NO_THREAD_SAFETY_ANALYSIS
//                      the analysis skips a function; always with a comment
//                      that says why it cannot follow it
#if defined(__clang__)
#define ZAVADED_THREAD_ATTRIBUTE(x) __attribute__((x))
#else
#define ZAVADED_THREAD_ATTRIBUTE(x)
#endif

#define CAPABILITY(name) ZAVADED_THREAD_ATTRIBUTE(capability(name))
#define SCOPED_CAPABILITY ZAVADED_THREAD_ATTRIBUTE(scoped_lockable)
#define GUARDED_BY(m) ZAVADED_THREAD_ATTRIBUTE(guarded_by(m))
#define PT_GUARDED_BY(m) ZAVADED_THREAD_ATTRIBUTE(pt_guarded_by(m))
#define REQUIRES(...) ZAVADED_THREAD_ATTRIBUTE(requires_capability(__VA_ARGS__))
#define EXCLUDES(...) ZAVADED_THREAD_ATTRIBUTE(locks_excluded(__VA_ARGS__))
#define ACQUIRE(...) ZAVADED_THREAD_ATTRIBUTE(acquire_capability(__VA_ARGS__))
#define RELEASE(...) ZAVADED_THREAD_ATTRIBUTE(release_capability(__VA_ARGS__))
#define TRY_ACQUIRE(...) ZAVADED_THREAD_ATTRIBUTE(try_acquire_capability(__VA_ARGS__))
#define NO_THREAD_SAFETY_ANALYSIS ZAVADED_THREAD_ATTRIBUTE(no_thread_safety_analysis)
#define RETURN_CAPABILITY(x) ZAVADED_THREAD_ATTRIBUTE(lock_returned(x))
