/* cyclecount: a qemu TCG plugin that estimates the cycles an ARM926EJ-S
 * (ARMv5TE, 200 MHz core, 100 MHz SDRAM) would take for the guest's code,
 * and writes the running totals each time the guest calls the function
 * named by `mark` (default ulv_mark).
 *
 *   qemu-arm -plugin ./cyclecount.so,out=counts.txt[,mark=NAME][,profile=FILE] PROGRAM ...
 *
 * counts.txt gets one line per marker call, then "total" and the same
 * fields at exit:
 *   INSNS CYCLES CYCLES_OPTIMISTIC CYCLES_PESSIMISTIC DFILLS IFILLS
 *   STORE_MISSES TLB_MISSES
 * STORE_MISSES counts write-buffer entries (a store that misses the data
 * cache; the words of one STM burst share an entry). With profile=FILE,
 * FILE gets at exit one line per function, the costliest first:
 *   CYCLES INSNS DFILLS STORE_MISSES NAME
 * (central constants, from the first marker call on; a block counts for
 * the function its first instruction is in).
 *
 * The model:
 * - Core: every instruction's cost is fixed when its block is translated
 *   (issue cycles, multiplies, load/store multiple, load-use and
 *   multiply-result interlocks inside the block); a change of flow (the
 *   next block does not start where the last one ended: a taken branch or
 *   any write to the PC) adds the refill of the pipeline. Conditional
 *   instructions that fail still cost their issue cycle; interlocks across
 *   block boundaries are not seen.
 * - Caches: 16 KB instruction and 16 KB data, 4-way, 32-byte lines,
 *   round-robin replacement per set; data reads allocate, writes do not
 *   (a store hit marks the line dirty, a store miss goes to the write
 *   buffer); a dirty victim is written back after the fill that evicts it.
 * - One bus: line fills, write-buffer drains and write-backs take turns,
 *   so a fill waits for the stores queued before it.
 * - One 64-entry TLB (2-way) for both sides; a miss walks the page tables.
 * The hits and misses do not depend on timing, so one simulation of the
 * caches drives three clocks, with the optimistic, central and pessimistic
 * memory constants.
 *
 * Single-threaded guests only; ARM (A32) code is decoded, Thumb code costs
 * one cycle an instruction. */
#include <inttypes.h>
#include <stdio.h>
#include <stdlib.h>
#include <string.h>

#include "qemu-plugin-api.h"

QEMU_PLUGIN_EXPORT int qemu_plugin_version = QEMU_PLUGIN_VERSION;

/* ---- constants ---------------------------------------------------------- */

enum {
  /* The three clocks: index of each set of memory constants. */
  OPT = 0,
  MID = 1,
  PES = 2,
  SETS_OF_CONSTANTS = 3,
};

/* Core costs (ARM9EJ-S instruction timings), in core cycles. */
enum {
  ISSUE = 1,          /* most instructions: one cycle through execute */
  REG_SHIFT = 1,      /* extra for a shift by a register (Rs read in a second cycle) */
  MUL_CYCLES = 2,     /* MUL, MLA (+ RESULT_LATE if the next instruction reads Rd) */
  MULL_CYCLES = 3,    /* UMULL, SMULL, UMLAL, SMLAL (same +1) */
  MUL16_CYCLES = 1,   /* SMULxy, SMLAxy, SMULWy, SMLAWy */
  MULL16_CYCLES = 2,  /* SMLALxy */
  RESULT_LATE = 1,    /* a multiply's result used by the next instruction */
  LOAD_USE_WORD = 1,  /* LDR/LDRD/LDM result used by the next instruction */
  LOAD_USE_SUB = 2,   /* LDRB/LDRH/LDRSB/LDRSH (the byte lane is aligned and extended a cycle later) */
  LSM_MIN = 2,        /* LDM/STM take max(registers, 2) cycles; LDRD/STRD 2, SWP 2 */
  FLOW_CHANGE = 2,    /* taken branch or PC write: 3 cycles in all (two fetches lost) */
};

/* Caches and TLB geometry. */
enum {
  LINE_SHIFT = 5,                                 /* 32-byte lines (8 words) */
  WAYS = 4,                                       /* 4-way set-associative */
  CACHE_BYTES = 16 * 1024,                        /* each of I and D */
  SETS = CACHE_BYTES >> LINE_SHIFT >> 2,          /* 128 sets of 4 lines */
  PAGE_SHIFT = 12,                                /* Linux maps 4 KB small pages */
  TLB_WAYS = 2,                                   /* the main TLB: 64 entries, 2-way */
  TLB_SETS = 64 / TLB_WAYS,
  WB_ENTRIES = 4,                                 /* write buffer: four addresses */
  WB_BURST_WORDS = 8,                             /* words one STM burst entry may carry */
};

/* Memory constants, in core cycles, {optimistic, central, pessimistic}. */
typedef struct {
  uint32_t fill;       /* a line fill from SDRAM, critical word first, until the core runs on (about 35) */
  uint32_t wb_single;  /* bus time of a single write draining from the write buffer (about 8) */
  uint32_t wb_word;    /* each further word of a burst from one STM (one 100 MHz bus cycle = 2) */
  uint32_t tlb_walk;   /* a TLB miss: two descriptor reads from memory (about 40) */
} memory_costs;

static const memory_costs costs[SETS_OF_CONSTANTS] = {
    {25, 6, 1, 30},  /* OPT: fast CAS latency, page hits */
    {35, 8, 2, 40},  /* MID */
    {50, 12, 2, 60}, /* PES: row misses, refresh */
};

/* ---- state --------------------------------------------------------------- */

typedef struct {
  uint32_t tag[SETS][WAYS]; /* line address + 1; 0 = empty */
  uint8_t dirty[SETS][WAYS];
  uint8_t next[SETS]; /* round-robin victim */
} cache;

typedef struct block block;
struct block {
  uint64_t start;       /* address of the first instruction */
  uint64_t end;         /* address after the last */
  uint32_t insns;
  uint32_t cost;        /* core cycles of the whole block, no memory stalls */
  int is_mark;          /* the block starts at the marker */
  const char *symbol;   /* the function it starts in, or NULL */
  block *next_block;    /* every block translated, for the profile */
  uint64_t runs, cycles, dfills, store_misses; /* the profile's totals, central clock */
};

typedef struct {
  const block *owner;
  uint32_t offset; /* core cycles from the block's start to this access */
} access_site;

static cache icache, dcache;
static uint32_t tlb[TLB_SETS][TLB_WAYS]; /* page + 1 */
static uint8_t tlb_next[TLB_SETS];
static uint32_t last_ipage, last_dpage; /* page + 1 known to be in the TLB */

static uint64_t base[SETS_OF_CONSTANTS];     /* clock at the current block's start */
static uint64_t stall[SETS_OF_CONSTANTS];    /* memory stalls inside the current block */
static uint64_t bus_free[SETS_OF_CONSTANTS]; /* when the bus is next idle */
static uint64_t wb_done[SETS_OF_CONSTANTS][WB_ENTRIES]; /* completion of queued entries, oldest first */
static int wb_count[SETS_OF_CONSTANTS];

static block *current; /* the block running now */
static uint64_t block_runs;   /* blocks started so far (tells one STM's accesses from a loop's) */
static uint64_t insns, dfills, ifills, store_misses, tlb_misses;

/* The last write-buffer entry, for merging the words of one STM. */
static const access_site *burst_site;
static uint64_t burst_run;
static uint64_t burst_next_addr;
static int burst_words;

static FILE *out;
static const char *profile_path;
static block *blocks; /* the last translated; next_block leads to the first */
static const char *mark_name = "ulv_mark";
static uint64_t mark_vaddr;
static uint64_t marks;

/* ---- bus, write buffer, caches -------------------------------------------- */

static uint64_t now(int s, const access_site *site) { return base[s] + site->offset + stall[s]; }

/* A line fill at time t on clock s: waits for the bus, then FILL cycles;
 * returns the stall. A dirty victim then occupies the bus for a burst. */
static uint64_t fill_line(int s, uint64_t t, int dirty_victim) {
  const uint64_t start = bus_free[s] > t ? bus_free[s] : t;
  const uint64_t end = start + costs[s].fill;
  bus_free[s] = end + (dirty_victim ? costs[s].wb_single + (WB_BURST_WORDS - 1) * costs[s].wb_word : 0);
  return end - t;
}

static int cache_lookup(cache *c, uint32_t line, uint8_t **dirty) {
  const uint32_t set = line % SETS;
  for (int w = 0; w < WAYS; w++)
    if (c->tag[set][w] == line + 1) {
      *dirty = &c->dirty[set][w];
      return 1;
    }
  return 0;
}

/* Puts the line in its set's round-robin way; returns whether the victim
 * was dirty. */
static int cache_allocate(cache *c, uint32_t line, uint8_t **dirty) {
  const uint32_t set = line % SETS;
  const int w = c->next[set];
  c->next[set] = (uint8_t)((w + 1) % WAYS);
  const int was_dirty = c->tag[set][w] != 0 && c->dirty[set][w];
  c->tag[set][w] = line + 1;
  c->dirty[set][w] = 0;
  *dirty = &c->dirty[set][w];
  return was_dirty;
}

/* Whether the page is in the TLB; a miss replaces an entry. */
static int tlb_hit(uint32_t page) {
  const uint32_t set = page % TLB_SETS;
  for (int w = 0; w < TLB_WAYS; w++)
    if (tlb[set][w] == page + 1) return 1;
  const int w = tlb_next[set];
  tlb_next[set] = (uint8_t)((w + 1) % TLB_WAYS);
  tlb[set][w] = page + 1;
  last_ipage = last_dpage = 0; /* either may have been the victim */
  ++tlb_misses;
  return 0;
}

static void tlb_check(uint32_t page, uint32_t *last) {
  if (page + 1 == *last) return;
  if (!tlb_hit(page))
    for (int s = 0; s < SETS_OF_CONSTANTS; s++) stall[s] += costs[s].tlb_walk;
  *last = page + 1;
}

/* A store that missed the data cache: one write-buffer entry, or one more
 * word on the entry of the same STM (or STRD) burst. */
static void write_buffer(uint64_t addr, unsigned bytes, const access_site *site) {
  if (site == burst_site && block_runs == burst_run && addr == burst_next_addr && burst_words < WB_BURST_WORDS) {
    for (int s = 0; s < SETS_OF_CONSTANTS; s++) {
      if (wb_count[s] > 0 && wb_done[s][wb_count[s] - 1] == bus_free[s]) {
        wb_done[s][wb_count[s] - 1] += costs[s].wb_word;
        bus_free[s] += costs[s].wb_word;
      }
    }
    burst_next_addr += bytes;
    ++burst_words;
    return;
  }
  ++store_misses;
  if (marks > 0) ++current->store_misses;
  burst_site = site;
  burst_run = block_runs;
  burst_next_addr = addr + bytes;
  burst_words = 1;
  for (int s = 0; s < SETS_OF_CONSTANTS; s++) {
    uint64_t t = now(s, site);
    int k = 0;
    while (k < wb_count[s] && wb_done[s][k] <= t) k++; /* drained by now */
    if (wb_count[s] - k == WB_ENTRIES) {                 /* full: wait for the oldest */
      stall[s] += wb_done[s][k] - t;
      t = wb_done[s][k];
      k++;
    }
    memmove(wb_done[s], wb_done[s] + k, (size_t)(wb_count[s] - k) * sizeof wb_done[s][0]);
    wb_count[s] -= k;
    const uint64_t start = bus_free[s] > t ? bus_free[s] : t;
    bus_free[s] = start + costs[s].wb_single;
    wb_done[s][wb_count[s]++] = bus_free[s];
  }
}

/* ---- callbacks -------------------------------------------------------------- */

static void on_access(unsigned int vcpu, qemu_plugin_meminfo_t info, uint64_t vaddr, void *udata) {
  (void)vcpu;
  const access_site *site = udata;
  tlb_check((uint32_t)(vaddr >> PAGE_SHIFT), &last_dpage);
  const uint32_t line = (uint32_t)(vaddr >> LINE_SHIFT);
  uint8_t *dirty;
  if (cache_lookup(&dcache, line, &dirty)) {
    if (qemu_plugin_mem_is_store(info)) *dirty = 1;
    return;
  }
  if (qemu_plugin_mem_is_store(info)) {
    write_buffer(vaddr, 1u << qemu_plugin_mem_size_shift(info), site);
    return;
  }
  ++dfills;
  if (marks > 0) ++current->dfills;
  const int victim = cache_allocate(&dcache, line, &dirty);
  for (int s = 0; s < SETS_OF_CONSTANTS; s++) stall[s] += fill_line(s, now(s, site), victim);
}

static void write_counts(const char *prefix) {
  fprintf(out, "%s%" PRIu64 " %" PRIu64 " %" PRIu64 " %" PRIu64 " %" PRIu64 " %" PRIu64 " %" PRIu64 " %" PRIu64 "\n",
          prefix, insns, base[MID], base[OPT], base[PES], dfills, ifills, store_misses, tlb_misses);
}

/* A block starts: the last one's cycles go on the clocks, a change of flow
 * costs the refill, then the block's lines are fetched. */
static void on_block(unsigned int vcpu, void *udata) {
  (void)vcpu;
  block *b = udata;
  const int jumped = current != NULL && current->end != b->start;
  if (current != NULL && marks > 0) current->cycles += current->cost + stall[MID] + (jumped ? FLOW_CHANGE : 0);
  for (int s = 0; s < SETS_OF_CONSTANTS; s++) {
    if (current != NULL) base[s] += current->cost + stall[s];
    if (jumped) base[s] += FLOW_CHANGE;
    stall[s] = 0;
  }
  current = b;
  if (marks > 0) ++b->runs;
  ++block_runs;
  if (b->is_mark) {
    ++marks;
    write_counts("");
  }
  insns += b->insns;
  for (uint32_t line = (uint32_t)(b->start >> LINE_SHIFT); line <= (uint32_t)((b->end - 1) >> LINE_SHIFT); line++) {
    tlb_check(line >> (PAGE_SHIFT - LINE_SHIFT), &last_ipage);
    uint8_t *dirty;
    if (cache_lookup(&icache, line, &dirty)) continue;
    ++ifills;
    cache_allocate(&icache, line, &dirty);
    for (int s = 0; s < SETS_OF_CONSTANTS; s++) stall[s] += fill_line(s, base[s] + stall[s], 0);
  }
}

/* ---- decoding ----------------------------------------------------------------- */

/* One ARM instruction: its cycles without interlocks, the registers it
 * reads, and the registers whose value arrives late (with the penalty if
 * the next instruction reads one of them). */
typedef struct {
  uint32_t cycles;
  uint32_t reads;     /* bit r: reads register r */
  uint32_t late;      /* bit r: result not ready for the next instruction */
  uint32_t late_cost; /* cycles lost if it is read next */
} decoded;

static uint32_t bit(uint32_t insn, int at) { return 1u << ((insn >> at) & 15); }

static int popcount16(uint32_t v) {
  int n = 0;
  for (v &= 0xFFFF; v != 0; v &= v - 1) n++;
  return n;
}

static int highest(uint32_t v) {
  int r = -1;
  for (int i = 0; i < 16; i++)
    if (v & (1u << i)) r = i;
  return r;
}

static void decode_multiply(uint32_t insn, decoded *d) {
  const int is_long = (insn >> 23) & 1;
  const int accumulate = (insn >> 21) & 1;
  d->reads = bit(insn, 0) | bit(insn, 8);
  if (is_long) {
    d->cycles = MULL_CYCLES;
    if (accumulate) d->reads |= bit(insn, 12) | bit(insn, 16);
    d->late = bit(insn, 12) | bit(insn, 16);
  } else {
    d->cycles = MUL_CYCLES;
    if (accumulate) d->reads |= bit(insn, 12);
    d->late = bit(insn, 16);
  }
  d->late_cost = RESULT_LATE;
}

/* LDRH/STRH/LDRSB/LDRSH/LDRD/STRD. */
static void decode_extra_load_store(uint32_t insn, decoded *d) {
  const int load = (insn >> 20) & 1;
  const int sh = (insn >> 5) & 3;
  const int reg_offset = !((insn >> 22) & 1);
  d->reads = bit(insn, 16) | (reg_offset ? bit(insn, 0) : 0);
  const uint32_t rd = (insn >> 12) & 15;
  if (load) { /* LDRH, LDRSB, LDRSH */
    d->late = 1u << rd;
    d->late_cost = LOAD_USE_SUB;
  } else if (sh == 2) { /* LDRD */
    d->cycles = LSM_MIN;
    d->late = 3u << rd;
    d->late_cost = LOAD_USE_WORD;
  } else if (sh == 3) { /* STRD */
    d->cycles = LSM_MIN;
    d->reads |= 3u << rd;
  } else { /* STRH */
    d->reads |= 1u << rd;
  }
}

/* bits 27-25 = 000 but neither multiply nor extra load/store. */
static void decode_misc(uint32_t insn, decoded *d) {
  if ((insn & 0x0FFFFFD0) == 0x012FFF10) { /* BX, BLX register */
    d->reads = bit(insn, 0);
    return;
  }
  if ((insn & 0x0F900090) == 0x01000080) { /* SMLAxy, SMLAWy/SMULWy, SMLALxy, SMULxy */
    const int op = (insn >> 21) & 3;
    d->reads = bit(insn, 0) | bit(insn, 8);
    if (op == 2) { /* SMLALxy */
      d->cycles = MULL16_CYCLES;
      d->reads |= bit(insn, 12) | bit(insn, 16);
      d->late = bit(insn, 12) | bit(insn, 16);
    } else {
      d->cycles = MUL16_CYCLES;
      if (op == 0 || (op == 1 && !((insn >> 5) & 1))) d->reads |= bit(insn, 12);
      d->late = bit(insn, 16);
    }
    d->late_cost = RESULT_LATE;
    return;
  }
  if ((insn & 0x0FB00FF0) == 0x01000090) { /* SWP, SWPB */
    d->cycles = LSM_MIN;
    d->reads = bit(insn, 0) | bit(insn, 16);
    d->late = bit(insn, 12);
    d->late_cost = (insn >> 22) & 1 ? LOAD_USE_SUB : LOAD_USE_WORD;
    return;
  }
  /* Data processing, register operand (also CLZ, QADD, MRS, MSR: close enough). */
  const uint32_t op = (insn >> 21) & 15;
  d->reads = bit(insn, 0);
  if (op != 13 && op != 15) d->reads |= bit(insn, 16); /* MOV and MVN have no Rn */
  if ((insn >> 4) & 1) {
    d->reads |= bit(insn, 8);
    d->cycles += REG_SHIFT;
  }
}

static decoded decode(uint32_t insn) {
  decoded d = {ISSUE, 0, 0, 0};
  if ((insn >> 28) == 15) return d; /* unconditional space: BLX immediate, PLD */
  switch ((insn >> 25) & 7) {
    case 0:
      if ((insn & 0x0F0000F0) == 0x00000090) decode_multiply(insn, &d);
      else if ((insn & 0x90) == 0x90 && (insn & 0x60) != 0) decode_extra_load_store(insn, &d);
      else decode_misc(insn, &d);
      break;
    case 1: { /* data processing, immediate operand */
      const uint32_t op = (insn >> 21) & 15;
      if (op != 13 && op != 15) d.reads = bit(insn, 16);
      break;
    }
    case 2:
    case 3: { /* LDR, STR, LDRB, STRB */
      const int reg_offset = (insn >> 25) & 1;
      d.reads = bit(insn, 16) | (reg_offset ? bit(insn, 0) : 0);
      if ((insn >> 20) & 1) {
        d.late = bit(insn, 12);
        d.late_cost = (insn >> 22) & 1 ? LOAD_USE_SUB : LOAD_USE_WORD;
      } else {
        d.reads |= bit(insn, 12);
      }
      break;
    }
    case 4: { /* LDM, STM */
      const int n = popcount16(insn);
      d.cycles = (uint32_t)(n > LSM_MIN ? n : LSM_MIN);
      d.reads = bit(insn, 16);
      if ((insn >> 20) & 1) {
        const int last = highest(insn & 0xFFFF);
        if (last >= 0 && last != 15) {
          d.late = 1u << last;
          d.late_cost = LOAD_USE_WORD;
        }
      } else {
        d.reads |= insn & 0xFFFF;
      }
      break;
    }
    default: /* B, BL, coprocessor, SWI */
      break;
  }
  return d;
}

/* ---- translation ---------------------------------------------------------------- */

static void on_translate(qemu_plugin_id_t id, struct qemu_plugin_tb *tb) {
  (void)id;
  const size_t n = qemu_plugin_tb_n_insns(tb);
  block *b = calloc(1, sizeof *b);
  if (b == NULL) {
    qemu_plugin_outs("cyclecount: out of memory\n");
    abort();
  }
  b->start = qemu_plugin_tb_vaddr(tb);
  b->insns = (uint32_t)n;
  b->next_block = blocks;
  blocks = b;
  if (n > 0) b->symbol = qemu_plugin_insn_symbol(qemu_plugin_tb_get_insn(tb, 0));
  decoded prev = {0, 0, 0, 0};
  for (size_t i = 0; i < n; i++) {
    struct qemu_plugin_insn *insn = qemu_plugin_tb_get_insn(tb, i);
    const uint64_t at = qemu_plugin_insn_vaddr(insn);
    const size_t size = qemu_plugin_insn_size(insn);
    if (mark_vaddr == 0) {
      const char *sym = qemu_plugin_insn_symbol(insn);
      if (sym != NULL && strcmp(sym, mark_name) == 0) mark_vaddr = at;
    }
    if (at == mark_vaddr) {
      if (i == 0) b->is_mark = 1;
      else qemu_plugin_outs("cyclecount: the marker is inside a block; that call is not recorded\n");
    }
    decoded d = {ISSUE, 0, 0, 0};
    if (size == 4) {
      uint32_t word;
      memcpy(&word, qemu_plugin_insn_data(insn), 4);
      d = decode(word);
    }
    if (prev.late & d.reads) b->cost += prev.late_cost;
    access_site *site = malloc(sizeof *site);
    if (site == NULL) {
      qemu_plugin_outs("cyclecount: out of memory\n");
      abort();
    }
    site->owner = b;
    site->offset = b->cost + ISSUE;
    qemu_plugin_register_vcpu_mem_cb(insn, on_access, QEMU_PLUGIN_CB_NO_REGS, QEMU_PLUGIN_MEM_RW, site);
    b->cost += d.cycles;
    b->end = at + size;
    prev = d;
  }
  qemu_plugin_register_vcpu_tb_exec_cb(tb, on_block, QEMU_PLUGIN_CB_NO_REGS, b);
}

typedef struct {
  const char *name;
  uint64_t cycles, insns, dfills, store_misses;
} function_total;

static int by_name(const void *a, const void *b) {
  const char *x = (*(const block *const *)a)->symbol, *y = (*(const block *const *)b)->symbol;
  return strcmp(x ? x : "?", y ? y : "?");
}

static int by_cycles(const void *a, const void *b) {
  const uint64_t x = ((const function_total *)a)->cycles, y = ((const function_total *)b)->cycles;
  return x < y ? 1 : x > y ? -1 : 0;
}

static void write_profile(void) {
  size_t n = 0;
  for (block *b = blocks; b != NULL; b = b->next_block) n++;
  block **list = malloc((n + 1) * sizeof *list);
  function_total *totals = calloc(n + 1, sizeof *totals);
  FILE *f = fopen(profile_path, "w");
  if (list == NULL || totals == NULL || f == NULL) {
    qemu_plugin_outs("cyclecount: cannot write the profile\n");
    return;
  }
  n = 0;
  for (block *b = blocks; b != NULL; b = b->next_block) list[n++] = b;
  qsort(list, n, sizeof *list, by_name);
  size_t m = 0;
  for (size_t i = 0; i < n; i++) {
    const char *name = list[i]->symbol ? list[i]->symbol : "?";
    if (m == 0 || strcmp(totals[m - 1].name, name) != 0) totals[m++].name = name;
    function_total *t = &totals[m - 1];
    t->cycles += list[i]->cycles;
    t->insns += list[i]->runs * list[i]->insns;
    t->dfills += list[i]->dfills;
    t->store_misses += list[i]->store_misses;
  }
  qsort(totals, m, sizeof *totals, by_cycles);
  for (size_t i = 0; i < m; i++)
    fprintf(f, "%" PRIu64 " %" PRIu64 " %" PRIu64 " %" PRIu64 " %s\n", totals[i].cycles, totals[i].insns,
            totals[i].dfills, totals[i].store_misses, totals[i].name);
  if (fclose(f) != 0) qemu_plugin_outs("cyclecount: cannot write the profile\n");
  free(list);
  free(totals);
}

static void on_exit(qemu_plugin_id_t id, void *udata) {
  (void)id;
  (void)udata;
  if (current != NULL) {
    current->cycles += current->cost + stall[MID];
    for (int s = 0; s < SETS_OF_CONSTANTS; s++) base[s] += current->cost + stall[s];
  }
  if (profile_path != NULL) write_profile();
  write_counts("total ");
  if (fclose(out) != 0) qemu_plugin_outs("cyclecount: cannot write the counts\n");
  if (marks == 0) {
    char line[200];
    snprintf(line, sizeof line, "cyclecount: the guest never called %s\n", mark_name);
    qemu_plugin_outs(line);
  }
}

QEMU_PLUGIN_EXPORT int qemu_plugin_install(qemu_plugin_id_t id, const qemu_info_t *info, int argc, char **argv) {
  (void)info;
  const char *path = NULL;
  for (int i = 0; i < argc; i++) {
    if (strncmp(argv[i], "out=", 4) == 0) path = argv[i] + 4;
    else if (strncmp(argv[i], "mark=", 5) == 0) mark_name = argv[i] + 5;
    else if (strncmp(argv[i], "profile=", 8) == 0) profile_path = argv[i] + 8;
    else {
      fprintf(stderr, "cyclecount: unknown option %s (out=FILE, mark=NAME, profile=FILE)\n", argv[i]);
      return -1;
    }
  }
  if (path == NULL) {
    fprintf(stderr, "cyclecount: out=FILE is required\n");
    return -1;
  }
  out = fopen(path, "w");
  if (out == NULL) {
    fprintf(stderr, "cyclecount: cannot write %s\n", path);
    return -1;
  }
  qemu_plugin_register_vcpu_tb_trans_cb(id, on_translate);
  qemu_plugin_register_atexit_cb(id, on_exit, NULL);
  return 0;
}
