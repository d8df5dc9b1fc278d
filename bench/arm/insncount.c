/* insncount: a qemu TCG plugin that counts the guest's executed
 * instructions and writes the running total each time the guest calls the
 * function named by `mark` (default ulv_mark).
 *
 *   qemu-arm -plugin ./insncount.so,out=counts.txt[,mark=NAME] PROGRAM ...
 *
 * counts.txt gets one decimal total per marker call, then one line
 * "total N" at exit. Every translated block adds its instruction count when
 * it starts to run (an inline add, no call), so a block left early through
 * an exception is counted whole: the error is a few instructions per
 * signal, of which the counted programs have none. Single-threaded guests
 * only: one counter for all vCPUs.
 *
 * Built against the plugin interface of qemu 7.2 (plugin API version 1); the
 * declarations it needs are written out below, as the interface documents
 * them, because Debian ships no qemu-plugin.h. */
#include <inttypes.h>
#include <stdbool.h>
#include <stddef.h>
#include <stdint.h>
#include <stdio.h>
#include <stdlib.h>
#include <string.h>

#include "qemu-plugin-api.h"

QEMU_PLUGIN_EXPORT int qemu_plugin_version = QEMU_PLUGIN_VERSION;
/* ----------------------------------------------------------------------- */

static uint64_t executed; /* instructions run so far */
static uint64_t marks;    /* marker calls seen */
static FILE *out;
static const char *mark_name = "ulv_mark";
static uint64_t mark_vaddr; /* entry of the marker, once seen; 0 before */

static void on_mark(unsigned int vcpu, void *udata) {
  (void)vcpu;
  (void)udata;
  ++marks;
  fprintf(out, "%" PRIu64 "\n", executed);
}

/* The marker's entry is its first instruction: the first one seen under
 * its name, which is where every call lands. */
static void on_translate(qemu_plugin_id_t id, struct qemu_plugin_tb *tb) {
  (void)id;
  const size_t n = qemu_plugin_tb_n_insns(tb);
  qemu_plugin_register_vcpu_tb_exec_inline(tb, QEMU_PLUGIN_INLINE_ADD_U64, &executed, n);
  for (size_t i = 0; i < n; i++) {
    struct qemu_plugin_insn *insn = qemu_plugin_tb_get_insn(tb, i);
    const uint64_t at = qemu_plugin_insn_vaddr(insn);
    if (mark_vaddr == 0) {
      const char *sym = qemu_plugin_insn_symbol(insn);
      if (sym != NULL && strcmp(sym, mark_name) == 0) mark_vaddr = at;
    }
    if (mark_vaddr != 0 && at == mark_vaddr)
      qemu_plugin_register_vcpu_insn_exec_cb(insn, on_mark, QEMU_PLUGIN_CB_NO_REGS, NULL);
  }
}

static void on_exit(qemu_plugin_id_t id, void *udata) {
  (void)id;
  (void)udata;
  fprintf(out, "total %" PRIu64 "\n", executed);
  if (fclose(out) != 0) qemu_plugin_outs("insncount: cannot write the counts\n");
  if (marks == 0) {
    char line[200];
    snprintf(line, sizeof line, "insncount: the guest never called %s\n", mark_name);
    qemu_plugin_outs(line);
  }
}

QEMU_PLUGIN_EXPORT int qemu_plugin_install(qemu_plugin_id_t id, const qemu_info_t *info, int argc, char **argv) {
  (void)info;
  const char *path = NULL;
  for (int i = 0; i < argc; i++) {
    if (strncmp(argv[i], "out=", 4) == 0) path = argv[i] + 4;
    else if (strncmp(argv[i], "mark=", 5) == 0) mark_name = argv[i] + 5;
    else {
      fprintf(stderr, "insncount: unknown option %s (out=FILE, mark=NAME)\n", argv[i]);
      return -1;
    }
  }
  if (path == NULL) {
    fprintf(stderr, "insncount: out=FILE is required\n");
    return -1;
  }
  out = fopen(path, "w");
  if (out == NULL) {
    fprintf(stderr, "insncount: cannot write %s\n", path);
    return -1;
  }
  qemu_plugin_register_vcpu_tb_trans_cb(id, on_translate);
  qemu_plugin_register_atexit_cb(id, on_exit, NULL);
  return 0;
}
