// The records the screening library and the terminal exchange through the screening
// callback. Plain C, shared by both sides of the library boundary.
#ifndef VQ_SERVICE_SCREENING_MESSAGE_H
#define VQ_SERVICE_SCREENING_MESSAGE_H

#include <stdint.h>

#ifdef __cplusplus
extern "C" {
#endif

enum {
    SCREENING_RESULT = 0,   // items are ScreeningResultItem
    SCREENING_ACTIONS = 1,  // items are ScreeningActionItem
    SCREENING_QUERY = 2     // items are ScreeningActionItem; only the first item's id is read
};

typedef struct ScreeningMessage {
    int32_t type;
    int32_t count;
    const void* items;
} ScreeningMessage;

typedef struct ScreeningResultItem {  // 16 bytes
    char code[6];                     // UTF-8, not terminated
    char reserved[6];
    int32_t market;
} ScreeningResultItem;

typedef struct ScreeningActionItem {
    const uint16_t* name;  // UTF-16, NUL-terminated
    const char* id;        // UTF-8
    const char* text;      // UTF-8
    int32_t number;
    int32_t kind;
} ScreeningActionItem;

typedef int (*ScreeningCallback)(const ScreeningMessage* msg);

// The library's entry point: opens its screening window. Strings are UTF-8, NUL-terminated.
typedef void (*CloudStockShow)(const char* appName, const char* host, const char* user,
                               const char* auth, int option, ScreeningCallback callback);

#ifdef __cplusplus
}
static_assert(sizeof(ScreeningResultItem) == 16, "result items are 16 bytes");
#endif

#endif
