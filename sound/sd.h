// Sound-device operation table.
//
// The front-end, the module loader and the replayer reach the sound device
// only through these fourteen pointers. A backend fills them when it opens
// its device (sd_dsp16_init fills the five device operations and then calls
// the mixer's installer for the nine channel operations). All are null at
// program start. Units: channel 0..31, sample slot 0..31, volume 0..64,
// panning 0 (left) .. 255 (right), main volume 0..252, period = Amiga
// period (0 = standing still), lengths/loop points/offsets in sample frames
// of one signed byte.
//
// Threads: the channel operations run on the audio thread inside a replayer
// tick, strictly between two mixing calls; sd_init, sd_setmainvolume,
// sd_start, sd_getsample and sd_setactivechannels run on the main thread
// before the device is unpaused. Nothing here takes a lock.
#pragma once

#include <cstdint>

// Device operations (filled by the backend).
extern void (*sd_init)(int rate, int frames);
extern void (*sd_start)();
extern void (*sd_stop)();
extern void (*sd_shutdown)();
extern void (*sd_secondhand)();

// Channel operations (filled by the mixer's sd_mix_setfunctions).
extern int (*sd_getsample)(int slot, const int8_t *data, int length, int loop_start, int loop_end,
                           int looping);
extern void (*sd_setactivechannels)(int n);
extern void (*sd_setmainvolume)(int v);
extern void (*sd_selectchannel)(int channel);
extern void (*sd_setsample)(int slot);
extern void (*sd_setvolume)(int volume);
extern void (*sd_setpanning)(int panning);
extern int (*sd_setamigaperiod)(int period);
extern int (*sd_setoffset)(uint32_t offset);

// Message of the last backend failure; "" until one happens.
extern const char *sd_errorstr;
// Display name of the open device ("SDL audio"); "" until a device opens.
extern const char *sd_devicename;
