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

/* The number under section/key kept within minimum..maximum; def when there is none. */
int32_t SpiProfileGetClamped(const char* section, const char* key, int32_t def, int32_t minimum, int32_t maximum);

/* OpenConfig for one number: asks the host for it (title and label UTF-8), starting from the
 * stored value, and stores what the user confirms; a cancelled question changes nothing. A host
 * that cannot ask gets the stored value written back within its range, so the key is there to
 * edit and holds what the next save will use. 0, or -1 when the settings file could not be
 * written. */
int SpiConfigureSetting(void* window, const char* section, const char* key, int32_t def, int32_t minimum,
                        int32_t maximum, const char* title, const char* label);

#ifdef __cplusplus
}
#endif

#endif /* VARNEL_PLUGINS_COMMON_PLUGIN_PROFILE_H */
