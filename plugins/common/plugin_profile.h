#ifndef VARNEL_PLUGINS_COMMON_PLUGIN_PROFILE_H
#define VARNEL_PLUGINS_COMMON_PLUGIN_PROFILE_H
/*
 * The plug-ins keep their options in the program's own settings file, without linking the
 * program: a small INI reader and writer that follows the same file rules.
 *
 * File: $VARNEL_CONFIG, else $XDG_CONFIG_HOME/varnel/varnel.ini (an absolute path only),
 * else $HOME/.config/varnel/varnel.ini. Section and key names compare without regard to
 * ASCII case; blanks around names and values are ignored; ';' and '#' start comment lines; of
 * a key given twice the last one counts. Numbers are decimal, or hexadecimal after "0x".
 */

#include <stddef.h>
#include <stdint.h>

#ifdef __cplusplus
extern "C" {
#endif

/* Fills path with the settings file's name; 0, or -1 when it does not fit. */
int SpiProfilePath(char* path, size_t size);

/* The number stored under section/key, or def when the file, the key or a number is missing. */
int32_t SpiProfileGetInt(const char* path, const char* section, const char* key, int32_t def);

/* Stores value under section/key. Every other line of the file stays as it was, byte for byte;
 * the key's line is replaced, or added at the end of its section, or a new section is added at
 * the end. The file is replaced atomically under the same lock file ("<path>.lock") the program
 * takes, so a running program's writes are not lost. 0, or -1 when the file could not be read
 * or written (it is then left as it was). */
int SpiProfileWriteInt(const char* path, const char* section, const char* key, int32_t value);

#ifdef __cplusplus
}
#endif

#endif /* VARNEL_PLUGINS_COMMON_PLUGIN_PROFILE_H */
