/*
 * lunmark.h - public interface of liblunmark, the device-communication
 * library of the USB 802.11a/b/g adapter.
 *
 * The library finds the installed adapters, opens one and carries fixed-size
 * command records (request_record, 15376 bytes) to its driver and back.  It
 * also gives access to the modem registers and the EEPROM, and polls the
 * driver for firmware and modem trace data.
 *
 * Calling convention: on Linux every export is a plain C function exported
 * under its plain name only.  The Windows original also exported stdcall
 * decorated names such as _ecom_connect@4; those are a Windows linker
 * convention and do not exist here.
 *
 * The library lock "OIFC_MAIN" serialises driver traffic across the threads
 * of a process and across every process that reaches the same adapter
 * directory ($LUNMARK_ADAPTER_DIR, else $XDG_RUNTIME_DIR/lunmark/adapters,
 * else /tmp/lunmark-<uid>/adapters), whatever its user or runtime directory.
 * It is re-entrant for the calling thread, and the threads of one process
 * get it in the order they asked for it.  Its system-wide part is the file
 * OIFC_MAIN.lock in the adapter directory (created, with the directory when
 * missing, by the first process that needs it; readable and writable by
 * the users who may search the directory); a process that dies holding the
 * lock releases it.  The adapter directory is read from the environment on
 * first use and by ecom_get_connection and ecom_connect, which look the
 * adapters up; the other exports keep to the lock of the directory last
 * looked up.  A process may fork while holding the lock or while
 * another of its threads holds it; the child can use every export.
 *
 * ecom_get_connection, ecom_connect, ecom_exec_oid, ecom_exec_ndis_oid, the
 * modem register, modem message and EEPROM exports and each tick of the
 * trace poller hold the whole lock.  When its system-wide part cannot be
 * had (the adapter directory cannot be opened or created, or the lock file
 * cannot be created or opened, or is not a regular file with a single name,
 * not of its expected size and header, or placed by another user in a
 * directory with the sticky bit), they send nothing and fail:
 * ecom_get_connection returns NULL, ecom_connect 50 and the others 21; a
 * tick is skipped.  The reason, naming the lock file, is written to stderr
 * once.  The remaining exports (ecom_disconnect, the callback registrations,
 * starting and stopping the trace poller and loading its message table)
 * send nothing to a driver: they hold the lock only against the other
 * threads of the process, and keep working.
 *
 * No export throws or lets an exception escape.
 */
#ifndef LUNMARK_LUNMARK_H
#define LUNMARK_LUNMARK_H

#include <stdint.h>

#ifdef __cplusplus
extern "C" {
#endif

#if defined(__GNUC__)
#define LUNMARK_API __attribute__((visibility("default")))
#else
#define LUNMARK_API
#endif

/* ---- Sizes, codes and results ------------------------------------------ */

/* A request_record: u32 command code, u32 completion status, 15368 bytes of
 * command data; little-endian. */
#define LUNMARK_RECORD_SIZE 15376u
#define LUNMARK_RECORD_DATA_OFFSET 8u
#define LUNMARK_RECORD_DATA_SIZE 15368u

/* Completion status written by the driver when a command was carried out. */
#define LUNMARK_STATUS_DONE 2u

/* Results of the exports. */
#define LUNMARK_OK 0
#define LUNMARK_ERR_REQUEST 21 /* request refused or failed */
#define LUNMARK_ERR_CONNECT 50 /* no adapter could be opened */

/* Command codes the library itself uses. */
#define LUNMARK_CMD_PROBE 16u
#define LUNMARK_CMD_MODEM_READ 2416u
#define LUNMARK_CMD_MODEM_WRITE 2417u
#define LUNMARK_CMD_EEPROM_READ 2418u
#define LUNMARK_CMD_EEPROM_WRITE 2419u
#define LUNMARK_CMD_MODEM_MISC 2420u

/* Largest EEPROM transfer and modem message one record can carry. */
#define LUNMARK_EEPROM_MAX 10240u
#define LUNMARK_MODEM_MSG_MAX 512u

/* ---- Connection and requests ------------------------------------------- */

/* Device name of the adapter at `index` in a freshly enumerated list, or
 * NULL when index is not below the adapter count.  The text lives in a
 * library buffer that the next call overwrites. */
LUNMARK_API const char *ecom_get_connection(uint32_t index);

/* "SEARCH" (exact, case-sensitive) or "" opens the first adapter that
 * answers the probe; any other text opens that adapter by name without a
 * probe.  0 on success, 50 on failure. */
LUNMARK_API int ecom_connect(const char *name);

/* Closes the adapter; keeps its name so the next request reopens it.
 * Always 0. */
LUNMARK_API int ecom_disconnect(void);

/* Sends one request_record of LUNMARK_RECORD_SIZE bytes and replaces it
 * with the driver's answer.  0 on success, 21 on failure (record untouched). */
LUNMARK_API int ecom_exec_oid(void *record);
/* The same entry point under its second name. */
LUNMARK_API int ecom_exec_ndis_oid(void *record);

typedef void (*lunmark_notify_connect_cb)(void);
typedef void (*lunmark_notify_disconnect_cb)(uint32_t reason);

/* Registrations store the pointer (NULL switches the callback off); 0. */
LUNMARK_API int ecom_register_notify_connect_cb(lunmark_notify_connect_cb cb);
LUNMARK_API int ecom_register_notify_disconnect_cb(lunmark_notify_disconnect_cb cb);

/* ---- Modem registers and EEPROM ---------------------------------------- */

LUNMARK_API int ecom_modem_peek7(uint32_t address, uint32_t *value);
LUNMARK_API int ecom_modem_poke7(uint32_t address, uint32_t value);
LUNMARK_API int ecom_modem_peek9(uint32_t address, uint32_t *value);
LUNMARK_API int ecom_modem_poke9(uint32_t address, uint32_t value);

/* length above LUNMARK_MODEM_MSG_MAX: 21, nothing sent. */
LUNMARK_API int ecom_modem_misc_msg(const void *message, uint32_t length);

/* length above LUNMARK_EEPROM_MAX: 21, nothing sent. */
LUNMARK_API int ecom_read_eeprom(void *destination, uint32_t offset, uint32_t length);
LUNMARK_API int ecom_write_eeprom(const void *source, uint32_t offset, uint32_t length);

/* ---- Tracing ------------------------------------------------------------ */

/* A BSTR: a pointer to NUL-terminated UTF-16 code units, preceded in memory
 * by a 32-bit byte length (without the terminator).  The firmware text
 * callback receives the address of a variable holding one; the library
 * allocates it before the call and frees it after the call returns, so a
 * callback that wants to keep the text must copy it. */
typedef uint16_t *lunmark_bstr;

/* Allocates a BSTR holding `units` UTF-16 code units copied from `text`
 * (text may be NULL for a zero-filled string).  NULL when out of memory. */
LUNMARK_API lunmark_bstr lunmark_bstr_alloc(const uint16_t *text, uint32_t units);
/* Frees a BSTR from lunmark_bstr_alloc; NULL is accepted. */
LUNMARK_API void lunmark_bstr_free(lunmark_bstr s);
/* Length of a BSTR in code units, from its prefix; 0 for NULL. */
LUNMARK_API uint32_t lunmark_bstr_len(const lunmark_bstr s);

typedef void (*lunmark_fw_debug_cb)(uint8_t module_tag, uint8_t param_count,
                                    uint16_t message_id, uint32_t param1,
                                    uint32_t param2, uint32_t zero1,
                                    uint32_t zero2);
typedef void (*lunmark_fw_str_debug_cb)(lunmark_bstr *line);
typedef void (*lunmark_modem_cb)(uint16_t block_id, uint32_t byte_count);

/* Largest modem block one pass can gather, in 32-bit words. */
#define LUNMARK_TRACE_MAX_BLOCK_WORDS 31870u

/* Starts the trace poller: a timer thread inside the library ticks every
 * `period_ms` milliseconds (at least 10), polls the driver and calls the
 * registered callbacks on that thread, with the library lock held; they may
 * call the exports again.  Modem block words are gathered into `output`,
 * which must hold LUNMARK_TRACE_MAX_BLOCK_WORDS words.  A second start
 * replaces the first timer.  An adapter already open stays in use; while
 * none answers, the poller searches once a second.  0. */
LUNMARK_API int ecom_trace_start(uint32_t *output, uint32_t period_ms);
/* As ecom_trace_start, but never writes more than `capacity_words` words
 * into `output`: a longer block is cut and delivered with the byte count of
 * the words actually stored (0 when output is NULL).  0. */
LUNMARK_API int ecom_trace_start_ex(uint32_t *output, uint32_t capacity_words,
                                    uint32_t period_ms);
/* Stops the ticks; once it returns no callback of the trace runs again and
 * nothing more is written into `output`.  From any other thread it returns
 * only when no tick is running.  Called from a trace callback, it cannot
 * wait for the tick it is called from: that tick calls no further callback
 * and stores no further words.  0. */
LUNMARK_API int ecom_trace_stop(void);

/* Reloads the firmware message table from an INI file.  A bare file name is
 * looked up in the data directory ($LUNMARK_DATA_DIR, else the installed
 * share directory); a name containing a slash is used as given.  A missing
 * file leaves the table empty.  0. */
LUNMARK_API int ecom_trace_set_fw_string_resource_table(const char *ini_file);

LUNMARK_API int ecom_trace_register_firmware_debug_cb(lunmark_fw_debug_cb cb);
LUNMARK_API int ecom_trace_register_firmware_str_debug_cb(lunmark_fw_str_debug_cb cb);
LUNMARK_API int ecom_trace_register_modem_1_cb(lunmark_modem_cb cb);
LUNMARK_API int ecom_trace_register_modem_2_cb(lunmark_modem_cb cb);

#ifdef __cplusplus
}
#endif

#endif /* LUNMARK_LUNMARK_H */
