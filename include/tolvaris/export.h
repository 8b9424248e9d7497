#ifndef TOLVARIS_EXPORT_H
#define TOLVARIS_EXPORT_H

/* Every function of the public headers is declared with TOLVARIS_API: C linkage
 * and default visibility. Everything else in the library is hidden. */
#if defined(__GNUC__)
#define TOLVARIS_VISIBLE __attribute__((visibility("default")))
#else
#define TOLVARIS_VISIBLE
#endif

#ifdef __cplusplus
#define TOLVARIS_EXTERN_C extern "C"
#else
#define TOLVARIS_EXTERN_C
#endif

#define TOLVARIS_API TOLVARIS_EXTERN_C TOLVARIS_VISIBLE

#endif
