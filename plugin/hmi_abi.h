/* The binary contract between the script library and any host that loads it.
 *
 * The library exports the lookup, the two handler tables and the system
 * utilities; the host process supplies the services below, which stay
 * undefined in the library and are bound by name when it is loaded. */
#ifndef HMI_ABI_H
#define HMI_ABI_H

#ifdef __cplusplus
extern "C" {
#endif

#define HMI_TEXT_TAG_SIZE 256  /* every text tag's buffer, NUL included */
#define HMI_TEXT_VALUE_SIZE 16 /* a text property's value, NUL included */

typedef struct hmi_func_row {
    const char* key; /* "window_widget_name"; NULL only in the end row */
    void* func;      /* the handler; NULL in the end row */
} hmi_func_row;

typedef void (*hmi_event_func)(void);
typedef int (*hmi_prop_func)(void* value);

/* ---- exports ---- */

#ifndef HMI_DEFINING_TABLES /* the defining unit gives them their full type */
extern const hmi_func_row event_funcs[];
extern const hmi_func_row prop_funcs[];
#endif

void* hmi_widget_get_func(const hmi_func_row* table, const char* window, const char* widget,
                          const char* name);
void* hmi_widget_get_event_func(const char* window, const char* widget, const char* event);
void* hmi_widget_get_dyn_prop_func(const char* window, const char* widget, const char* property);

/* The lookup functions' pointer types, for a host that resolves them by name:
 *   void* lib = dlopen("libhmiscript.so", RTLD_NOW);
 *   hmi_get_event_func_fn get_event =
 *       (hmi_get_event_func_fn)dlsym(lib, "hmi_widget_get_event_func"); */
typedef void* (*hmi_get_func_fn)(const hmi_func_row* table, const char* window, const char* widget,
                                 const char* name);
typedef void* (*hmi_get_event_func_fn)(const char* window, const char* widget, const char* event);
typedef void* (*hmi_get_dyn_prop_func_fn)(const char* window, const char* widget,
                                          const char* property);

int sys_exec_program(const char* command, int mode);
int sys_exec_program_arg1(const char* path, const char* argument, int mode);
int is_process_run(const char* pattern);
int kill_program(const char* pattern);
int audio_stop_play(void);
int audio_play_wav(const char* file, int mode);

int datetime_add(int* year, int* month, int* day, int* hour, int* minute, int* second, int offset);
const char* hmi_get_usr_data_dir(void);
const char* hmi_get_cfcard_dir(void);
const char* hmi_get_usb_dir(void);
char* hmi_get_project_dir(void);

/* ---- host services ---- */

void* hmidb_get_data_value(const char* name);
int hmidb_set_data_value(const char* name, const void* value);
void* hmidb_get_data_value_by_ptr(const char* name, void** slot);
int hmi_window_show(const char* window);
int hmi_window_hide(const char* window);
int hmi_center_window(const char* window);
int hmi_window_show_modal(const char* window);
int hmi_window_exit_modal(const char* window);
int msgbox(const char* title, const char* text, int style);
int data_input_window(const char* tag, const char* prompt, double minimum, double maximum,
                      int option);
int rtdb_param_rtdb_to_mem(void);
int sys_save_params(void);
int rtdb_param_mem_to_rtdb(void);
int rtdb_get_data_value_by_name(const char* group, const char* name, void* value);
char* long2str(long value);
char* long2str2(long value, int option);
char* float2str3(float value, int width, int decimals);
char* double2str2(double value, int decimals);
char* strjoin(const char* first, const char* second);
int gettimeinfo(unsigned int datetime, int* year, int* month, int* day, int* hour, int* minute,
                int* second);
char* sys_get_file_path(const char* name);

#ifdef __cplusplus
}
#endif

#endif
