#define _GNU_SOURCE
#include "plugins/common/plugin_profile.h"

#include <errno.h>
#include <fcntl.h>
#include <pwd.h>
#include <stdio.h>
#include <stdlib.h>
#include <string.h>
#include <sys/file.h>
#include <sys/stat.h>
#include <unistd.h>

#include "plugins/common/spi_common.h"

/* A settings file larger than this is not ours: leave it alone rather than read it. */
#define PROFILE_MAX_BYTES (64u << 20)

typedef struct Span {
  const char* begin;
  const char* end;
} Span;

/* One line of the file: where it starts, where its text ends (before "\r\n" or "\n") and where
 * the next line starts. */
typedef struct Line {
  size_t start;
  size_t textEnd;
  size_t next;
} Line;

static int IsBlank(char c) { return c == ' ' || c == '\t'; }

static Span Trim(Span s) {
  while (s.begin < s.end && IsBlank(*s.begin)) ++s.begin;
  while (s.end > s.begin && IsBlank(s.end[-1])) --s.end;
  return s;
}

static int SpanEqualsNoCase(Span s, const char* name) {
  const size_t length = strlen(name);
  size_t i;
  if ((size_t)(s.end - s.begin) != length) return 0;
  for (i = 0; i < length; ++i) {
    char a = s.begin[i];
    char b = name[i];
    if (a >= 'A' && a <= 'Z') a = (char)(a - 'A' + 'a');
    if (b >= 'A' && b <= 'Z') b = (char)(b - 'A' + 'a');
    if (a != b) return 0;
  }
  return 1;
}

static Line NextLine(const char* text, size_t size, size_t start) {
  Line line;
  const char* newline = (const char*)memchr(text + start, '\n', size - start);
  line.start = start;
  line.next = newline == NULL ? size : (size_t)(newline - text) + 1;
  line.textEnd = newline == NULL ? size : (size_t)(newline - text);
  if (line.textEnd > start && text[line.textEnd - 1] == '\r') --line.textEnd;
  return line;
}

enum LineKind { kLineOther, kLineSection, kLineEntry };

/* Classifies a line; for a section its name, for an entry its key and raw value. */
static enum LineKind ParseLine(const char* text, Line line, Span* name, Span* value) {
  Span s = {text + line.start, text + line.textEnd};
  const char* equals;
  s = Trim(s);
  if (s.begin == s.end || *s.begin == ';' || *s.begin == '#') return kLineOther;
  if (*s.begin == '[' && s.end[-1] == ']' && s.end - s.begin >= 2) {
    name->begin = s.begin + 1;
    name->end = s.end - 1;
    *name = Trim(*name);
    return kLineSection;
  }
  equals = (const char*)memchr(s.begin, '=', (size_t)(s.end - s.begin));
  if (equals == NULL) return kLineOther;
  name->begin = s.begin;
  name->end = equals;
  *name = Trim(*name);
  value->begin = equals + 1;
  value->end = s.end;
  *value = Trim(*value);
  return kLineEntry;
}

static size_t SkipByteOrderMark(const char* text, size_t size) {
  return size >= 3 && memcmp(text, "\xEF\xBB\xBF", 3) == 0 ? 3 : 0;
}

/* Accepts "-12", "+7", "0x1F"; keeps the low 32 bits as a DWORD would. A value in double
 * quotes is read without them. */
static int ParseInt(Span value, int32_t* result) {
  uint64_t number = 0;
  unsigned base = 10;
  int negative = 0;
  int digits = 0;
  if (value.end - value.begin >= 2 && *value.begin == '"' && value.end[-1] == '"') {
    ++value.begin;
    --value.end;
    value = Trim(value);
  }
  if (value.begin < value.end && (*value.begin == '+' || *value.begin == '-')) {
    negative = *value.begin == '-';
    ++value.begin;
  }
  if (value.end - value.begin >= 2 && value.begin[0] == '0' && (value.begin[1] == 'x' || value.begin[1] == 'X')) {
    base = 16;
    value.begin += 2;
  }
  for (; value.begin < value.end; ++value.begin) {
    const char c = *value.begin;
    unsigned digit;
    if (c >= '0' && c <= '9') {
      digit = (unsigned)(c - '0');
    } else if (c >= 'a' && c <= 'f') {
      digit = (unsigned)(c - 'a' + 10);
    } else if (c >= 'A' && c <= 'F') {
      digit = (unsigned)(c - 'A' + 10);
    } else {
      return -1;
    }
    if (digit >= base || number > (UINT64_MAX - digit) / base) return -1;
    number = number * base + digit;
    ++digits;
  }
  if (digits == 0) return -1;
  if (negative) number = ~number + 1;
  *result = (int32_t)(uint32_t)number;
  return 0;
}

/* 0 read, 1 no such file, -1 error. *text is malloc'ed (null for an empty file). */
static int ReadWholeFile(const char* path, char** text, size_t* size) {
  uint64_t length = 0;
  int fd;
  *text = NULL;
  *size = 0;
  fd = SpiOpenRegular(path, &length);
  if (fd < 0) {
    struct stat info;
    return stat(path, &info) != 0 && errno == ENOENT ? 1 : -1;
  }
  if (length > PROFILE_MAX_BYTES) {
    close(fd);
    return -1;
  }
  if (length > 0) {
    *text = (char*)malloc((size_t)length);
    if (*text == NULL || SpiReadAt(fd, *text, (size_t)length, 0) != 0) {
      free(*text);
      *text = NULL;
      close(fd);
      return -1;
    }
  }
  *size = (size_t)length;
  close(fd);
  return 0;
}

int SpiProfilePath(char* path, size_t size) {
  const char* config = getenv("VARNEL_CONFIG");
  const char* xdg = getenv("XDG_CONFIG_HOME");
  const char* home = getenv("HOME");
  int written;
  if (config != NULL && *config != 0) {
    written = snprintf(path, size, "%s", config);
  } else if (xdg != NULL && xdg[0] == '/') {
    /* Relative XDG_CONFIG_HOME values are invalid by the XDG rules and are ignored. */
    written = snprintf(path, size, "%s/varnel/varnel.ini", xdg);
  } else {
    if (home == NULL || *home == 0) {
      const struct passwd* user = getpwuid(getuid());
      home = user != NULL ? user->pw_dir : NULL;
    }
    if (home != NULL && *home != 0) {
      written = snprintf(path, size, "%s/.config/varnel/varnel.ini", home);
    } else {
      written = snprintf(path, size, ".config/varnel/varnel.ini");
    }
  }
  return written >= 0 && (size_t)written < size ? 0 : -1;
}

int32_t SpiProfileGetInt(const char* path, const char* section, const char* key, int32_t def) {
  char* text;
  size_t size;
  size_t position;
  int inSection = 0;
  int32_t result = def;
  if (path == NULL || ReadWholeFile(path, &text, &size) != 0) return def;
  for (position = SkipByteOrderMark(text, size); position < size;) {
    const Line line = NextLine(text, size, position);
    Span name;
    Span value;
    const enum LineKind kind = ParseLine(text, line, &name, &value);
    if (kind == kLineSection) {
      inSection = SpanEqualsNoCase(name, section);
    } else if (kind == kLineEntry && inSection && SpanEqualsNoCase(name, key)) {
      int32_t number;
      /* The last entry counts, also when it is not a number. */
      result = ParseInt(value, &number) == 0 ? number : def;
    }
    position = line.next;
  }
  free(text);
  return result;
}

/* mkdir -p for the folder of path; 0 when it exists afterwards. */
static int MakeFoldersFor(const char* path) {
  char folder[4096];
  const char* slash = strrchr(path, '/');
  size_t length;
  size_t i;
  struct stat info;
  if (slash == NULL || slash == path) return 0;
  length = (size_t)(slash - path);
  if (length >= sizeof folder) return -1;
  memcpy(folder, path, length);
  folder[length] = 0;
  for (i = 1; i <= length; ++i) {
    if (folder[i] == '/' || folder[i] == 0) {
      const char saved = folder[i];
      folder[i] = 0;
      if (folder[i - 1] != '/' && mkdir(folder, 0700) != 0 && errno != EEXIST) return -1;
      folder[i] = saved;
    }
  }
  return stat(folder, &info) == 0 && S_ISDIR(info.st_mode) ? 0 : -1;
}

static int ValidName(const char* name, int isKey) {
  if (name == NULL || strpbrk(name, "\r\n") != NULL) return 0;
  if (isKey && (*name == 0 || *name == ';' || *name == '#' || *name == '[' || strchr(name, '=') != NULL)) return 0;
  if (!isKey && strchr(name, ']') != NULL) return 0;
  return *name == 0 || (!IsBlank(name[0]) && !IsBlank(name[strlen(name) - 1]));
}

typedef struct Buffer {
  char* data;
  size_t size;
  size_t capacity;
  int failed;
} Buffer;

static void Append(Buffer* b, const char* bytes, size_t count) {
  if (b->failed || count == 0) return;
  if (b->size + count > b->capacity) {
    size_t capacity = b->capacity * 2 + count + 64;
    char* grown = (char*)realloc(b->data, capacity);
    if (grown == NULL) {
      b->failed = 1;
      return;
    }
    b->data = grown;
    b->capacity = capacity;
  }
  memcpy(b->data + b->size, bytes, count);
  b->size += count;
}

static void AppendText(Buffer* b, const char* text) { Append(b, text, strlen(text)); }

/* The new file: text with the entry replaced or added. */
static int BuildUpdated(const char* text, size_t size, const char* section, const char* key, const char* value,
                        Buffer* out) {
  size_t position;
  int inSection = 0;
  int haveEntry = 0;
  int haveSection = 0;
  int sectionDone = 0;
  Line entryLine = {0, 0, 0};
  Span entryKey = {NULL, NULL};
  Line insertAfter = {0, 0, 0};
  for (position = SkipByteOrderMark(text, size); position < size;) {
    const Line line = NextLine(text, size, position);
    Span name;
    Span raw;
    const enum LineKind kind = ParseLine(text, line, &name, &raw);
    if (kind == kLineSection) {
      if (inSection) sectionDone = 1;
      inSection = SpanEqualsNoCase(name, section);
      if (inSection && !haveSection) {
        haveSection = 1;
        insertAfter = line;
      }
    } else if (kind == kLineEntry && inSection) {
      if (SpanEqualsNoCase(name, key)) {
        haveEntry = 1;
        entryLine = line;
        entryKey = name;
      }
      /* New keys go after the last entry of the section's first appearance. */
      if (!sectionDone) insertAfter = line;
    }
    position = line.next;
  }
  if (haveEntry) {
    Append(out, text, entryLine.start);
    Append(out, text + entryLine.start, (size_t)(entryKey.end - (text + entryLine.start)));
    AppendText(out, "=");
    AppendText(out, value);
    /* The line keeps its own ending, "\r\n", "\n" or none at the end of the file. */
    Append(out, text + entryLine.textEnd, size - entryLine.textEnd);
  } else if (haveSection) {
    const int crlf = insertAfter.textEnd < insertAfter.next && text[insertAfter.textEnd] == '\r';
    const char* ending = crlf ? "\r\n" : "\n";
    Append(out, text, insertAfter.next);
    if (text[insertAfter.next - 1] != '\n') AppendText(out, ending);
    AppendText(out, key);
    AppendText(out, "=");
    AppendText(out, value);
    AppendText(out, ending);
    Append(out, text + insertAfter.next, size - insertAfter.next);
  } else {
    Append(out, text, size);
    if (size > 0 && text[size - 1] != '\n') AppendText(out, "\n");
    if (size > SkipByteOrderMark(text, size)) AppendText(out, "\n");
    AppendText(out, "[");
    AppendText(out, section);
    AppendText(out, "]\n");
    AppendText(out, key);
    AppendText(out, "=");
    AppendText(out, value);
    AppendText(out, "\n");
  }
  return out->failed ? -1 : 0;
}

int SpiProfileWriteInt(const char* path, const char* section, const char* key, int32_t value) {
  char number[16];
  char lockPath[4200];
  char temp[4200];
  char* text = NULL;
  size_t size = 0;
  Buffer updated = {NULL, 0, 0, 0};
  int lock;
  int result = -1;
  int read;
  if (path == NULL || *path == 0 || !ValidName(section, 0) || !ValidName(key, 1)) return -1;
  if (strlen(path) + 40 > sizeof temp || MakeFoldersFor(path) != 0) return -1;
  snprintf(number, sizeof number, "%d", (int)value);
  snprintf(lockPath, sizeof lockPath, "%s.lock", path);

  /* The settings file itself is replaced on every write, so the lock lives beside it. */
  lock = open(lockPath, O_RDWR | O_CREAT | O_CLOEXEC, 0600);
  if (lock < 0) return -1;
  while (flock(lock, LOCK_EX) != 0) {
    if (errno != EINTR) {
      close(lock);
      return -1;
    }
  }
  read = ReadWholeFile(path, &text, &size);
  if (read >= 0 && BuildUpdated(text, size, section, key, number, &updated) == 0) {
    if (read == 0 && updated.size == size && memcmp(updated.data, text, size) == 0) {
      result = 0;
    } else {
      const int fd = SpiCreateTemp(path, temp, sizeof temp);
      if (fd >= 0) {
        FILE* file = fdopen(fd, "wb");
        if (file == NULL) {
          close(fd);
          SpiDiscardTemp(temp);
        } else {
          const int wrote = fwrite(updated.data, 1, updated.size, file) == updated.size;
          if (SpiCloseWritten(file) == 0 && wrote) {
            result = SpiCommitTemp(temp, path);
          } else {
            SpiDiscardTemp(temp);
          }
        }
      }
    }
  }
  free(updated.data);
  free(text);
  close(lock);
  return result;
}

int32_t SpiProfileGetClamped(const char* section, const char* key, int32_t def, int32_t minimum, int32_t maximum) {
  char path[4096];
  int32_t value = def;
  if (SpiProfilePath(path, sizeof path) == 0) value = SpiProfileGetInt(path, section, key, def);
  if (value < minimum) value = minimum;
  if (value > maximum) value = maximum;
  return value;
}

int SpiConfigureSetting(void* window, const char* section, const char* key, int32_t def, int32_t minimum,
                        int32_t maximum, const char* title, const char* label) {
  char path[4096];
  int value = (int)SpiProfileGetClamped(section, key, def, minimum, maximum);
  if (SpiAskInteger(window, title, label, (int)minimum, (int)maximum, &value) == 0) return 0;
  if (value < minimum) value = (int)minimum;
  if (value > maximum) value = (int)maximum;
  if (SpiProfilePath(path, sizeof path) != 0) return -1;
  return SpiProfileWriteInt(path, section, key, value) == 0 ? 0 : -1;
}
