/*
 * The PNG writer of the OpenRaster plug-in. Saving a document encodes every layer at canvas
 * size, and zlib's deflate, even at level 1 with run-length matches only, manages about
 * 250 MB/s: ten 2048 x 2048 layers took half a second. Painted layers are mostly runs of one
 * byte (transparency, flat colour after the Sub filter) and small differences, so this writer
 * does only what pays on them: the Sub filter, matches at distance 1 found a word at a time,
 * and a Huffman code of its own for every block. A block that would not shrink is stored.
 * Reading stays with libpng.
 */

#include <stdlib.h>
#include <string.h>
#include <libdeflate.h>
#ifdef __SSE2__
#include <emmintrin.h>
#endif

#include "plugins/ora/ora_png.h"

enum {
  kLitLenSymbols = 286,
  kMaxCodeBits = 15,
  kMaxCodeLengthBits = 7,
  kCodeLengthSymbols = 19,
  kMaxMatch = 258,
  kMinMatch = 3,
  kEndOfBlock = 256,
  /* Filtered bytes a block holds at most (whole rows; one row when a row is longer). */
  kBlockBytes = 256 * 1024,
  kMaxStored = 65535
};

/* What a match of each length costs: its symbol, and the extra bits after it. */
typedef struct LengthCode {
  uint16_t symbol;
  uint8_t extraBits;
  uint16_t extra;
} LengthCode;

static void MakeLengthCodes(LengthCode* codes) {
  static const uint16_t kBase[29] = {3,  4,  5,  6,  7,  8,  9,  10, 11,  13,  15,  17,  19,  23, 27,
                                     31, 35, 43, 51, 59, 67, 83, 99, 115, 131, 163, 195, 227, 258};
  static const uint8_t kExtra[29] = {0, 0, 0, 0, 0, 0, 0, 0, 1, 1, 1, 1, 2, 2, 2, 2, 3, 3, 3, 3, 4, 4, 4, 4, 5, 5, 5, 5, 0};
  int symbol = 0;
  int length;
  for (length = kMinMatch; length <= kMaxMatch; ++length) {
    /* 258 has a symbol of its own, though 227 + 31 would also reach it. */
    while (symbol < 28 && length >= kBase[symbol + 1]) ++symbol;
    codes[length].symbol = (uint16_t)(257 + symbol);
    codes[length].extraBits = kExtra[symbol];
    codes[length].extra = (uint16_t)(length - kBase[symbol]);
  }
}

typedef struct Code {
  uint16_t bits; /* bit-reversed, as deflate writes codes from their first bit */
  uint8_t length;
} Code;

typedef struct SymbolCount {
  uint32_t count;
  uint16_t symbol;
} SymbolCount;

static int ByCount(const void* a, const void* b) {
  const SymbolCount* x = (const SymbolCount*)a;
  const SymbolCount* y = (const SymbolCount*)b;
  if (x->count != y->count) return x->count < y->count ? -1 : 1;
  return x->symbol < y->symbol ? -1 : 1;
}

/* Code lengths of a minimum-redundancy code over the counts, sorted ascending, computed in
 * place (Moffat and Katajainen): afterwards a[i].count is the length of a[i]'s code. */
static void MinimumRedundancy(SymbolCount* a, int n) {
  int root;
  int leaf;
  int next;
  int available;
  int used;
  int depth;
  if (n == 1) {
    a[0].count = 1;
    return;
  }
  a[0].count += a[1].count;
  root = 0;
  leaf = 2;
  for (next = 1; next < n - 1; ++next) {
    if (leaf >= n || a[root].count < a[leaf].count) {
      a[next].count = a[root].count;
      a[root++].count = (uint32_t)next;
    } else {
      a[next].count = a[leaf++].count;
    }
    if (leaf >= n || (root < next && a[root].count < a[leaf].count)) {
      a[next].count += a[root].count;
      a[root++].count = (uint32_t)next;
    } else {
      a[next].count += a[leaf++].count;
    }
  }
  a[n - 2].count = 0;
  for (next = n - 3; next >= 0; --next) a[next].count = a[a[next].count].count + 1;
  available = 1;
  used = depth = 0;
  root = n - 2;
  next = n - 1;
  while (available > 0) {
    while (root >= 0 && (int)a[root].count == depth) {
      ++used;
      --root;
    }
    while (available > used) {
      a[next--].count = (uint32_t)depth;
      --available;
    }
    available = 2 * used;
    ++depth;
    used = 0;
  }
}

static uint16_t Reverse(uint32_t code, int length) {
  uint32_t reversed = 0;
  int i;
  for (i = 0; i < length; ++i) {
    reversed = reversed << 1 | (code & 1u);
    code >>= 1;
  }
  return (uint16_t)reversed;
}

/* A canonical Huffman code for counts[0..n), no code longer than maxBits. Symbols never seen
 * get no code; when fewer than two are seen, the code is padded to two so it stays complete. */
static void BuildCode(const uint32_t* counts, int n, int maxBits, Code* codes) {
  SymbolCount sorted[kLitLenSymbols];
  int lengthsUsed[kLitLenSymbols + 1];
  uint32_t nextCode[kMaxCodeBits + 2];
  int seen = 0;
  int i;
  int length;
  memset(codes, 0, sizeof *codes * (size_t)n);
  for (i = 0; i < n; ++i)
    if (counts[i] != 0) {
      sorted[seen].count = counts[i];
      sorted[seen++].symbol = (uint16_t)i;
    }
  for (i = 0; seen < 2; ++i)
    if (counts[i] == 0) {
      sorted[seen].count = 1;
      sorted[seen++].symbol = (uint16_t)i;
    }
  qsort(sorted, (size_t)seen, sizeof *sorted, ByCount);
  MinimumRedundancy(sorted, seen);

  /* Fold lengths past maxBits back in, then lengthen the shortest codes the fold overfilled
   * until the code is complete again. */
  memset(lengthsUsed, 0, sizeof lengthsUsed);
  for (i = 0; i < seen; ++i) ++lengthsUsed[sorted[i].count < (uint32_t)maxBits ? sorted[i].count : (uint32_t)maxBits];
  {
    uint32_t total = 0;
    for (length = maxBits; length > 0; --length) total += (uint32_t)lengthsUsed[length] << (maxBits - length);
    while (total > (1u << maxBits)) {
      --lengthsUsed[maxBits];
      for (length = maxBits - 1; length > 0; --length)
        if (lengthsUsed[length] != 0) {
          --lengthsUsed[length];
          lengthsUsed[length + 1] += 2;
          break;
        }
      --total;
    }
  }
  /* The rarest symbols take the longest codes. */
  i = 0;
  for (length = maxBits; length > 0; --length) {
    int k;
    for (k = 0; k < lengthsUsed[length]; ++k) codes[sorted[i++].symbol].length = (uint8_t)length;
  }

  memset(nextCode, 0, sizeof nextCode);
  {
    uint32_t code = 0;
    int count[kMaxCodeBits + 1];
    memset(count, 0, sizeof count);
    for (i = 0; i < n; ++i) ++count[codes[i].length];
    count[0] = 0;
    for (length = 1; length <= maxBits; ++length) {
      code = (code + (uint32_t)count[length - 1]) << 1;
      nextCode[length] = code;
    }
  }
  for (i = 0; i < n; ++i)
    if (codes[i].length != 0) codes[i].bits = Reverse(nextCode[codes[i].length]++, codes[i].length);
}

/* Bits go out from the lowest. Every put stores the whole 64-bit word and keeps under a byte
 * back, so there is no branch on a full word; the caller makes room for a block before writing
 * it, and 16 bytes beyond. */
typedef struct BitWriter {
  unsigned char* out;
  size_t position;
  uint64_t bits;
  unsigned count;
} BitWriter;

static inline void Store64(unsigned char* p, uint64_t v) {
  /* Little-endian machines only, as deflate's bit order is. */
  memcpy(p, &v, 8);
}

/* count at most 32. */
static inline void PutBits(BitWriter* w, uint64_t value, unsigned count) {
  w->bits |= value << w->count;
  w->count += count;
  Store64(w->out + w->position, w->bits);
  w->position += w->count >> 3;
  w->bits >>= w->count & ~7u;
  w->count &= 7u;
}

/* Pads to a byte boundary; the partial byte is already in place. */
static void AlignBits(BitWriter* w) {
  if (w->count > 0) w->out[w->position++] = (unsigned char)w->bits;
  w->bits = 0;
  w->count = 0;
}

/* A run of one byte, repeating the byte before it. */
typedef struct Run {
  uint32_t start;
  uint32_t length;
} Run;

/* Runs shorter than this stay literals: in grain, a few equal bytes are common and cost less
 * as literals than as a match, and looking for them would cost more still. */
#define MIN_RUN 4

typedef struct Encoder {
  LengthCode lengths[kMaxMatch + 1];
  Run* runs;
  size_t runCount;
  uint32_t counts[kLitLenSymbols];
  uint64_t extraBits; /* the matches' extra bits and distance codes */
  int hasHistory;     /* a byte went before the block, so a run may start at its first */
  unsigned char last;
  BitWriter bits;
  OraBuffer* out;
} Encoder;

/* Splits a run into matches of 3 to 258 bytes; calls put for each length. */
#define FOR_EACH_MATCH(run, length, body)                              \
  do {                                                                 \
    size_t left_ = (run);                                              \
    while (left_ > 0) {                                                \
      size_t length = left_ < kMaxMatch ? left_ : kMaxMatch;           \
      /* Never leave a tail too short to be a match. */                \
      if (left_ != length && left_ - length < kMinMatch) length = left_ - kMinMatch; \
      body;                                                            \
      left_ -= length;                                                 \
    }                                                                  \
  } while (0)

/* Where a run of the byte before starts at data + i (at least MIN_RUN bytes), and how long. */
static inline size_t RunFrom(const unsigned char* data, size_t i, size_t size, unsigned char b) {
  const uint64_t pattern = (uint64_t)b * 0x0101010101010101ull;
  size_t j = i;
#ifdef __SSE2__
  const __m128i wide = _mm_set1_epi8((char)b);
  while (j + 16 <= size) {
    const unsigned same = (unsigned)_mm_movemask_epi8(
        _mm_cmpeq_epi8(_mm_loadu_si128((const __m128i*)(const void*)(data + j)), wide));
    if (same != 0xFFFFu) return j + (size_t)__builtin_ctz(~same) - i;
    j += 16;
  }
#endif
  while (j + 8 <= size) {
    uint64_t word;
    memcpy(&word, data + j, 8);
    word ^= pattern;
    if (word != 0) return j + ((size_t)__builtin_ctzll(word) >> 3) - i;
    j += 8;
  }
  while (j < size && data[j] == b) ++j;
  return j - i;
}

/* Counts bytes into four tables, so a byte that repeats does not wait on its own count. */
static void CountBytes(const unsigned char* data, size_t size, uint32_t (*spread)[256]) {
  size_t i;
  for (i = 0; i + 4 <= size; i += 4) {
    ++spread[0][data[i]];
    ++spread[1][data[i + 1]];
    ++spread[2][data[i + 2]];
    ++spread[3][data[i + 3]];
  }
  for (; i < size; ++i) ++spread[0][data[i]];
}

/* Finds the block's runs and counts the symbols its code must cover. */
static void Tokenize(Encoder* e, const unsigned char* data, size_t size) {
  uint32_t spread[4][256];
  size_t i;
  size_t at = 0;
  size_t r;
  e->runCount = 0;
  e->extraBits = 0;
  memset(e->counts, 0, sizeof e->counts);

  i = e->hasHistory ? 0 : 1;
  while (i + MIN_RUN <= size) {
    unsigned char b;
    size_t run;
#ifdef __SSE2__
    if (i >= 1 && i + 16 <= size) {
      /* Bit n: data[i + n] repeats the byte before it; a run starts where MIN_RUN such bits
       * follow one another. Where none starts, skip the 13 positions checked. */
      const __m128i here = _mm_loadu_si128((const __m128i*)(const void*)(data + i));
      const __m128i before = _mm_loadu_si128((const __m128i*)(const void*)(data + i - 1));
      const unsigned same = (unsigned)_mm_movemask_epi8(_mm_cmpeq_epi8(here, before));
      const unsigned starts = same & same >> 1 & same >> 2 & same >> 3 & 0x1FFFu;
      if (starts == 0) {
        i += 13;
        continue;
      }
      i += (size_t)__builtin_ctz(starts);
    }
#endif
    b = i > 0 ? data[i - 1] : e->last;
    run = RunFrom(data, i, size, b);
    if (run < MIN_RUN) {
      ++i;
      continue;
    }
    e->runs[e->runCount].start = (uint32_t)i;
    e->runs[e->runCount++].length = (uint32_t)run;
    FOR_EACH_MATCH(run, length, {
      ++e->counts[e->lengths[length].symbol];
      e->extraBits += e->lengths[length].extraBits + 1u;
    });
    i += run;
  }

  /* Only the literals between the runs are counted. */
  memset(spread, 0, sizeof spread);
  for (r = 0; r <= e->runCount; ++r) {
    const size_t end = r < e->runCount ? e->runs[r].start : size;
    CountBytes(data + at, end - at, spread);
    if (r < e->runCount) at = end + e->runs[r].length;
  }
  for (i = 0; i < 256; ++i) e->counts[i] = spread[0][i] + spread[1][i] + spread[2][i] + spread[3][i];
  ++e->counts[kEndOfBlock];
  if (size > 0) {
    e->last = data[size - 1];
    e->hasHistory = 1;
  }
}

/* Makes room for count more bytes after what the bit writer has written. */
static int Reserve(Encoder* e, size_t count) {
  OraBuffer* out = e->out;
  if (out->capacity - e->bits.position >= count) return 0;
  {
    size_t capacity = out->capacity;
    unsigned char* grown;
    while (capacity - e->bits.position < count) {
      if (capacity > SIZE_MAX / 2) return -1;
      capacity *= 2;
    }
    grown = (unsigned char*)realloc(out->data, capacity);
    if (grown == NULL) return -1;
    out->data = grown;
    out->capacity = capacity;
    e->bits.out = grown;
  }
  return 0;
}

static const uint8_t kCodeLengthOrder[kCodeLengthSymbols] = {16, 17, 18, 0, 8, 7, 9, 6, 10, 5, 11, 4, 12, 3, 13, 2, 14, 1, 15};

/* The code lengths of a block, run-length coded as deflate's header wants them. */
typedef struct Header {
  Code litLen[kLitLenSymbols];
  Code lengthCode[kCodeLengthSymbols];
  uint8_t symbol[kLitLenSymbols + 2];
  uint8_t extra[kLitLenSymbols + 2];
  int count;
  int litLenCodes;
  int lengthCodes;
  uint64_t bits;
} Header;

static void PushLength(Header* h, uint32_t* counts, int symbol, int extra) {
  h->symbol[h->count] = (uint8_t)symbol;
  h->extra[h->count++] = (uint8_t)extra;
  ++counts[symbol];
}

static unsigned ExtraBitsOf(int lengthSymbol) { return lengthSymbol == 16 ? 2u : lengthSymbol == 17 ? 3u : lengthSymbol == 18 ? 7u : 0u; }

/* The block's codes and the size of its header. Distances are all 1: two one-bit distance
 * codes, the second unused, keep the distance code complete. */
static void MakeHeader(const Encoder* e, Header* h) {
  uint8_t lengths[kLitLenSymbols + 2];
  uint32_t counts[kCodeLengthSymbols];
  int total;
  int i;
  BuildCode(e->counts, kLitLenSymbols, kMaxCodeBits, h->litLen);
  h->litLenCodes = kLitLenSymbols;
  while (h->litLenCodes > 257 && h->litLen[h->litLenCodes - 1].length == 0) --h->litLenCodes;
  for (i = 0; i < h->litLenCodes; ++i) lengths[i] = h->litLen[i].length;
  lengths[h->litLenCodes] = 1;
  lengths[h->litLenCodes + 1] = 1;
  total = h->litLenCodes + 2;

  memset(counts, 0, sizeof counts);
  h->count = 0;
  for (i = 0; i < total;) {
    const uint8_t value = lengths[i];
    int run = 1;
    while (i + run < total && lengths[i + run] == value) ++run;
    i += run;
    if (value == 0) {
      while (run >= 11) {
        const int n = run < 138 ? run : 138;
        PushLength(h, counts, 18, n - 11);
        run -= n;
      }
      if (run >= 3) {
        PushLength(h, counts, 17, run - 3);
        run = 0;
      }
    } else {
      PushLength(h, counts, value, 0);
      --run;
      while (run >= 3) {
        const int n = run < 6 ? run : 6;
        PushLength(h, counts, 16, n - 3);
        run -= n;
      }
    }
    for (; run > 0; --run) PushLength(h, counts, value, 0);
  }
  BuildCode(counts, kCodeLengthSymbols, kMaxCodeLengthBits, h->lengthCode);
  h->lengthCodes = kCodeLengthSymbols;
  while (h->lengthCodes > 4 && h->lengthCode[kCodeLengthOrder[h->lengthCodes - 1]].length == 0) --h->lengthCodes;
  h->bits = 3 + 5 + 5 + 4 + 3u * (unsigned)h->lengthCodes;
  for (i = 0; i < h->count; ++i) h->bits += h->lengthCode[h->symbol[i]].length + ExtraBitsOf(h->symbol[i]);
}

static int WriteStored(Encoder* e, const unsigned char* data, size_t size, int final) {
  size_t done = 0;
  do {
    const size_t piece = size - done < kMaxStored ? size - done : kMaxStored;
    const int last = done + piece == size;
    if (Reserve(e, piece + 16) != 0) return -1;
    PutBits(&e->bits, final && last ? 1u : 0u, 3);
    AlignBits(&e->bits);
    e->bits.out[e->bits.position++] = (unsigned char)piece;
    e->bits.out[e->bits.position++] = (unsigned char)(piece >> 8);
    e->bits.out[e->bits.position++] = (unsigned char)~piece;
    e->bits.out[e->bits.position++] = (unsigned char)(~piece >> 8);
    memcpy(e->bits.out + e->bits.position, data + done, piece);
    e->bits.position += piece;
    done += piece;
  } while (done < size);
  return 0;
}

/* Literals three at a time (at most 45 bits) between stores; table holds each byte's code in
 * the low 16 bits and its length above. */
static inline void PutLiterals(BitWriter* w, const uint32_t* table, const unsigned char* p, size_t n) {
  uint64_t bits = w->bits;
  unsigned count = w->count;
  unsigned char* out = w->out + w->position;
  for (; n >= 3; n -= 3, p += 3) {
    const uint32_t c0 = table[p[0]];
    const uint32_t c1 = table[p[1]];
    const uint32_t c2 = table[p[2]];
    bits |= (uint64_t)(c0 & 0xFFFFu) << count;
    count += c0 >> 16;
    bits |= (uint64_t)(c1 & 0xFFFFu) << count;
    count += c1 >> 16;
    bits |= (uint64_t)(c2 & 0xFFFFu) << count;
    count += c2 >> 16;
    Store64(out, bits);
    out += count >> 3;
    bits >>= count & ~7u;
    count &= 7u;
  }
  for (; n > 0; --n, ++p) {
    const uint32_t c = table[*p];
    bits |= (uint64_t)(c & 0xFFFFu) << count;
    count += c >> 16;
    Store64(out, bits);
    out += count >> 3;
    bits >>= count & ~7u;
    count &= 7u;
  }
  w->bits = bits;
  w->count = count;
  w->position = (size_t)(out - w->out);
}

/* Writes the block with its own code, or stored when that is no larger. */
static int WriteBlock(Encoder* e, const unsigned char* data, size_t size, int final) {
  Header h;
  uint64_t body = e->extraBits;
  uint64_t stored;
  size_t i;
  MakeHeader(e, &h);
  for (i = 0; i < kLitLenSymbols; ++i) body += (uint64_t)e->counts[i] * h.litLen[i].length;
  stored = ((uint64_t)size + 5u * ((size + kMaxStored - 1) / kMaxStored + 1)) * 8u;
  if (h.bits + body >= stored) return WriteStored(e, data, size, final);
  if (Reserve(e, (size_t)((h.bits + body) / 8u) + 16) != 0) return -1;
  {
    BitWriter* w = &e->bits;
    const Code* lit = h.litLen;
    PutBits(w, (final ? 1u : 0u) | 2u << 1, 3);
    PutBits(w, (uint64_t)(h.litLenCodes - 257), 5);
    PutBits(w, 1, 5); /* two distance codes */
    PutBits(w, (uint64_t)(h.lengthCodes - 4), 4);
    for (i = 0; i < (size_t)h.lengthCodes; ++i) PutBits(w, h.lengthCode[kCodeLengthOrder[i]].length, 3);
    for (i = 0; i < (size_t)h.count; ++i) {
      const Code c = h.lengthCode[h.symbol[i]];
      PutBits(w, c.bits | (uint64_t)h.extra[i] << c.length, c.length + ExtraBitsOf(h.symbol[i]));
    }
    {
      uint32_t table[256];
      size_t at = 0;
      size_t r;
      for (i = 0; i < 256; ++i) table[i] = (uint32_t)lit[i].bits | (uint32_t)lit[i].length << 16;
      for (r = 0; r <= e->runCount; ++r) {
        const size_t end = r < e->runCount ? e->runs[r].start : size;
        PutLiterals(w, table, data + at, end - at);
        if (r == e->runCount) break;
        FOR_EACH_MATCH(e->runs[r].length, length, {
          /* The length's code and extra bits, then distance code 0 (a single 0 bit). */
          const LengthCode* code = &e->lengths[length];
          const Code c = lit[code->symbol];
          PutBits(w, c.bits | (uint64_t)code->extra << c.length, c.length + code->extraBits + 1u);
        });
        at = end + e->runs[r].length;
      }
    }
    PutBits(w, lit[kEndOfBlock].bits, lit[kEndOfBlock].length);
  }
  return 0;
}

static inline uint32_t Load32(const unsigned char* p) {
  uint32_t v;
  memcpy(&v, p, 4);
  return v;
}

/* Blue and red change places: the sdk keeps BGRA, PNG wants RGBA. */
static inline uint32_t SwapRedBlue(uint32_t p) { return (p & 0xFF00FF00u) | (p >> 16 & 0xFFu) | (p & 0xFFu) << 16; }

/* Each byte of a less the same byte of b, without borrows between bytes. */
static inline uint32_t SubtractBytes(uint32_t a, uint32_t b) {
  const uint32_t high = 0x80808080u;
  return ((a | high) - (b & ~high)) ^ ((a ^ ~b) & high);
}

/* One row as PNG stores it: the filter type, then red, green, blue and alpha, each less the same
 * of the pixel to its left (Sub). A row of transparent black is written unfiltered: the bytes
 * are the same, and rows of nothing but zeros then make one run. */
static void FilterRow(const unsigned char* source, uint32_t width, unsigned char* out) {
  uint32_t x = 0;
  uint32_t left = 0;
  uint32_t any = 0;
#ifdef __SSE2__
  {
    const __m128i keep = _mm_set1_epi32((int)0xFF00FF00u);
    const __m128i low = _mm_set1_epi32(0xFF);
    __m128i carry = _mm_setzero_si128();
    __m128i seen = _mm_setzero_si128();
    for (; x + 4 <= width; x += 4) {
      const __m128i v = _mm_loadu_si128((const __m128i*)(const void*)(source + (size_t)x * 4u));
      const __m128i rgba = _mm_or_si128(_mm_and_si128(v, keep), _mm_or_si128(_mm_and_si128(_mm_srli_epi32(v, 16), low),
                                                                               _mm_slli_epi32(_mm_and_si128(v, low), 16)));
      const __m128i before = _mm_or_si128(_mm_slli_si128(rgba, 4), carry);
      carry = _mm_srli_si128(rgba, 12);
      _mm_storeu_si128((__m128i*)(void*)(out + 1 + (size_t)x * 4u), _mm_sub_epi8(rgba, before));
      seen = _mm_or_si128(seen, v);
    }
    left = (uint32_t)_mm_cvtsi128_si32(carry);
    any = _mm_movemask_epi8(_mm_cmpeq_epi8(seen, _mm_setzero_si128())) != 0xFFFF;
  }
#endif
  for (; x < width; ++x) {
    const uint32_t p = Load32(source + (size_t)x * 4u);
    const uint32_t rgba = SwapRedBlue(p);
    const uint32_t filtered = SubtractBytes(rgba, left);
    memcpy(out + 1 + (size_t)x * 4u, &filtered, 4);
    left = rgba;
    any |= p;
  }
  out[0] = any != 0 ? 1 : 0;
}

static void PutBigEndian32(unsigned char* p, uint32_t v) {
  p[0] = (unsigned char)(v >> 24);
  p[1] = (unsigned char)(v >> 16);
  p[2] = (unsigned char)(v >> 8);
  p[3] = (unsigned char)v;
}

/* Chunk data this long at most, well inside PNG's limit of 2^31 - 1. */
#define MAX_CHUNK_DATA (1u << 30)
/* Signature, IHDR chunk, then the first IDAT's length and type. */
#define PREFIX_BYTES (8 + 25 + 8)

/* Closes the chunk of data bytes at start (its length and type are the 8 bytes before it). */
static void SealChunk(unsigned char* start, uint32_t length) {
  PutBigEndian32(start - 8, length);
  PutBigEndian32(start + length, (uint32_t)libdeflate_crc32(0, start - 4, (size_t)length + 4u));
}

/* Splits the zlib stream (at PREFIX_BYTES, length bytes) into IDAT chunks and adds IEND. */
static int FinishChunks(OraBuffer* out, size_t length) {
  static const unsigned char kEnd[12] = {0, 0, 0, 0, 'I', 'E', 'N', 'D', 0xAE, 0x42, 0x60, 0x82};
  const size_t chunks = length == 0 ? 1 : (length + MAX_CHUNK_DATA - 1) / MAX_CHUNK_DATA;
  const size_t total = PREFIX_BYTES + length + 4 + (chunks - 1) * 12 + sizeof kEnd;
  size_t k;
  if (out->capacity < total) {
    unsigned char* grown = (unsigned char*)realloc(out->data, total);
    if (grown == NULL) return -1;
    out->data = grown;
    out->capacity = total;
  }
  /* From the last chunk back, so nothing is overwritten before it has moved. */
  for (k = chunks; k-- > 0;) {
    const size_t from = PREFIX_BYTES + k * MAX_CHUNK_DATA;
    const size_t to = PREFIX_BYTES + k * (MAX_CHUNK_DATA + 12u);
    const size_t piece = k + 1 == chunks ? length - k * MAX_CHUNK_DATA : MAX_CHUNK_DATA;
    if (to != from) memmove(out->data + to, out->data + from, piece);
    memcpy(out->data + to - 4, "IDAT", 4);
    SealChunk(out->data + to, (uint32_t)piece);
  }
  memcpy(out->data + total - sizeof kEnd, kEnd, sizeof kEnd);
  out->size = total;
  return 0;
}

int OraPngWrite(const unsigned char* pixels, uint32_t width, uint32_t height, OraBuffer* out) {
  static const unsigned char kSignature[8] = {0x89, 'P', 'N', 'G', 0x0D, 0x0A, 0x1A, 0x0A};
  const size_t rowBytes = 1u + (size_t)width * 4u;
  const size_t rowsPerBlock = rowBytes < kBlockBytes ? kBlockBytes / rowBytes : 1;
  unsigned char* block;
  Encoder* e;
  uint32_t adler = 1;
  uint32_t y0;
  int result = -1;
  if (pixels == NULL || width < 1 || height < 1 || out == NULL || width > 0x7FFFFFFFu || height > 0x7FFFFFFFu ||
      rowBytes > SIZE_MAX / rowsPerBlock / sizeof(Run))
    return -1;
  memset(out, 0, sizeof *out);
  e = (Encoder*)calloc(1, sizeof *e);
  block = (unsigned char*)malloc(rowsPerBlock * rowBytes);
  /* A run takes MIN_RUN bytes at least. */
  if (e != NULL) e->runs = (Run*)malloc((rowsPerBlock * rowBytes / MIN_RUN + 1) * sizeof(Run));
  /* A first guess; painted layers usually need less, and the buffer grows when not. */
  out->capacity = rowBytes * height / 8u + 65536u;
  out->data = (unsigned char*)malloc(out->capacity);
  if (e == NULL || block == NULL || e->runs == NULL || out->data == NULL) goto done;
  MakeLengthCodes(e->lengths);
  e->out = out;
  e->bits.out = out->data;

  memcpy(out->data, kSignature, sizeof kSignature);
  PutBigEndian32(out->data + 8, 13);
  memcpy(out->data + 12, "IHDR", 4);
  PutBigEndian32(out->data + 16, width);
  PutBigEndian32(out->data + 20, height);
  /* 8 bits a sample, RGBA, deflate, the adaptive filters, no interlacing. */
  memcpy(out->data + 24, "\x08\x06\x00\x00\x00", 5);
  PutBigEndian32(out->data + 29, (uint32_t)libdeflate_crc32(0, out->data + 12, 17));
  memcpy(out->data + 37, "IDAT", 4);
  /* zlib's header: deflate with a 32 KiB window, the fastest level. */
  out->data[PREFIX_BYTES] = 0x78;
  out->data[PREFIX_BYTES + 1] = 0x01;
  e->bits.position = PREFIX_BYTES + 2;

  for (y0 = 0; y0 < height; y0 += (uint32_t)rowsPerBlock) {
    const uint32_t rows = height - y0 < rowsPerBlock ? height - y0 : (uint32_t)rowsPerBlock;
    const size_t size = rows * rowBytes;
    uint32_t r;
    /* The sdk's rows go bottom first; PNG's top first. */
    for (r = 0; r < rows; ++r)
      FilterRow(pixels + (size_t)(height - 1u - (y0 + r)) * width * 4u, width, block + r * rowBytes);
    adler = (uint32_t)libdeflate_adler32(adler, block, size);
    Tokenize(e, block, size);
    if (WriteBlock(e, block, size, y0 + rows == height) != 0) goto done;
  }
  AlignBits(&e->bits);
  if (Reserve(e, 4) != 0) goto done;
  PutBigEndian32(out->data + e->bits.position, adler);
  e->bits.position += 4;
  result = FinishChunks(out, e->bits.position - PREFIX_BYTES);

done:
  if (e != NULL) free(e->runs);
  free(e);
  free(block);
  if (result != 0) OraBufferFree(out);
  return result;
}
