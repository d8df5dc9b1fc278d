@ cycleprobe: a small armel program with known answers for the cycle
@ model (bench/arm/cyclecount.c), run by bench/arm/cycletest.sh. Between
@ two calls of ulv_mark each phase touches only what it is about: every
@ address is loaded into registers before the first mark, so no literal
@ pool or stack is read between marks, and the loops of phases 5-12 have
@ run once before (their code and data cached). Phases, in order:
@   1  read 64 KB never touched before (one LDR a word)
@   2  read an 8 KB buffer twice
@   3  1024 single-word stores to a buffer never read
@   4  128 eight-word STMs to another buffer never read
@   5, 6   ALU loop, 1000 and 2000 rounds
@   7, 8   word load used by the next instruction, 1000 and 2000 rounds
@   9, 10  byte load used by the next instruction, 1000 and 2000 rounds
@   11, 12 MUL whose result is used next, 1000 and 2000 rounds
@   13     2048 word stores to a buffer never read (bringing its pages
@          into the TLB)
@   14, 15 the same stores again, 1024 and 2048: the write buffer is full,
@          every store waits for one to drain
        .syntax unified
        .arm
        .text

        .global ulv_mark
        .type ulv_mark, %function
ulv_mark:
        bx      lr
        .size ulv_mark, . - ulv_mark

        .global main
        .type main, %function
main:
        push    {r4-r11, lr}
        ldr     r4, =buf64
        ldr     r5, =buf8
        ldr     r6, =bufw
        ldr     r7, =bufs
        ldr     r8, =bufd
        ldr     r9, =word
        @ one round of each loop first: its code in the instruction cache
        mov     r0, #1
        bl      alu
        mov     r0, #1
        bl      loaduse
        mov     r0, #1
        bl      byteuse
        mov     r0, #1
        bl      muluse
        bl      ulv_mark

        @ 1: 64 KB, 16384 loads
        mov     r0, r4
        mov     r1, #16384
1:      ldr     r2, [r0], #4
        subs    r1, r1, #1
        bne     1b
        bl      ulv_mark

        @ 2: 8 KB twice
        mov     r3, #2
2:      mov     r0, r5
        mov     r1, #2048
3:      ldr     r2, [r0], #4
        subs    r1, r1, #1
        bne     3b
        subs    r3, r3, #1
        bne     2b
        bl      ulv_mark

        @ 3: 1024 word stores
        mov     r0, r6
        mov     r1, #1024
4:      str     r1, [r0], #4
        subs    r1, r1, #1
        bne     4b
        bl      ulv_mark

        @ 4: 128 STMs of 8 words
        mov     r0, r7
        mov     r11, #128
5:      stmia   r0!, {r1-r3, r5, r6, r8-r10}
        subs    r11, r11, #1
        bne     5b
        bl      ulv_mark

        @ 5, 6: ALU
        mov     r0, #1000
        bl      alu
        bl      ulv_mark
        mov     r0, #2000
        bl      alu
        bl      ulv_mark

        @ 7, 8: word load used next
        mov     r0, #1000
        bl      loaduse
        bl      ulv_mark
        mov     r0, #2000
        bl      loaduse
        bl      ulv_mark

        @ 9, 10: byte load used next
        mov     r0, #1000
        bl      byteuse
        bl      ulv_mark
        mov     r0, #2000
        bl      byteuse
        bl      ulv_mark

        @ 11, 12: multiply
        mov     r0, #1000
        bl      muluse
        bl      ulv_mark
        mov     r0, #2000
        bl      muluse
        bl      ulv_mark

        @ 13, 14: stores to lines never read, more than the buffer
        @ holds (a first pass brings the pages into the TLB)
        mov     r0, #2048
        mov     r1, r8
        bl      drain
        bl      ulv_mark
        mov     r0, #1024
        mov     r1, r8
        bl      drain
        bl      ulv_mark
        mov     r0, #2048
        mov     r1, r8
        bl      drain
        bl      ulv_mark

        mov     r0, #0
        pop     {r4-r11, pc}

@ alu(rounds): 4 one-cycle instructions and a taken branch a round.
alu:
1:      add     r2, r2, #1
        add     r3, r3, #1
        subs    r0, r0, #1
        bne     1b
        bx      lr

@ loaduse(rounds): the loaded word is the next instruction's operand.
loaduse:
1:      ldr     r2, [r9]
        add     r3, r3, r2
        subs    r0, r0, #1
        bne     1b
        bx      lr

byteuse:
1:      ldrb    r2, [r9]
        add     r3, r3, r2
        subs    r0, r0, #1
        bne     1b
        bx      lr

muluse:
1:      mul     r2, r0, r0
        add     r3, r3, r2
        subs    r0, r0, #1
        bne     1b
        bx      lr

@ drain(count, buffer): word stores, never read.
drain:
1:      str     r0, [r1], #4
        subs    r0, r0, #1
        bne     1b
        bx      lr

        .ltorg

        .bss
        .balign 32
buf64:  .space  65536
buf8:   .space  8192
bufw:   .space  4096
bufs:   .space  4096
bufd:   .space  8192
word:   .space  32
        .section .note.GNU-stack,"",%progbits
