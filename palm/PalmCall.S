/* uint32_t palm_call_thunk(const void* entry, const uint32_t* args, uint32_t count)
 * cdecl. Pushes args[count-1] .. args[0], calls entry, and puts the stack
 * pointer back from the frame, so stdcall and cdecl callees both work. */
    .text
    .globl _palm_call_thunk
    .def _palm_call_thunk; .scl 2; .type 32; .endef
_palm_call_thunk:
    pushl %ebp
    movl %esp, %ebp
    pushl %ebx
    pushl %esi
    pushl %edi
    movl 12(%ebp), %esi
    movl 16(%ebp), %ecx
1:  testl %ecx, %ecx
    jz 2f
    decl %ecx
    pushl (%esi,%ecx,4)
    jmp 1b
2:  call *8(%ebp)
    leal -12(%ebp), %esp
    popl %edi
    popl %esi
    popl %ebx
    popl %ebp
    ret
