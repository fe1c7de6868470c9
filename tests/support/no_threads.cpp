// Preloaded into the program (LD_PRELOAD) to refuse every new thread, as a
// process limit or a lack of memory would.
#include <pthread.h>

#include <cerrno>

extern "C" int pthread_create(pthread_t*, const pthread_attr_t*, void* (*)(void*), void*) { return EAGAIN; }
