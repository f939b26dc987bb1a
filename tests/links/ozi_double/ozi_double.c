// A stand-in for the mapping program's API library. It records every call with its arguments,
// can pretend the program is not running, and fires map clicks through the registered callbacks.
// Built a second time with OZI_DOUBLE_WITHOUT_DBLCLICK_OFF to play an old library version.
#include <pthread.h>
#include <stdio.h>
#include <stdlib.h>
#include <string.h>

#include "ozi_double.h"

#define EXPORT __attribute__((visibility("default")))

enum { MaxCalls = 4096, MaxCallText = 128 };

static pthread_mutex_t lock = PTHREAD_MUTEX_INITIALIZER;
static char calls[MaxCalls][MaxCallText];
static int call_count;
static int not_running;
static ozi_click_callback single_click;
static ozi_click_callback double_click;
static ozi_double_sink sink;
static char exe_path[] = "C:\\OziExplorer\\oziexp.exe";

static void record(const char* name, const char* argument)
{
    char text[MaxCallText];
    if (argument != NULL)
        snprintf(text, sizeof text, "%s %s", name, argument);
    else
        snprintf(text, sizeof text, "%s", name);
    pthread_mutex_lock(&lock);
    if (call_count < MaxCalls) memcpy(calls[call_count++], text, sizeof text);
    // A program under test (the headless runner) leaves its calls in a file for the test to read.
    const char* log_path = getenv("OZI_DOUBLE_LOG");
    FILE* log = log_path != NULL ? fopen(log_path, "a") : NULL;
    if (log != NULL) {
        fprintf(log, "%s\n", text);
        fclose(log);
    }
    ozi_double_sink to = sink;
    pthread_mutex_unlock(&lock);
    if (to != NULL) to(text);
}

static void set_callback(ozi_click_callback* slot, ozi_click_callback callback)
{
    pthread_mutex_lock(&lock);
    *slot = callback;
    pthread_mutex_unlock(&lock);
}

EXPORT int oziGetExePath(char** path, int* length)
{
    record("oziGetExePath", NULL);
    const char* env = getenv("OZI_DOUBLE_NOT_RUNNING");
    if (not_running || (env != NULL && strcmp(env, "1") == 0)) return -1;
    *path = exe_path;
    *length = (int)strlen(exe_path);
    return 0;
}

EXPORT int oziMapSingleClickON(ozi_click_callback callback)
{
    record("oziMapSingleClickON", callback == NULL ? "(null)" : NULL);
    set_callback(&single_click, callback);
    return 0;
}

EXPORT int oziMapSingleClickOFF(void)
{
    record("oziMapSingleClickOFF", NULL);
    set_callback(&single_click, NULL);
    return 0;
}

EXPORT int oziMapDblClickON(ozi_click_callback callback)
{
    record("oziMapDblClickON", callback == NULL ? "(null)" : NULL);
    set_callback(&double_click, callback);
    return 0;
}

#ifndef OZI_DOUBLE_WITHOUT_DBLCLICK_OFF
EXPORT int oziMapDblClickOFF(void)
{
    record("oziMapDblClickOFF", NULL);
    set_callback(&double_click, NULL);
    return 0;
}
#endif

EXPORT int oziStartMMapi(void)
{
    record("oziStartMMapi", NULL);
    return 0;
}

EXPORT int oziSendMMstring(char** sentence)
{
    record("oziSendMMstring", sentence == NULL || *sentence == NULL ? "(null)" : *sentence);
    return 0;
}

EXPORT void ozi_double_reset(void)
{
    pthread_mutex_lock(&lock);
    call_count = 0;
    not_running = 0;
    sink = NULL;
    pthread_mutex_unlock(&lock);
}

EXPORT void ozi_double_set_running(int running) { not_running = !running; }

EXPORT void ozi_double_set_sink(ozi_double_sink to)
{
    pthread_mutex_lock(&lock);
    sink = to;
    pthread_mutex_unlock(&lock);
}

EXPORT int ozi_double_call_count(void)
{
    pthread_mutex_lock(&lock);
    int count = call_count;
    pthread_mutex_unlock(&lock);
    return count;
}

EXPORT int ozi_double_copy_call(int index, char* text, int size)
{
    if (size <= 0) return 0;
    pthread_mutex_lock(&lock);
    int found = index >= 0 && index < call_count;
    snprintf(text, (size_t)size, "%s", found ? calls[index] : "");
    pthread_mutex_unlock(&lock);
    return found;
}

EXPORT int ozi_double_fire_click(int is_double, double latitude, double longitude)
{
    pthread_mutex_lock(&lock);
    ozi_click_callback callback = is_double ? double_click : single_click;
    pthread_mutex_unlock(&lock);
    if (callback == NULL) return 0;
    // The leading values are the library's own; the link must ignore them.
    callback(7, -1, 123456, latitude, longitude);
    return 1;
}

struct click_request {
    int is_double;
    double latitude;
    double longitude;
    int delivered;
};

static void* fire_on_thread(void* argument)
{
    struct click_request* request = argument;
    request->delivered = ozi_double_fire_click(request->is_double, request->latitude, request->longitude);
    return NULL;
}

EXPORT int ozi_double_fire_click_from_thread(int is_double, double latitude, double longitude)
{
    struct click_request request = {is_double, latitude, longitude, 0};
    pthread_t thread;
    if (pthread_create(&thread, NULL, fire_on_thread, &request) != 0) return 0;
    pthread_join(thread, NULL);
    return request.delivered;
}

// Lets a test see that the callbacks were switched off before the library went away.
__attribute__((destructor)) static void on_unload(void) { record("unload", NULL); }
