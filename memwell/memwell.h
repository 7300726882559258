#ifndef VARNEL_MEMWELL_MEMWELL_H
#define VARNEL_MEMWELL_MEMWELL_H
/*
 * Memwell: one process-wide pool of 1024 equal blocks, shared by the program and its
 * plug-ins. The image core keeps its 16 x 16 tile backups here (a block of 1032 bytes holds
 * one), so taking and returning a backup costs a push or a pop instead of a malloc.
 *
 * Blocks are handed out last-in first-out. When the pool is exhausted FXAlloc falls back to
 * malloc, and FXFree hands such blocks back to free(), so callers never need to know where a
 * block came from. Usable from C and C++.
 */

#include <stdint.h>

#define MEMWELL_API __attribute__((visibility("default")))

#ifdef __cplusplus
extern "C" {
#endif

/* Creates the pool of 1024 blocks of blockSize bytes. Only the first successful call
 * creates it; later calls, and sizes below 1 or too large for 1024 x blockSize to fit in
 * 32 bits, leave things as they are. Always answers 0. */
MEMWELL_API int32_t FXCreateMemBlock(int32_t blockSize);

/* A block of the pool's block size, its content left as it was. NULL while no pool has
 * been created. */
MEMWELL_API void* FXAlloc(void);

/* Up to count blocks at once into blocks[0…], as count calls of FXAlloc would give them but
 * taking the pool's lock once. Answers how many were taken: fewer when the system runs out
 * of memory, 0 while no pool has been created. */
MEMWELL_API int32_t FXAllocBlocks(void** blocks, int32_t count);

/* Returns a block taken with FXAlloc or FXAllocBlocks. NULL is ignored. Always answers 0. */
MEMWELL_API int32_t FXFree(void* block);

#ifdef __cplusplus
}
#endif

#endif /* VARNEL_MEMWELL_MEMWELL_H */
