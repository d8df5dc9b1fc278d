// Sound-device operation table: the fourteen pointers, null until a backend
// fills them, and the two message pointers.
#include "sound/sd.h"

void (*sd_init)(int, int);
void (*sd_start)();
void (*sd_stop)();
void (*sd_shutdown)();
void (*sd_secondhand)();
int (*sd_getsample)(int, const int8_t *, int, int, int, int);
void (*sd_setactivechannels)(int);
void (*sd_setmainvolume)(int);
void (*sd_selectchannel)(int);
void (*sd_setsample)(int);
void (*sd_setvolume)(int);
void (*sd_setpanning)(int);
int (*sd_setamigaperiod)(int);
int (*sd_setoffset)(uint32_t);

const char *sd_errorstr = "";
const char *sd_devicename = "";
