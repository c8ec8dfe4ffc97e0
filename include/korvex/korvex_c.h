/* Korvex from C and from any language that calls C (C#, Java, Python, Delphi).
 *
 * The control and its host are opaque handles. A host runs real sockets and
 * timers (the C++ AsioHost); the caller runs or polls it on one thread, and
 * every control call, event and download-progress callback happens on that
 * thread. Only korvex_host_stop and korvex_host_post may be called from
 * another thread.
 *
 * Every function returns a status: KORVEX_OK (0), or a negative KORVEX_E_...
 * code when the call could not be made; korvex_last_error then tells why. A
 * method's own result (0 started, 1 refused, 7 bad argument, ...) is written
 * to its `result` argument, which may be NULL. No C++ exception leaves the
 * library.
 *
 * Byte strings are a pointer and a length, in the control's single-byte code
 * page (Windows-1257); a NULL pointer with length 0 is the empty string. Texts
 * handed to callbacks are valid during the call only and are followed by a
 * NUL byte (not counted in their length).
 */
#ifndef KORVEX_KORVEX_C_H
#define KORVEX_KORVEX_C_H

#include <stddef.h>
#include <stdint.h>

#ifdef __cplusplus
extern "C" {
#endif

typedef struct korvex_host korvex_host;
typedef struct korvex_control korvex_control;

enum {
  KORVEX_OK = 0,
  KORVEX_E_ARGUMENT = -1, /* a NULL handle or pointer, a length without text */
  KORVEX_E_MEMORY = -2,   /* out of memory */
  KORVEX_E_FAILED = -3,   /* an unexpected failure inside the library */
  KORVEX_E_FILE = -4,     /* a terminal or registry file that cannot be used */
  KORVEX_E_BUFFER = -5    /* the buffer is too small; *length tells the size */
};

/* The library's version, "MAJOR.MINOR.PATCH". */
const char* korvex_version(void);

/* Why the last call on this thread that returned a negative status failed.
 * Text out-parameters: at most `capacity` bytes are copied to `buffer` (which
 * may be NULL when capacity is 0), a NUL is added when there is room, and
 * *length is set to the full length; KORVEX_E_BUFFER when it did not fit. */
int korvex_last_error(char* buffer, size_t capacity, size_t* length);

/* ---- Host ------------------------------------------------------------- */

/* A host on the real network and clock. Its registry is the export file named
 * by KORVEX_REGISTRY, or an empty one. */
int korvex_host_create(korvex_host** host);
/* Destroy the host after every control created on it. NULL is ignored. */
void korvex_host_destroy(korvex_host* host);
/* Replaces the registry with a registry export file (.reg). KORVEX_E_FILE
 * when it cannot be read or parsed; the registry then stays as it was. */
int korvex_host_load_registry(korvex_host* host, const char* path, size_t path_length);

/* Runs the host's loop, delivering events, for `milliseconds`. */
int korvex_host_run_for(korvex_host* host, int64_t milliseconds);
/* Delivers one event, waiting up to `max_wait_ms`; *delivered (may be NULL)
 * is 1 when one was. */
int korvex_host_run_one(korvex_host* host, int64_t max_wait_ms, int* delivered);
/* Runs the loop until done(user) returns non-zero, for at most
 * `max_milliseconds`; *done_at_end (may be NULL) tells whether it held. */
typedef int (*korvex_done_fn)(void* user);
int korvex_host_run_until(korvex_host* host, korvex_done_fn done, void* user,
                          int64_t max_milliseconds, int* done_at_end);
/* Delivers the events that are pending now and returns without waiting: for
 * callers that have a loop of their own and poll. */
int korvex_host_poll(korvex_host* host);
/* Makes the running loop call return. Any thread. */
int korvex_host_stop(korvex_host* host);
/* Queues task(user) to be run by the loop like an event. Any thread. */
typedef void (*korvex_task_fn)(void* user);
int korvex_host_post(korvex_host* host, korvex_task_fn task, void* user);

/* ---- Control ---------------------------------------------------------- */

/* EventType 0 success or progress, 1 error, 3 socket error, 5 track data. */
typedef void (*korvex_interface_event_fn)(void* user, int32_t event_type, int32_t code,
                                          const char* text, size_t text_length);
/* Trace texts graded by level, 2 (raw data) to 10 (progress texts). */
typedef void (*korvex_debug_event_fn)(void* user, int16_t level, const char* text,
                                      size_t text_length);
/* After a file's header (bytes_sent 0) and after every data block of it. */
typedef void (*korvex_download_progress_fn)(void* user, const char* file_name,
                                            size_t file_name_length, int64_t bytes_sent,
                                            int64_t file_size);

/* A control on `host`. Either callback may be NULL; `user` is passed to
 * both. Never call korvex_destroy from inside one of its callbacks. */
int korvex_create(korvex_host* host, korvex_interface_event_fn on_interface_event,
                  korvex_debug_event_fn on_debug_event, void* user, korvex_control** control);
/* Drops the connection silently and frees the control. NULL is ignored. */
void korvex_destroy(korvex_control* control);

int korvex_PerformConnectionTest(korvex_control* control, int16_t HostIndex, int16_t* result);
int korvex_InitTransaction(korvex_control* control, int16_t* result);
int korvex_InitFromReg(korvex_control* control, int16_t* result);
/* Loads the terminal configuration from a JSON terminal file and binds it;
 * the control keeps it. KORVEX_E_FILE when the file cannot be used (nothing
 * is bound then). */
int korvex_setTerminalObject(korvex_control* control, const char* path, size_t path_length,
                             int16_t* result);

int korvex_StartTransaction(korvex_control* control, const char* DateTime, size_t DateTime_length,
                            double Amount, int16_t CurrencyCode, int UseMag, int16_t* result);
int korvex_ChangeTransactionAmount(korvex_control* control, double Amount, int16_t* result);
int korvex_EnterPIN(korvex_control* control, int16_t* result);
int korvex_GetFirstCrypto(korvex_control* control, uint8_t TerminalDecision, int Blacklisted,
                          int16_t* result);
int korvex_GetSecondCrypto(korvex_control* control, int16_t DecisionCode, const char* Script71,
                           size_t Script71_length, const char* Script72, size_t Script72_length,
                           const char* IAD, size_t IAD_length, const char* ActionCode,
                           size_t ActionCode_length, int16_t* result);
/* The stored card data by key; "" for an unknown key. */
int korvex_getTag(korvex_control* control, const char* Tag, size_t Tag_length, char* buffer,
                  size_t capacity, size_t* length);
int korvex_MagnetReader(korvex_control* control, int16_t* result);
int korvex_CheckServiceCode(korvex_control* control, const char* ServiceCode,
                            size_t ServiceCode_length, int16_t* result);

int korvex_SetDownloadPath(korvex_control* control, const char* Value, size_t Value_length);
int korvex_PrepareDownload(korvex_control* control);
/* Download progress to `progress`; NULL removes it. */
int korvex_setDownloadObserver(korvex_control* control, korvex_download_progress_fn progress,
                               void* user);

int korvex_WarmReset(korvex_control* control, int16_t* result);
int korvex_ColdReset(korvex_control* control);

int korvex_getState(korvex_control* control, int16_t* result);
int korvex_setEMVRegistryKey(korvex_control* control, const char* EMVRegistryKey,
                             size_t EMVRegistryKey_length);
int korvex_getName(korvex_control* control, char* buffer, size_t capacity, size_t* length);
int korvex_setName(korvex_control* control, const char* myName, size_t myName_length);
int korvex_getHostIndex(korvex_control* control, int16_t* result);

#ifdef __cplusplus
}
#endif

#endif /* KORVEX_KORVEX_C_H */
