# SPDX-License-Identifier: MIT
# The instruction sets of 32-bit x86 as the instruction-set checks name them,
# and classify(), which puts one disassembled instruction into its set.
#
# The sets: i386 (the integer instructions every x86 has), i486 and i586
# (their integer additions), x87, cmov (the P6 family's conditional moves,
# x87 conditional moves and compares to flags, and the long NOP), mmx, sse
# (with its MMX extensions, prefetches and fences), sse2, and sse2load: the
# one SSE2 operation a build may be allowed alone, the 8-byte load of a
# vector register's low half with the rest cleared (movsd xmm, m64, which
# compilers also write as the equivalent movq xmm, m64).

set(i386_re "^(aaa|aad|aam|aas|adc|add|and|arpl|bound|bsf|bsr|bt|btc|btr|bts|call|cbw|cwde|cwd|cdq|clc|cld|cli|clts|cmc|cmp|cmps|cmpsb|cmpsw|cmpsd|daa|das|dec|div|enter|hlt|idiv|imul|in|inc|ins|insb|insw|insd|int|int3|into|iret|iretd|j[a-z]+|lahf|lar|lds|lea|leave|les|lfs|lgs|lss|lgdt|lidt|lldt|lmsw|lods|lodsb|lodsw|lodsd|loop|loope|loopne|loopz|loopnz|lsl|ltr|mov|movs|movsb|movsw|movsd|movsx|movzx|mul|neg|nop|not|or|out|outs|outsb|outsw|outsd|pop|popa|popad|popf|popfd|push|pusha|pushad|pushf|pushfd|rcl|rcr|ret|retf|rol|ror|sahf|sal|sar|sbb|scas|scasb|scasw|scasd|set[a-z]+|sgdt|shl|shld|shr|shrd|sidt|sldt|smsw|stc|std|sti|stos|stosb|stosw|stosd|str|sub|test|verr|verw|xchg|xlat|xlatb|xor|ud2)$")
set(i486_re "^(bswap|cmpxchg|xadd|invd|wbinvd|invlpg)$")
set(i586_re "^(cmpxchg8b|rdtsc|rdmsr|wrmsr|cpuid|rsm)$")
set(x87_re "^(f2xm1|fabs|fadd|faddp|fbld|fbstp|fchs|fclex|fnclex|fcom|fcomp|fcompp|fcos|fdecstp|fdiv|fdivp|fdivr|fdivrp|ffree|ffreep|fiadd|ficom|ficomp|fidiv|fidivr|fild|fimul|fincstp|finit|fninit|fist|fistp|fisub|fisubr|fld|fld1|fldcw|fldenv|fldl2e|fldl2t|fldlg2|fldln2|fldpi|fldz|fmul|fmulp|fnop|fpatan|fprem|fprem1|fptan|frndint|frstor|fsave|fnsave|fscale|fsin|fsincos|fsqrt|fst|fstcw|fnstcw|fstenv|fnstenv|fstp|fstsw|fnstsw|fsub|fsubp|fsubr|fsubrp|ftst|fucom|fucomp|fucompp|fwait|wait|fxam|fxch|fxtract|fyl2x|fyl2xp1)$")
set(cmov_re "^(cmov[a-z]+|fcmov[a-z]+|fcomi|fcomip|fucomi|fucomip)$")
set(mmx_re "^(emms|movd|movq|packssdw|packsswb|packuswb|padd[bwd]|padds[bw]|paddus[bw]|pand|pandn|pcmpeq[bwd]|pcmpgt[bwd]|pmaddwd|pmulhw|pmullw|por|psll[wdq]|psra[wd]|psrl[wdq]|psub[bwd]|psubs[bw]|psubus[bw]|punpckh(bw|wd|dq)|punpckl(bw|wd|dq)|pxor)$")
# SSE's additions to the MMX registers.
set(sse_mmx_re "^(pavgb|pavgw|pextrw|pinsrw|pmaxsw|pmaxub|pminsw|pminub|pmovmskb|pmulhuw|psadbw|pshufw|maskmovq|movntq|cvtpi2ps|cvtps2pi|cvttps2pi)$")
set(sse_re "^(addps|addss|andnps|andps|cmp[a-z]*ps|cmp[a-z]*ss|comiss|cvtpi2ps|cvtps2pi|cvtsi2ss|cvtss2si|cvttps2pi|cvttss2si|divps|divss|maxps|maxss|minps|minss|movaps|movhlps|movhps|movlhps|movlps|movmskps|movntps|movss|movups|mulps|mulss|orps|rcpps|rcpss|rsqrtps|rsqrtss|shufps|sqrtps|sqrtss|subps|subss|ucomiss|unpckhps|unpcklps|xorps|ldmxcsr|stmxcsr|sfence|prefetchnta|prefetcht0|prefetcht1|prefetcht2|fxsave|fxrstor)$")
set(sse2_mmx_re "^(paddq|psubq|pmuludq|movdq2q|movq2dq|cvtpd2pi|cvtpi2pd|cvttpd2pi)$")
set(sse2_re "^((add|sub|mul|div|min|max|sqrt|and|andn|or|xor|unpckh|unpckl|shuf|movap|movup|movhp|movlp|movmskp|movnt)pd|(add|sub|mul|div|min|max|sqrt|mov)sd|cmp[a-z]*(pd|sd)|u?comisd|cvtdq2pd|cvtdq2ps|cvtpd2dq|cvtpd2pi|cvtpd2ps|cvtpi2pd|cvtps2dq|cvtps2pd|cvtsd2si|cvtsd2ss|cvtsi2sd|cvtss2sd|cvttpd2dq|cvttpd2pi|cvttps2dq|cvttsd2si|paddq|psubq|pmuludq|pshufd|pshufhw|pshuflw|pslldq|psrldq|punpckhqdq|punpcklqdq|movdqa|movdqu|movq2dq|movdq2q|maskmovdqu|movntdq|movnti|lfence|mfence|clflush|pause)$")
set(prefix_re "^(lock|rep|repz|repe|repnz|repne|data16|data32|addr16|addr32|cs|ds|es|ss|fs|gs|bnd|notrack)$")

# The set an instruction belongs to, from its mnemonic and, for the vector
# instructions, the registers it names; "unknown" when no table has it.
function(classify mnemonic operands out)
  if(mnemonic MATCHES "^(movsd|movq)$" AND operands MATCHES "^xmm[0-7],QWORD PTR ")
    set(set sse2load)
  elseif(operands MATCHES "xmm[0-7]")
    if(mnemonic MATCHES "${sse_re}")
      set(set sse)
    elseif(mnemonic MATCHES "${sse2_re}" OR mnemonic MATCHES "${mmx_re}" OR mnemonic MATCHES "${sse_mmx_re}")
      set(set sse2)
    else()
      set(set unknown)
    endif()
  elseif(operands MATCHES "(^|[^x])mm[0-7]")
    if(mnemonic MATCHES "${mmx_re}")
      set(set mmx)
    elseif(mnemonic MATCHES "${sse_mmx_re}")
      set(set sse)
    elseif(mnemonic MATCHES "${sse2_mmx_re}")
      set(set sse2)
    else()
      set(set unknown)
    endif()
  elseif(mnemonic STREQUAL "nop" AND NOT operands STREQUAL "")
    set(set cmov)  # the long NOP (0F 1F) came with the P6 family
  elseif(mnemonic MATCHES "${i386_re}")
    set(set i386)
  elseif(mnemonic MATCHES "${i486_re}")
    set(set i486)
  elseif(mnemonic MATCHES "${i586_re}")
    set(set i586)
  elseif(mnemonic MATCHES "${x87_re}")
    set(set x87)
  elseif(mnemonic MATCHES "${cmov_re}")
    set(set cmov)
  elseif(mnemonic MATCHES "${sse_re}")
    set(set sse)
  elseif(mnemonic MATCHES "${sse2_re}")
    set(set sse2)
  elseif(mnemonic STREQUAL "emms")
    set(set mmx)
  else()
    set(set unknown)
  endif()
  set(${out} ${set} PARENT_SCOPE)
endfunction()


# Splits one disassembled instruction (objdump -M intel, after its address)
# into mnemonic and operands: comments and prefixes dropped, and symbol
# annotations ("<name+0x10>"), which could look like register names, too.
function(split_instruction instruction mnemonic_out operands_out)
  string(REGEX REPLACE " *#.*$" "" instruction "${instruction}")
  string(REGEX MATCH "^([a-z0-9]+) *(.*)$" _ "${instruction}")
  set(mnemonic "${CMAKE_MATCH_1}")
  set(operands "${CMAKE_MATCH_2}")
  while(mnemonic MATCHES "${prefix_re}" AND NOT operands STREQUAL "")
    string(REGEX MATCH "^([a-z0-9]+) *(.*)$" _ "${operands}")
    set(mnemonic "${CMAKE_MATCH_1}")
    set(operands "${CMAKE_MATCH_2}")
  endwhile()
  string(REGEX REPLACE "<[^>]*>" "" operands "${operands}")
  set(${mnemonic_out} "${mnemonic}" PARENT_SCOPE)
  set(${operands_out} "${operands}" PARENT_SCOPE)
endfunction()
