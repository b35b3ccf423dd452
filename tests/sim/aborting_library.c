/* A script library of two handlers with the real library's exports, for the tests of
 * hmisim test: window main's timer counts main.count up as the real one does, and a
 * click on main's button1 aborts, as a faulty handler would. */
#include <stdlib.h>
#include <string.h>

#define HMI_DEFINING_TABLES
#include "plugin/hmi_abi.h"

static void count_tick(void) {
    unsigned char* count = (unsigned char*)hmidb_get_data_value("main.count");
    unsigned char next = (unsigned char)(*count + 1);
    hmidb_set_data_value("main.count", &next);
}

static void fault(void) {
    abort();
}

const hmi_func_row event_funcs[] = {
    {"main_timer1_timer", (void*)count_tick},
    {"main_button1_click", (void*)fault},
    {NULL, NULL},
};
const hmi_func_row prop_funcs[] = {{NULL, NULL}};

void* hmi_widget_get_func(const hmi_func_row* table, const char* window, const char* widget,
                          const char* name) {
    char key[256];
    size_t n = strlen(window) + strlen(widget) + strlen(name) + 3;
    if (n > sizeof key) return NULL;
    strcpy(key, window);
    strcat(key, "_");
    strcat(key, widget);
    strcat(key, "_");
    strcat(key, name);
    for (; table->key != NULL; ++table) {
        if (strcmp(table->key, key) == 0) return table->func;
    }
    return NULL;
}

void* hmi_widget_get_event_func(const char* window, const char* widget, const char* event) {
    return hmi_widget_get_func(event_funcs, window, widget, event);
}

void* hmi_widget_get_dyn_prop_func(const char* window, const char* widget, const char* property) {
    return hmi_widget_get_func(prop_funcs, window, widget, property);
}
