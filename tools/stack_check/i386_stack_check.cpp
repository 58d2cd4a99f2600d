#include "stack_check.h"

// Written in assembly because only here is the stack pointer at the call
// known exactly: a compiler is free to defer popping arguments, so a C++
// caller cannot tell what the callee did to the stack.
asm(R"(
    .text
    .globl _TavoCallCountingPops
    .def _TavoCallCountingPops; .scl 2; .type 32; .endef
_TavoCallCountingPops:
    push %ebp
    mov %esp, %ebp
    push %esi
    push %edi
    push %ebx
    mov %esp, %esi              # the stack pointer to return to
    mov 12(%ebp), %edi          # words
    mov 16(%ebp), %ecx          # count
    # Keep the stack 16-byte aligned at the call, as compiled code may assume.
    lea (,%ecx,4), %eax
    mov %esp, %edx
    sub %eax, %edx
    and $-16, %edx
    add %eax, %edx
    mov %edx, %esp
1:  test %ecx, %ecx
    jz 2f
    dec %ecx
    push (%edi,%ecx,4)
    jmp 1b
2:  mov %esp, %ebx              # the stack pointer at the call
    call *8(%ebp)
    mov %esp, %ecx
    sub %ebx, %ecx              # bytes the callee removed
    mov 20(%ebp), %edx
    mov %ecx, (%edx)
    mov %esi, %esp
    pop %ebx
    pop %edi
    pop %esi
    pop %ebp
    ret
)");
